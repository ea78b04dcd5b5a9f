#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "api/secretmask.h"
#include "apifixture.h"
#include "logcapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

// JSON written with single quotes, for readability.
QByteArray json(const char *text) { return QByteArray(text).replace('\'', '"'); }
QByteArray success(const char *message) { return LoopbackServer::envelope("success", json(message)); }

QByteArray products(int first, int count)
{
    QJsonArray array;
    for (int i = first; i < first + count; ++i)
        array.append(QJsonObject{{"products_id", QString::number(i)}, {"products_name", QString("Book %1").arg(i)}});
    return LoopbackServer::envelope("success", QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Serves a library of `total` products page by page, as the query asks; from page `failingPage`
// on, the service fails.
void serveLibrary(LoopbackServer &server, int total, int failingPage = 0)
{
    server.get("/api/v1/customers/77/products", [=](const httplib::Request &request, httplib::Response &response) {
        const int page = std::stoi(request.get_param_value("page"));
        if (failingPage > 0 && page >= failingPage)
            return LoopbackServer::reply(response, 500, LoopbackServer::envelope("error", "\"database down\""));
        const int perPage = std::stoi(request.get_param_value("per_page"));
        const int first = (page - 1) * perPage;
        LoopbackServer::reply(response, 200, products(first, qBound(0, total - first, perPage)));
    });
}

// The HTTP server library takes multipart bodies apart before a handler sees them, so the
// key page's body is checked byte for byte against this minimal one-request server.
class RawRequestRecorder : public QObject
{
    Q_OBJECT
public:
    explicit RawRequestRecorder(const QByteArray &replyBody)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this, replyBody] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, replyBody] {
                m_received += socket->readAll();
                if (!m_received.endsWith("--\r\n"))   // the closing boundary
                    return;
                const int headerEnd = m_received.indexOf("\r\n\r\n");
                headers = m_received.left(headerEnd);
                body = m_received.mid(headerEnd + 4);
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: " + QByteArray::number(replyBody.size()) + "\r\n\r\n" + replyBody);
                socket->disconnectFromHost();
            });
        });
    }
    QString rootUrl() const { return QString("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    QByteArray headers;
    QByteArray body;

private:
    QTcpServer m_server;
    QByteArray m_received;
};

} // namespace

