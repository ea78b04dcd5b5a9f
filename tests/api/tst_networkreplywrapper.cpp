#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "apifixture.h"
#include "logcapture.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

const QByteArray kBearerFresh = QByteArrayLiteral("Bearer fresh-token");

void serveToken(ApiFixture &f, bool succeed)
{
    f.answer("/api/v1/token", succeed ? 200 : 401,
             succeed ? LoopbackServer::envelope("success", R"({"access_token":"fresh-token","customers_id":"7"})")
                     : LoopbackServer::envelope("error", "\"bad key\""),
             true);
}

NetworkReplyWrapper *get(ApiFixture &f, const QNetworkRequest &request)
{
    return f.api()->makeRequest(request, NetworkReplyWrapper::Get, {}, true);
}

} // namespace

class TestNetworkReplyWrapper : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        useSettingsStoreIn(m_config.path());
    }

    void init() { QSettings().clear(); }
    void cleanup() { NetworkReplyWrapper::setMaxReplyBodySize(0); }

    void envelopeDecidesTheResult_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QJsonValue>("message");
        QTest::newRow("success") << 200 << QByteArray(R"({"status":"success","message":{"a":1}})") << true
                                 << QJsonValue(QJsonObject{{"a", 1}});
        QTest::newRow("capital S") << 200 << QByteArray(R"({"status":"Success","message":"x"})") << false << QJsonValue("x");
        QTest::newRow("html with 200") << 200 << QByteArray("<html><body>ok</body></html>") << false << QJsonValue();
        QTest::newRow("success envelope with 500") << 500 << QByteArray(R"({"status":"success","message":[1,2]})") << true
                                                   << QJsonValue(QJsonArray{1, 2});
        QTest::newRow("failure envelope with 200") << 200 << QByteArray(R"({"status":"error","message":"Wrong password"})")
                                                   << false << QJsonValue("Wrong password");
        QTest::newRow("html with 401 does not renew") << 401 << QByteArray("<h1>401</h1>") << false << QJsonValue();
    }

    void envelopeDecidesTheResult()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        QFETCH(QJsonValue, message);
        ApiFixture f(&m_nam);
        serveToken(f, true);
        f.answer("/api/v1/item", status, body);
        f.start();
        QSignalSpy spy(get(f, f.request("/item")), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(spy, success, message));
        QCOMPARE(f.server.count("/api/v1/token"), 0);
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
        // The renewal's own refused token request is not renewed in turn.
        QTest::newRow("renewal fails") << false << 200 << false << QJsonValue("Unauthorized request") << 1;
    }

    void renewsOnceOnUnauthorized()
    {
        QFETCH(bool, tokenSucceeds);
        QFETCH(int, resentStatus);
        QFETCH(bool, success);
        QFETCH(QJsonValue, message);
        QFETCH(int, itemRequests);
        ApiFixture f(&m_nam);
        serveToken(f, tokenSucceeds);
        std::atomic<int> calls{0};
        std::string resentAuthorization;
        f.server.get("/api/v1/item", [&](const httplib::Request &request, httplib::Response &response) {
            if (calls++ == 0)
                return LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"first\""));
            resentAuthorization = request.get_header_value("Authorization");
            LoopbackServer::reply(response, resentStatus,
                                  LoopbackServer::envelope(resentStatus == 200 ? "success" : "error", "\"second\""));
        });
        f.start();
        QSignalSpy spy(get(f, f.request("/item", "Bearer stale")), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(spy, success, message));
        QCOMPARE(f.server.count("/api/v1/token"), 1);
        QCOMPARE(f.server.count("/api/v1/item"), itemRequests);
        if (itemRequests == 2)
            QCOMPARE(QByteArray::fromStdString(resentAuthorization), kBearerFresh);
    }

    void concurrentUnauthorizedRequestsAllComplete()
    {
        ApiFixture f(&m_nam);
        serveToken(f, true);
        f.server.get("/api/v1/item/(\\d+)", [](const httplib::Request &request, httplib::Response &response) {
            if (request.get_header_value("Authorization") != kBearerFresh.toStdString())
                return LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"expired\""));
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", request.matches[1].str().c_str()));
        });
        f.start();
        QList<QSharedPointer<QSignalSpy>> spies;
        for (int i = 0; i < 4; ++i)
            spies.append(QSharedPointer<QSignalSpy>::create(get(f, f.request(QString("/item/%1").arg(i), "Bearer stale")),
                                                            &NetworkReplyWrapper::replyFinished));
        for (int i = 0; i < 4; ++i)
            QVERIFY(reported(*spies.at(i), true, QJsonValue(i)));
        QCOMPARE(f.server.count("/api/v1/item/"), 8);
        QVERIFY(f.server.count("/api/v1/token") >= 1);
    }

    void abortReportsAtOnceAndIgnoresTheLateReply()
    {
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        f.server.get("/api/v1/slow", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", "\"late\""));
        });
        f.start();
        QPointer<NetworkReplyWrapper> wrapper = get(f, f.request("/slow"));
        QSignalSpy spy(wrapper.data(), &NetworkReplyWrapper::replyFinished);
        QTRY_COMPARE(f.server.count("/api/v1/slow"), 1);
        QPointer<QNetworkReply> reply = pendingReply(m_nam);
        QVERIFY(reply);
        wrapper->abort();
        QCOMPARE(spy.size(), 1);   // at once, not on the next turn of the loop
        QVERIFY(reported(spy, false, QJsonValue()));
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 10000);
        QCOMPARE(spy.size(), 1);
    }

    void isSecureEnough_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("https") << "https://shop.example/api/v1" << true;
        QTest::newRow("loopback v4") << "http://127.0.0.1:8080/api/v1" << true;
        QTest::newRow("plain http elsewhere") << "http://shop.example/api/v1" << false;
        QTest::newRow("loopback-looking name") << "http://127.0.0.1.shop.example/" << false;
    }

    void isSecureEnough()
    {
        QFETCH(QString, url);
        QFETCH(bool, accepted);
        QCOMPARE(NetworkReplyWrapper::isSecureEnough(QUrl(url)), accepted);
    }

    void plainHttpToARemoteHostFailsWithoutSending()
    {
        ApiFixture f(&m_nam);
        LogCapture log;
        QNetworkRequest request(QUrl("http://192.0.2.1/api/v1/token"));
        request.setRawHeader("Authorization", "Bearer secret-key");
        QSignalSpy spy(new NetworkReplyWrapper(&m_nam, request, NetworkReplyWrapper::Post, "{}", false),
                       &NetworkReplyWrapper::replyFinished);
        QCOMPARE(spy.size(), 0);   // reported only once the caller has connected
        QVERIFY(reported(spy, false, QJsonValue()));
        QVERIFY(!pendingReply(m_nam));
        QVERIFY(log.contains("Request refused"));
    }

    void oversizedReplyFailsWithoutWaitingForItsEnd()
    {
        NetworkReplyWrapper::setMaxReplyBodySize(256 * 1024);
        LogCapture log;
        ApiFixture f(&m_nam);
        f.server.get("/api/v1/endless", [](const httplib::Request &, httplib::Response &response) {
            // Streams far more than the bound; stops once the client hangs up.
            response.set_chunked_content_provider("application/json", [](size_t offset, httplib::DataSink &sink) {
                static const std::string chunk(64 * 1024, ' ');
                if (offset > size_t(1) << 30)
                    return false;
                return offset == 0 ? sink.write("{\"status\":\"success\",\"message\":\"", 32)
                                   : sink.write(chunk.data(), chunk.size());
            });
        });
        const QByteArray small(1000, 'x');
        f.answer("/api/v1/small", 200, LoopbackServer::envelope("success", '"' + small + '"'));
        f.start();
        QSignalSpy bigSpy(get(f, f.request("/endless")), &NetworkReplyWrapper::replyFinished);
        QSignalSpy smallSpy(get(f, f.request("/small")), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(bigSpy, false, QJsonValue()));
        QVERIFY(log.contains("Reply larger than 262144 bytes dropped"));
        QVERIFY(reported(smallSpy, true, QString::fromLatin1(small)));
    }

    void untrustedCertificateIsNeverAccepted()
    {
        const std::string data = TESTS_SOURCE_DIR "/api/data/";
        LoopbackServer server(data + "selfsigned.crt", data + "selfsigned.key");
        server.get("/api/v1/item", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", "1"));
        });
        server.start();
        ApiFixture f(&m_nam);
        QSignalSpy spy(get(f, QNetworkRequest(QUrl(server.apiBaseUrl() + "/item"))), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(spy, false, QJsonValue()));
        QCOMPARE(server.count("/api/v1/item"), 0);
    }

private:
    QTemporaryDir m_config;
    // One manager for the whole run, as the program has.
    QNetworkAccessManager m_nam;
};

QTEST_GUILESS_MAIN(TestNetworkReplyWrapper)
#include "tst_networkreplywrapper.moc"
