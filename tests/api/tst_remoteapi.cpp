#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "api/secretmask.h"
#include "apifixture.h"
#include "logcapture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

const QByteArray kSecret = "S3CR3T-value";

} // namespace

// The service client: its account and library calls, the request wrapper under them and the
// masking of what they log.
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
    void cleanup() { NetworkReplyWrapper::setMaxReplyBodySize(0); }

    // A sign-out while a token request is out (here a renewal) drops its late answer and
    // releases the requests that waited for a fresh token.
    void logoutDuringTokenRequest()
    {
        ApiFixture f(&m_nam);
        LoopbackServer::Gate gate;
        f.server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, success("{'access_token':'t','customers_id':'1'}"));
        });
        f.answer("/api/v1/products/9", 401, LoopbackServer::envelope("error", "\"expired\""));
        f.start();
        storeLogin("key", "stale", "1");
        RemoteAPI *api = f.api();
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        QSignalSpy failed(api, &RemoteAPI::loginFailed);
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        QSignalSpy spy(api->getTitleInfo("9"), &NetworkReplyWrapper::replyFinished);
        QTRY_COMPARE(f.server.count("/api/v1/token"), 1);
        QPointer<QNetworkReply> reply = pendingReply(m_nam);
        QVERIFY(reply);

        api->doLogout();
        QCOMPARE(spy.size(), 1);
        QVERIFY(reported(spy, false, QJsonValue("Unauthorized request")));
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 10000);
        QCOMPARE(succeeded.size() + failed.size() + refreshing.size(), 0);
        QVERIFY(!api->loggedIn());
        QVERIFY(!RemoteAPI(&m_nam).loggedIn());
    }

    void pagesUntilAShortPage_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("failingPage");
        QTest::addColumn<int>("requests");
        QTest::newRow("one short page") << 499 << 0 << 1;
        QTest::newRow("exactly one page") << 500 << 0 << 2;
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
        // Empty pages are not delivered.
        const int served = failingPage ? (failingPage - 1) * 500 : total;
        QCOMPARE(pages.size(), served / 500 + (served % 500 ? 1 : 0));
        QCOMPARE(pages.first().at(1).toJsonArray().size(), qMin(served, 500));
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
        f.api()->refreshLibrary();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains("WebAPI: Library refresh succeeded"), 10000);
        QCOMPARE(finished.size(), 0);
        QVERIFY(f.api()->isRefreshing());
        gate.open();
        QVERIFY(finished.wait(10000));
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{{true}});
        QCOMPARE(info.size(), 1);
        // Once on at the start and once off at the announced end: the title-info request alone is
        // no refresh, so the header does not flash "Checking...".
        QCOMPARE(QList<QVariantList>(refreshing), (QList<QVariantList>{{true}, {false}}));
    }

    // A digest listed twice keeps its later date; entries without one are skipped.
    void checksumsFrom()
    {
        const QByteArray checksums = json("[{'checksum':'aa','checksum_date':'2020-01-01 10:00:00'},"
                                          "{'checksum_date':'2020-01-01 10:00:00'}, 5,"
                                          "{'checksum':'bb','checksum_date':'2020-02-01 10:00:00'},"
                                          "{'checksum':'aa','checksum_date':'2021-03-04 05:06:07.000Z'}]");
        const QMap<QString, QDateTime> hashes = RemoteAPI::checksumsFrom(QJsonDocument::fromJson(checksums).array());
        QCOMPARE(hashes.keys(), (QStringList{"aa", "bb"}));
        QCOMPARE(hashes.first().toString(Qt::ISODate), QStringLiteral("2021-03-04T05:06:07"));
    }

    // A customer's way from the key page to a file task after a restart, with a renewal on the
    // way: the sign-in outlives the restart, and no secret reaches the log.
    void secretsNeverReachTheLog()
    {
        const QString password = "Pa55-w0rd-zz", key = "KEY-4fa9c1d7", token = "TOKEN-88e1b0";
        LogCapture log;
        ApiFixture f(&m_nam);
        f.answer("/create_account_app.php", 200, LoopbackServer::envelope("success", "{\"key\":\"" + key.toUtf8() + "\"}"), true);
        f.answer("/api/v1/token", 200,
                 LoopbackServer::envelope("success", "{\"access_token\":\"" + token.toUtf8() + "\",\"customers_id\":\"77\","
                                                "\"first_name\":\"Ada\",\"last_name\":\"Byron\"}"),
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
        QVERIFY(api->loggedIn());   // the key counts at once
        QVERIFY(signedIn.wait(10000));
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary();
        QVERIFY(finished.wait(10000));

        QSettings().setValue("login/access_token", "stale");
        RemoteAPI restarted(&m_nam);
        // Earlier runs stored the key reversed, and read it so.
        QCOMPARE(QSettings().value("login/appKey").toString(), QStringLiteral("7d1c9af4-YEK"));
        QCOMPARE(QStringList({restarted.appKey(), restarted.nameSurname(), restarted.customersId()}),
                 QStringList({key, "Ada Byron", "77"}));
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

    // The envelope decides, not the status; a request refused twice, or whose renewal is refused,
    // fails instead of renewing again.
    void replyDecidesTheResult_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("tokenSucceeds");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QJsonValue>("message");
        QTest::addColumn<int>("tokenRequests");
        QTest::addColumn<int>("itemRequests");
        const QByteArray refused = LoopbackServer::envelope("error", "\"first\"");
        QTest::newRow("success envelope with 500") << 500 << QByteArray(R"({"status":"success","message":[1,2]})") << true
                                                   << true << QJsonValue(QJsonArray{1, 2}) << 0 << 1;
        QTest::newRow("failure envelope with 200") << 200 << QByteArray(R"({"status":"error","message":"Wrong password"})")
                                                   << true << false << QJsonValue("Wrong password") << 0 << 1;
        QTest::newRow("html with 401 does not renew") << 401 << QByteArray("<h1>401</h1>") << true << false << QJsonValue()
                                                      << 0 << 1;
        QTest::newRow("second 401 fails") << 401 << refused << true << false << QJsonValue("second") << 1 << 2;
        // The renewal's own refused token request is not renewed in turn.
        QTest::newRow("renewal fails") << 401 << refused << false << false << QJsonValue("Unauthorized request") << 1 << 1;
    }

    void replyDecidesTheResult()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, tokenSucceeds);
        QFETCH(bool, success);
        QFETCH(QJsonValue, message);
        QFETCH(int, tokenRequests);
        QFETCH(int, itemRequests);
        ApiFixture f(&m_nam);
        serveToken(f, tokenSucceeds);
        std::atomic<int> calls{0};
        f.server.get("/api/v1/item", [&](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, status, calls++ ? LoopbackServer::envelope("error", "\"second\"") : body);
        });
        f.start();
        QSignalSpy spy(get(f, f.request("/item", "Bearer stale")), &NetworkReplyWrapper::replyFinished);
        QVERIFY(reported(spy, success, message));
        QCOMPARE(f.server.count("/api/v1/token"), tokenRequests);
        QCOMPARE(f.server.count("/api/v1/item"), itemRequests);
    }

    // Each is resent with the fresh token and reports the resent answer.
    void concurrentUnauthorizedRequestsAllComplete()
    {
        ApiFixture f(&m_nam);
        serveToken(f, true);
        f.server.get("/api/v1/item/(\\d+)", [](const httplib::Request &request, httplib::Response &response) {
            if (request.get_header_value("Authorization") != "Bearer fresh-token")
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

    // A server whose certificate nobody vouches for gets no request: it could be anyone.
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

    // Plain http goes to the loopback only; to anywhere else the request fails without sending
    // the key.
    void plainHttpToARemoteHostFailsWithoutSending_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("plain http elsewhere") << "http://192.0.2.1/api/v1/token";
        QTest::newRow("loopback-looking name") << "http://127.0.0.1.shop.example/api/v1/token";
    }

    void plainHttpToARemoteHostFailsWithoutSending()
    {
        QFETCH(QString, url);
        LogCapture log;
        QNetworkRequest request{QUrl(url)};
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

    // Each reply plants kSecret; no spelling of it may survive the masking.
    void noSpellingEscapes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        const QByteArray longToken = QByteArray("ab\\/").repeated(15000) + kSecret;
        QTest::newRow("long token with slashes") << QByteArray("{\"access_token\":\"" + longToken + "\"}");
        QTest::newRow("array of secrets") << QByteArray("[{\"key\":[\"S3CR3T-value\",{\"a\":\"S3CR3T-value\"}]}]");
        QTest::newRow("number") << QByteArray("{\"key\":123456789}");
        QTest::newRow("truncated") << QByteArray("{\"access_token\":\"S3CR3T-value");
        QTest::newRow("secret as a name under a secret") << QByteArray("{\"key\":{\"m\":{\"S3CR3T-value\":1}}}");
    }

    void noSpellingEscapes()
    {
        QFETCH(QByteArray, reply);
        const QByteArray logged = SecretMask::maskReplyBody(reply);
        QVERIFY2(!logged.contains(kSecret) && !logged.contains("S3CR3T") && !logged.contains("123456789"),
                 logged.left(200).constData());
        QVERIFY(!logged.contains("ab/ab/"));
    }

private:
    QTemporaryDir m_config;
    // One manager for the whole run, as the program has.
    QNetworkAccessManager m_nam;
};

QTEST_GUILESS_MAIN(TestRemoteAPI)
#include "tst_remoteapi.moc"