class TestRemoteAPI : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        useSettingsStoreIn(m_config.path());
    }

    void init() { QSettings().clear(); }

    void keyRequestBodyIsExact()
    {
        RawRequestRecorder server(success("{'key':'K-123'}"));
        ApiFixture f(&m_nam);
        qputenv("TOLVANE_API_BASE_URL", (server.rootUrl() + "/api/v1").toUtf8());
        QSignalSpy succeeded(f.api(), &RemoteAPI::getKeySucceeded);
        f.api()->doGetKey("reader@example.org", QStringLiteral("p\u00e4ss \"word\""));
        QVERIFY(succeeded.wait(10000));
        QCOMPARE(succeeded.first().at(0).toString(), QStringLiteral("K-123"));
        QVERIFY(!f.api()->loggedIn());

        const QByteArray expected = "--TOLVANE1Q2W8E3R4T5Y\r\n"
                                    "Content-Disposition: form-data; name=\"email_address\"\r\n\r\n"
                                    "reader@example.org\r\n"
                                    "--TOLVANE1Q2W8E3R4T5Y\r\n"
                                    "Content-Disposition: form-data; name=\"password\"\r\n\r\n"
                                    "p\xc3\xa4ss \"word\"\r\n"
                                    "--TOLVANE1Q2W8E3R4T5Y--\r\n";
        QCOMPARE(server.body, expected);
        QVERIFY(server.headers.startsWith("POST /create_account_app.php HTTP/1.1\r\n"));
        QVERIFY(server.headers.contains("Content-Type: multipart/form-data; boundary=TOLVANE1Q2W8E3R4T5Y\r\n"));
    }

    void keyReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("text");
        QTest::newRow("no key member") << 200 << success("{}") << true << QString();
        QTest::newRow("service error text") << 200 << LoopbackServer::envelope("error", "\"Wrong password\"") << false
                                            << "Wrong password";
        QTest::newRow("not an envelope") << 502 << QByteArray("Bad gateway") << false << QString();
    }

    void keyReplies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, succeeds);
        QFETCH(QString, text);
        ApiFixture f(&m_nam);
        f.answer("/create_account_app.php", status, body, true);
        f.start();
        QSignalSpy succeeded(f.api(), &RemoteAPI::getKeySucceeded);
        QSignalSpy failed(f.api(), &RemoteAPI::getKeyFailed);
        f.api()->doGetKey("a@b.c", "pw");
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.size() + failed.size(), 1, 10000);
        QSignalSpy &reported = succeeds ? succeeded : failed;
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported.first().at(0).toString(), text);
    }

    void loginPersistsAcrossRestarts_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("customersId");
        QTest::newRow("full") << success("{'access_token':'tok-1','customers_id':'77','first_name':'Ada','last_name':'Byron'}")
                              << "Ada Byron" << "77";
        // A number is not taken for the id.
        QTest::newRow("no names, numeric id") << success("{'access_token':'t','customers_id':77}") << " " << QString();
    }

    void loginPersistsAcrossRestarts()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, name);
        QFETCH(QString, customersId);
        ApiFixture f(&m_nam);
        f.answer("/api/v1/token", 200, reply, true);
        f.start();
        RemoteAPI *api = f.api();
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        api->doLogin(QStringLiteral("abc\u00e9"));
        QVERIFY(api->loggedIn());   // the key counts at once
        QVERIFY(succeeded.wait(10000));

        const LoopbackServer::Received request = f.server.requests().front();
        QCOMPARE(request.target, std::string("/api/v1/token?fields=first_name,last_name,customers_id"));
        QCOMPARE(request.header("Authorization"), std::string("Bearer abc\xe9"));
        QCOMPARE(QSettings().value("login/appKey").toString(), QStringLiteral("\u00e9cba"));

        RemoteAPI restarted(&m_nam);
        QVERIFY(restarted.loggedIn());
        QCOMPARE(restarted.appKey(), QStringLiteral("abc\u00e9"));
        QCOMPARE(restarted.nameSurname(), name);
        QCOMPARE(restarted.customersId(), customersId);
    }

    void logoutDuringTokenRequest()
    {
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        f.server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, success("{'access_token':'t','customers_id':'1'}"));
        });
        f.start();
        storeLogin("old", "old-token", "1");
        RemoteAPI *api = f.api();
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        QSignalSpy failed(api, &RemoteAPI::loginFailed);
        api->doLogin("new-key");
        QTRY_COMPARE(f.server.count("/api/v1/token"), 1);
        QPointer<QNetworkReply> reply = pendingReply(m_nam);
        QVERIFY(reply);

        api->doLogout();
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 10000);
        QCOMPARE(succeeded.size() + failed.size(), 0);
        QVERIFY(!api->loggedIn());
        QVERIFY(!RemoteAPI(&m_nam).loggedIn());
    }

    void logoutReleasesRequestsWaitingForANewToken()
    {
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        f.server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, success("{'access_token':'t'}"));
        });
        f.answer("/api/v1/products/9", 401, LoopbackServer::envelope("error", "\"expired\""));
        f.start();
        storeLogin("key", "stale", "1");
        RemoteAPI *api = f.api();
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        QSignalSpy spy(api->getTitleInfo("9"), &NetworkReplyWrapper::replyFinished);
        QTRY_COMPARE(f.server.count("/api/v1/token"), 1);
        api->doLogout();
        QCOMPARE(spy.size(), 1);
        QVERIFY(reported(spy, false, QJsonValue("Unauthorized request")));
        QVERIFY(!api->isRefreshing());
        QCOMPARE(refreshing.size(), 0);
    }

    void pagesUntilAShortPage_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("failingPage");
        QTest::addColumn<int>("requests");
        QTest::newRow("empty library") << 0 << 0 << 1;
        QTest::newRow("one short page") << 499 << 0 << 1;
        QTest::newRow("exactly one page") << 500 << 0 << 2;
        QTest::newRow("two full pages") << 1000 << 0 << 3;
        // The pages before the failure are kept.
        QTest::newRow("failure on a later page") << 1000 << 2 << 2;
    }

    void pagesUntilAShortPage()
    {
        QFETCH(int, total);
        QFETCH(int, failingPage);
        QFETCH(int, requests);
        ApiFixture f(&m_nam);
        serveLibrary(f.server, total, failingPage);
        f.start();
        storeLogin();
        QSignalSpy pages(f.api(), &RemoteAPI::titlesRefreshResult);
        QSignalSpy finished(f.api(), &RemoteAPI::refreshLibraryFinished);
        // A later page with no refresh running is not asked for.
        f.api()->refreshLibrary(5);
        f.api()->refreshLibrary(0);
        QVERIFY(!f.api()->isRefreshing());
        f.api()->refreshLibrary();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).toBool(), failingPage == 0);
        QCOMPARE(f.server.count("/api/v1/customers/77/products"), requests);
        QVERIFY(f.server.requests().front().target.find("page=1&") != std::string::npos);
        // Empty pages are not delivered.
        const int served = failingPage ? (failingPage - 1) * 500 : total;
        QCOMPARE(pages.size(), served / 500 + (served % 500 ? 1 : 0));
        if (!pages.isEmpty())
            QCOMPARE(pages.first().at(1).toJsonArray().size(), qMin(served, 500));
        QCOMPARE(f.server.requests().front().header("Authorization"), std::string("Bearer tok"));
        QCOMPARE(f.services.errors.size(), failingPage ? 1 : 0);
        if (failingPage)
            QCOMPARE(f.services.errors.first().type, LibraryErrorType::RefreshLibraryError);
    }

    void restartDropsTheEarlierChainsReply()
    {
        LogCapture log;
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        std::atomic<int> calls{0};
        f.server.get("/api/v1/customers/77/products", [&](const httplib::Request &, httplib::Response &response) {
            if (calls++ == 0) {
                gate.wait();
                return LoopbackServer::reply(response, 200, products(100, 7));
            }
            LoopbackServer::reply(response, 200, products(0, 3));
        });
        f.start();
        storeLogin();
        QSignalSpy pages(f.api(), &RemoteAPI::titlesRefreshResult);
        QSignalSpy finished(f.api(), &RemoteAPI::refreshLibraryFinished);
        f.api()->refreshLibrary();
        QTRY_COMPARE(f.server.count("/api/v1/customers/"), 1);
        f.api()->refreshLibrary();
        QVERIFY(finished.wait(10000));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.first().at(1).toJsonArray().size(), 3);
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("reply of an earlier refresh ignored"), 10000);
        QCOMPARE(pages.size() + finished.size(), 2);
    }

    void endWaitsForPendingTitleInfo()
    {
        LogCapture log;
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        serveLibrary(f.server, 0);
        f.server.get("/api/v1/products/12", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, success("{'products_id':'12'}"));
        });
        f.start();
        storeLogin();
        QSignalSpy finished(f.api(), &RemoteAPI::refreshLibraryFinished);
        QSignalSpy refreshing(f.api(), &RemoteAPI::isRefreshingChanged);
        QSignalSpy info(f.api()->getTitleInfo("12"), &NetworkReplyWrapper::replyFinished);
        // A title-info request alone is no refresh: the header must not flash "Checking...".
        QVERIFY(!f.api()->isRefreshing());
        QCOMPARE(refreshing.size(), 0);
        f.api()->refreshLibrary();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("WebAPI: Library refresh succeeded"), 10000);
        QCOMPARE(finished.size(), 0);
        QVERIFY(f.api()->isRefreshing());
        gate.open();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toBool(), true);
        QCOMPARE(info.size(), 1);
        QVERIFY(!f.api()->isRefreshing());
        // Once on at the start and once off at the announced end; the info request changes nothing.
        QCOMPARE(refreshing.size(), 2);
        QCOMPARE(refreshing.at(0).at(0).toBool(), true);
        QCOMPARE(refreshing.at(1).at(0).toBool(), false);
    }

    void checksumsFrom_data()
    {
        QTest::addColumn<QByteArray>("checksums");
        QTest::addColumn<QStringList>("digests");
        QTest::addColumn<QString>("dateOfFirst");
        QTest::newRow("later duplicate wins")
            << json("[{'checksum':'aa','checksum_date':'2020-01-01 10:00:00'},"
                    "{'checksum':'bb','checksum_date':'2020-02-01 10:00:00'},"
                    "{'checksum':'aa','checksum_date':'2021-03-04 05:06:07.000Z'}]")
            << QStringList{"aa", "bb"} << "2021-03-04T05:06:07";
        QTest::newRow("empty array") << json("[]") << QStringList{} << QString();
        QTest::newRow("entries without digest") << json("[{'checksum_date':'2020-01-01 10:00:00'}, 5]") << QStringList{} << QString();
    }

    void checksumsFrom()
    {
        QFETCH(QByteArray, checksums);
        QFETCH(QStringList, digests);
        QFETCH(QString, dateOfFirst);
        const QMap<QString, QDateTime> hashes = RemoteAPI::checksumsFrom(QJsonDocument::fromJson(checksums).array());
        QCOMPARE(hashes.keys(), digests);
        QCOMPARE(hashes.isEmpty() ? QString() : hashes.first().toString(Qt::ISODate), dateOfFirst);
    }

    void secretsNeverReachTheLog()
    {
        const QString password = "Pa55-w0rd-zz", key = "KEY-4fa9c1d7", token = "TOKEN-88e1b0";
        LogCapture log;
        ApiFixture f(&m_nam);
        f.answer("/create_account_app.php", 200, LoopbackServer::envelope("success", "{\"key\":\"" + key.toUtf8() + "\"}"), true);
        f.answer("/api/v1/token", 200,
                 LoopbackServer::envelope("success", "{\"access_token\":\"" + token.toUtf8() + "\",\"customers_id\":\"77\"}"),
                 true);
        serveLibrary(f.server, 2);
        f.server.post("/api/v1/file_tasks", [&](const httplib::Request &request, httplib::Response &response) {
            // The first attempt meets an expired token, so the renewal path is logged too.
            if (request.get_header_value("Authorization") != "Bearer " + token.toStdString())
                return LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", "\"expired\""));
            LoopbackServer::reply(response, 200, success("{'file_tasks_id':'T1'}"));
        });
        f.start();

        RemoteAPI *api = f.api();
        QSignalSpy gotKey(api, &RemoteAPI::getKeySucceeded);
        api->doGetKey("reader@example.org", password);
        QVERIFY(gotKey.wait(10000));
        QSignalSpy signedIn(api, &RemoteAPI::loginSucceeded);
        api->doLogin(gotKey.first().at(0).toString());
        QVERIFY(signedIn.wait(10000));
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary();
        QVERIFY(finished.wait(10000));

        QSettings().setValue("login/access_token", "stale");
        RemoteAPI restarted(&m_nam);
        f.services.api = &restarted;
        QSignalSpy created(restarted.requestDownloadLink("123", "45"), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(created, true, QJsonObject{{"file_tasks_id", "T1"}}));
        f.services.api = nullptr;
        // The resent file task is still the form the service reads.
        const LoopbackServer::Received create = f.server.requests().back();
        QCOMPARE(create.body, std::string("products_id=123&bundle_id=45"));
        QCOMPARE(create.header("Content-Type"), std::string("application/x-www-form-urlencoded"));

        const QString all = log.lines().join('\n');
        QVERIFY(all.contains("Renovate token"));
        for (const QString &secret : {password, key, token})
            QVERIFY2(!all.contains(secret), qPrintable(secret));
    }

    // Text from the service reaches the log masked and cut to a bounded length, in every line
    // that carries it.
    void serviceTextInTheLogIsMaskedAndBounded_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("marker");   // the line that carries the text
        QTest::newRow("library page") << "refresh" << "Library refresh succeeded";
        QTest::newRow("login refused") << "login" << "Login failed";
        QTest::newRow("key refused") << "key" << "Get key failed";
    }

    void serviceTextInTheLogIsMaskedAndBounded()
    {
        QFETCH(QString, step);
        QFETCH(QString, marker);
        const QByteArray secret = "KEY-7d1e0c55";
        const QByteArray hugeName(4 * 1024 * 1024, 'n');
        const QByteArray product = "{\"products_id\":\"1\",\"key\":\"" + secret + "\",\"products_name\":\"" + hugeName + "\"}";
        LogCapture log;
        ApiFixture f(&m_nam);
        f.answer("/create_account_app.php", 200, LoopbackServer::envelope("error", product), true);
        f.answer("/api/v1/token", step == "login" ? 401 : 200,
                 step == "login" ? LoopbackServer::envelope("error", product)
                                 : success("{'access_token':'T','customers_id':'77'}"),
                 true);
        f.answer("/api/v1/customers/77/products", 200, LoopbackServer::envelope("success", "[" + product + "]"));
        f.start();

        if (step == "key")
            f.api()->doGetKey("reader@example.org", "pw");
        else
            f.api()->doLogin("K");
        if (step == "refresh") {
            QSignalSpy signedIn(f.api(), &RemoteAPI::loginSucceeded);
            QVERIFY(signedIn.wait(20000));
            f.api()->refreshLibrary();
        }
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(marker), 20000);
        int cut = 0;
        for (const QString &line : log.lines()) {
            QVERIFY2(!line.contains(QString::fromLatin1(secret)), qPrintable(line.left(200)));
            QVERIFY2(line.size() < SecretMask::kMaxLoggedBytes + 1000, qPrintable(line.left(200)));
            if (line.contains(marker))
                QVERIFY2(line.contains(QString(" bytes in all>")), qPrintable(line.left(200)));
            if (line.contains("Reply received") && line.contains(" bytes in all>"))
                ++cut;
        }
        QCOMPARE(cut, 1);
    }

private:
    QTemporaryDir m_config;
    // One manager for the whole run, as the program has.
    QNetworkAccessManager m_nam;
};

QTEST_GUILESS_MAIN(TestRemoteAPI)
#include "tst_remoteapi.moc"
