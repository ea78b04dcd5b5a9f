#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "api/secretmask.h"
#include "logcapture.h"
#include "loopbackserver.h"
#include "testservices.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

const QByteArray kBearerFresh = QByteArrayLiteral("Bearer fresh-token");

QNetworkRequest requestFor(const LoopbackServer &server, const QString &path)
{
    return QNetworkRequest(QUrl(server.apiBaseUrl() + path));
}

// Waits for the single report of a wrapper and returns it.
QList<QVariant> waitForReport(QSignalSpy &spy)
{
    if (spy.isEmpty() && !spy.wait(10000))
        return {};
    return spy.first();
}

void serveToken(LoopbackServer &server, bool succeed)
{
    server.post("/api/v1/token", [succeed](const httplib::Request &, httplib::Response &response) {
        if (succeed)
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", "{\"access_token\":\"fresh-token\","
                                                                      "\"customers_id\":\"7\"}"));
        else
            LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"bad key\""));
    });
}

} // namespace

class TestNetworkReplyWrapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    }

    void init() { QSettings().clear(); }
    void cleanup()
    {
        NetworkReplyWrapper::setMaxReplyBodySize(0);
        qunsetenv("TOLVANE_API_BASE_URL");
    }

    void envelopeDecidesTheResult_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QJsonValue>("message");

        QTest::newRow("empty object") << 200 << QByteArray("{}") << false << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("success") << 200 << QByteArray("{\"status\":\"success\",\"message\":{\"a\":1}}") << true
                                 << QJsonValue(QJsonObject{{"a", 1}});
        QTest::newRow("capital S") << 200 << QByteArray("{\"status\":\"Success\",\"message\":\"x\"}") << false
                                   << QJsonValue("x");
        QTest::newRow("html with 200") << 200 << QByteArray("<html><body>ok</body></html>") << false
                                       << QJsonValue();
        QTest::newRow("success envelope with 500")
            << 500 << QByteArray("{\"status\":\"success\",\"message\":[1,2]}") << true << QJsonValue(QJsonArray{1, 2});
        QTest::newRow("failure envelope with 200")
            << 200 << QByteArray("{\"status\":\"error\",\"message\":\"Wrong password\"}") << false
            << QJsonValue("Wrong password");
        QTest::newRow("array body") << 200 << QByteArray("[{\"status\":\"success\"}]") << false << QJsonValue();
        QTest::newRow("html with 401 does not renew") << 401 << QByteArray("<h1>401</h1>") << false << QJsonValue();
    }

    void envelopeDecidesTheResult()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QFETCH(QJsonValue, message);

        LoopbackServer server;
        TestServices services;
        serveToken(server, true);
        server.get("/api/v1/item", [&](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, status, body);
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());

        auto *wrapper = new NetworkReplyWrapper(requestFor(server, "/item"), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        const QList<QVariant> report = waitForReport(spy);
        QCOMPARE(report.size(), 2);
        QCOMPARE(report.at(0).toBool(), success);
        QCOMPARE(report.at(1).value<QJsonValue>(), message);
        QCOMPARE(server.count("/api/v1/token"), 0);
        QCOMPARE(spy.size(), 1);
    }

    void networkFailureIsReportedAndLogged()
    {
        TestServices services;
        LogCapture log;
        QString url;
        {
            LoopbackServer closed;
            closed.start();
            url = closed.apiBaseUrl() + QStringLiteral("/gone");
        }
        auto *wrapper = new NetworkReplyWrapper(QNetworkRequest(QUrl(url)), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        const QList<QVariant> report = waitForReport(spy);
        QCOMPARE(report.size(), 2);
        QCOMPARE(report.at(0).toBool(), false);
        QCOMPARE(report.at(1).value<QJsonValue>(), QJsonValue());
        QVERIFY(log.contains(QStringLiteral("INFO: Network: Reply received. Status: 0. Reply: \"\"RequestURL: \"")
                             + url + QStringLiteral("\" Error:ConnectionRefusedError")));
    }

    void replyLineMasksSecretsOnly()
    {
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        server.get("/api/v1/secret", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, "{\"status\":\"success\",\"message\":{\"access_token\":\"T0K3N\",\"n\":1}}");
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());
        auto *wrapper = new NetworkReplyWrapper(requestFor(server, "/secret"), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        QVERIFY(!waitForReport(spy).isEmpty());
        QCOMPARE(spy.first().at(1).value<QJsonValue>().toObject().value("access_token").toString(),
                 QStringLiteral("T0K3N"));
        QVERIFY(log.contains(
            QStringLiteral("INFO: Network: Reply received. Status: 200. Reply: \"{\\\"status\\\":\\\"success\\\","
                           "\\\"message\\\":{\\\"access_token\\\":\\\"********\\\",\\\"n\\\":1}}\"RequestURL: \"")
            + server.apiBaseUrl() + QStringLiteral("/secret\" Error:NoError")));
        QVERIFY(!log.contains(QStringLiteral("T0K3N")));
    }

    void maskReplyBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("nothing secret") << QByteArray("{\"monkey\":\"a\",\"keys\":\"b\"}")
                                        << QByteArray("{\"monkey\":\"a\",\"keys\":\"b\"}");
        QTest::newRow("key with spacing") << QByteArray("{\"message\": {\"key\" : \"abc\\\"def\"}, \"x\":\"key\"}")
                                          << QByteArray("{\"message\": {\"key\" : \"********\"}, \"x\":\"key\"}");
        QTest::newRow("token in an array")
            << QByteArray("[{\"access_token\":\"t1\"},{\"access_token\":\"t2\"}]")
            << QByteArray("[{\"access_token\":\"********\"},{\"access_token\":\"********\"}]");
        QTest::newRow("escaped member name") << QByteArray("{\"\\u006bey\":\"s3cret\"}")
                                             << QByteArray("{\"key\":\"********\"}");
        QTest::newRow("not json") << QByteArray("key=abc") << QByteArray("key=abc");
    }

    void maskReplyBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        QCOMPARE(SecretMask::maskReplyBody(body), expected);
    }

    void renewsOnceOnUnauthorized_data()
    {
        QTest::addColumn<bool>("tokenSucceeds");
        QTest::addColumn<int>("resentStatus");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QJsonValue>("message");
        QTest::addColumn<int>("itemRequests");

        QTest::newRow("resent answer reported") << true << 200 << true << QJsonValue("second") << 2;
        QTest::newRow("second 401 fails") << true << 401 << false << QJsonValue("second") << 2;
        QTest::newRow("renewal fails") << false << 200 << false << QJsonValue("Unauthorized request") << 1;
    }

    void renewsOnceOnUnauthorized()
    {
        QFETCH(bool, tokenSucceeds);
        QFETCH(int, resentStatus);
        QFETCH(bool, success);
        QFETCH(QJsonValue, message);
        QFETCH(int, itemRequests);

        LoopbackServer server;
        TestServices services;
        serveToken(server, tokenSucceeds);
        std::atomic<int> calls{0};
        std::string resentAuthorization;
        server.get("/api/v1/item", [&](const httplib::Request &request, httplib::Response &response) {
            if (calls++ == 0) {
                LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"first\""));
                return;
            }
            resentAuthorization = request.get_header_value("Authorization");
            const QByteArray status = resentStatus == 200 ? "success" : "error";
            LoopbackServer::reply(response, resentStatus, LoopbackServer::envelope(status, "\"second\""));
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());

        QNetworkRequest request = requestFor(server, "/item");
        request.setRawHeader("Authorization", "Bearer stale");
        auto *wrapper = new NetworkReplyWrapper(request, NetworkReplyWrapper::Get, {}, true);
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        const QList<QVariant> report = waitForReport(spy);
        QCOMPARE(report.size(), 2);
        QCOMPARE(report.at(0).toBool(), success);
        QCOMPARE(report.at(1).value<QJsonValue>(), message);
        QCOMPARE(server.count("/api/v1/token"), 1);
        QCOMPARE(server.count("/api/v1/item"), itemRequests);
        if (itemRequests == 2)
            QCOMPARE(QByteArray::fromStdString(resentAuthorization), kBearerFresh);

        // A later sign-in must not revive the finished wrapper.
        services.remoteAPI()->doLogin(QStringLiteral("again"));
        QTRY_COMPARE(server.count("/api/v1/token"), 2);
        QSignalSpy settled(services.remoteAPI(), tokenSucceeds ? &RemoteAPI::loginSucceeded : &RemoteAPI::loginFailed);
        QVERIFY(settled.wait(10000));
        QCOMPARE(server.count("/api/v1/item"), itemRequests);
        QCOMPARE(spy.size(), 1);
    }

    void tokenRequestNeverRenews()
    {
        LoopbackServer server;
        TestServices services;
        serveToken(server, false);
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());
        RemoteAPI *api = services.remoteAPI();
        QSignalSpy failed(api, &RemoteAPI::loginFailed);
        api->doLogin(QStringLiteral("key"));
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(server.count("/api/v1/token"), 1);
    }

    void concurrentUnauthorizedRequestsAllComplete()
    {
        LoopbackServer server;
        TestServices services;
        serveToken(server, true);
        server.get("/api/v1/item/(\\d+)", [](const httplib::Request &request, httplib::Response &response) {
            if (request.get_header_value("Authorization") != kBearerFresh.toStdString()) {
                LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"expired\""));
                return;
            }
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", request.matches[1].str().c_str()));
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());

        const int count = 4;
        QList<QSharedPointer<QSignalSpy>> spies;
        for (int i = 0; i < count; ++i) {
            QNetworkRequest request = requestFor(server, QStringLiteral("/item/%1").arg(i));
            request.setRawHeader("Authorization", "Bearer stale");
            auto *wrapper = new NetworkReplyWrapper(request, NetworkReplyWrapper::Get, {}, true);
            spies.append(QSharedPointer<QSignalSpy>::create(wrapper, &NetworkReplyWrapper::replyFinished));
        }
        for (int i = 0; i < count; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(spies.at(i)->size(), 1, 10000);
            QCOMPARE(spies.at(i)->first().at(0).toBool(), true);
            QCOMPARE(spies.at(i)->first().at(1).value<QJsonValue>(), QJsonValue(i));
        }
        QCOMPARE(server.count("/api/v1/item/"), 2 * count);
        QVERIFY(server.count("/api/v1/token") >= 1);
    }

    void abortReportsAtOnceAndIgnoresTheLateReply()
    {
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        LoopbackServer::Gate gate;
        server.get("/api/v1/slow", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", "\"late\""));
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());

        QPointer<NetworkReplyWrapper> wrapper =
            new NetworkReplyWrapper(requestFor(server, "/slow"), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy spy(wrapper.data(), &NetworkReplyWrapper::replyFinished);
        QTRY_COMPARE(server.count("/api/v1/slow"), 1);
        QPointer<QNetworkReply> reply = services.networkAccessManager()->findChild<QNetworkReply *>();
        QVERIFY(reply);

        const int linesBefore = log.size();
        wrapper->abort();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toBool(), false);
        QCOMPARE(spy.first().at(1).value<QJsonValue>(), QJsonValue());

        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 10000);
        QVERIFY(wrapper.isNull());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(log.size(), linesBefore);
    }

    void isSecureEnough_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("https") << QString("https://shop.example/api/v1") << true;
        QTest::newRow("loopback v4") << QString("http://127.0.0.1:8080/api/v1") << true;
        QTest::newRow("loopback v6") << QString("http://[::1]:8080/api/v1") << true;
        QTest::newRow("localhost") << QString("http://LOCALHOST/api/v1") << true;
        QTest::newRow("plain http elsewhere") << QString("http://shop.example/api/v1") << false;
        QTest::newRow("loopback-looking name") << QString("http://127.0.0.1.shop.example/") << false;
        QTest::newRow("private address") << QString("http://192.168.1.10/api/v1") << false;
        QTest::newRow("other scheme") << QString("ftp://127.0.0.1/api/v1") << false;
    }

    void isSecureEnough()
    {
        QFETCH(QString, url);
        QFETCH(bool, accepted);
        QCOMPARE(NetworkReplyWrapper::isSecureEnough(QUrl(url)), accepted);
    }

    void plainHttpToARemoteHostFailsWithoutSending()
    {
        TestServices services;
        LogCapture log;
        QNetworkRequest request(QUrl(QStringLiteral("http://192.0.2.1/api/v1/token")));
        request.setRawHeader("Authorization", "Bearer secret-key");
        auto *wrapper = new NetworkReplyWrapper(request, NetworkReplyWrapper::Post, "{}", false);
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        QCOMPARE(spy.size(), 0); // reported only once the caller has connected
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.first().at(0).toBool(), false);
        QCOMPARE(spy.first().at(1).value<QJsonValue>(), QJsonValue());
        QVERIFY(services.networkAccessManager()->findChildren<QNetworkReply *>().isEmpty());
        QVERIFY(log.contains(QStringLiteral("ERROR: Network: Request refused, credentials would travel unencrypted")));
    }

    void oversizedReplyFailsWithoutWaitingForItsEnd()
    {
        NetworkReplyWrapper::setMaxReplyBodySize(256 * 1024);
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        server.get("/api/v1/endless", [](const httplib::Request &, httplib::Response &response) {
            // Streams far more than the bound; stops once the client hangs up.
            response.set_chunked_content_provider("application/json", [](size_t offset, httplib::DataSink &sink) {
                static const std::string chunk(64 * 1024, ' ');
                if (offset > size_t(1) << 30)
                    return false;
                return offset == 0 ? sink.write("{\"status\":\"success\",\"message\":\"", 32)
                                   : sink.write(chunk.data(), chunk.size());
            });
        });
        server.get("/api/v1/small", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", '"' + QByteArray(1000, 'x') + '"'));
        });
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());

        auto *big = new NetworkReplyWrapper(requestFor(server, "/endless"), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy bigSpy(big, &NetworkReplyWrapper::replyFinished);
        auto *small = new NetworkReplyWrapper(requestFor(server, "/small"), NetworkReplyWrapper::Get, {}, true);
        QSignalSpy smallSpy(small, &NetworkReplyWrapper::replyFinished);

        QVERIFY(!waitForReport(bigSpy).isEmpty());
        QCOMPARE(bigSpy.first().at(0).toBool(), false);
        QCOMPARE(bigSpy.first().at(1).value<QJsonValue>(), QJsonValue());
        QVERIFY(log.contains(QStringLiteral("ERROR: Network: Reply larger than 262144 bytes dropped")));

        QVERIFY(!waitForReport(smallSpy).isEmpty());
        QCOMPARE(smallSpy.first().at(0).toBool(), true);
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestNetworkReplyWrapper)
#include "tst_networkreplywrapper.moc"
