#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "downloads/libraryfile.h"
#include "logcapture.h"
#include "loopbackserver.h"
#include "testservices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace {

// JSON written with single quotes, for readability.
QByteArray json(const char *text)
{
    QByteArray bytes(text);
    bytes.replace('\'', '"');
    return bytes;
}

const QString kKeyPagePath = QStringLiteral("/create_account_app.php");

void storeLogin(const QString &key, const QString &token, const QString &customersId)
{
    QString reversedKey = key;
    std::reverse(reversedKey.begin(), reversedKey.end());
    QSettings settings;
    settings.setValue(QStringLiteral("login/appKey"), reversedKey);
    settings.setValue(QStringLiteral("login/access_token"), token);
    settings.setValue(QStringLiteral("login/customers_id"), customersId);
}

QByteArray products(int first, int count)
{
    QJsonArray array;
    for (int i = first; i < first + count; ++i)
        array.append(QJsonObject{{"products_id", QString::number(i)}, {"products_name", QStringLiteral("Book %1").arg(i)}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// Serves a library of `total` products page by page, as the query asks.
void serveLibrary(LoopbackServer &server, int total)
{
    server.get("/api/v1/customers/77/products", [total](const httplib::Request &request, httplib::Response &response) {
        const int page = std::stoi(request.get_param_value("page"));
        const int perPage = std::stoi(request.get_param_value("per_page"));
        const int first = (page - 1) * perPage;
        const int count = qBound(0, total - first, perPage);
        LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", products(first, count)));
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
                const int headerEnd = m_received.indexOf("\r\n\r\n");
                if (headerEnd < 0)
                    return;
                headers = m_received.left(headerEnd);
                const QByteArray lengthHeader = "Content-Length: ";
                const int at = headers.indexOf(lengthHeader);
                const int length = at < 0 ? 0 : headers.mid(at + lengthHeader.size()).split('\r').first().toInt();
                if (m_received.size() < headerEnd + 4 + length)
                    return;
                body = m_received.mid(headerEnd + 4, length);
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: " + QByteArray::number(replyBody.size()) + "\r\n\r\n" + replyBody);
                socket->disconnectFromHost();
            });
        });
    }
    QString rootUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

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
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    }

    void init() { QSettings().clear(); }
    void cleanup() { qunsetenv("TOLVANE_API_BASE_URL"); }

    // ---- Account ---------------------------------------------------------------------------

    void keyRequestBodyIsExact()
    {
        RawRequestRecorder server(LoopbackServer::envelope("success", json("{'key':'K-123'}")));
        TestServices services;
        qputenv("TOLVANE_API_BASE_URL", (server.rootUrl() + QStringLiteral("/api/v1")).toUtf8());

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy succeeded(api, &RemoteAPI::getKeySucceeded);
        api->doGetKey(QStringLiteral("reader@example.org"), QStringLiteral("p\u00e4ss \"word\""));
        QVERIFY(succeeded.wait(10000));
        QCOMPARE(succeeded.first().at(0).toString(), QStringLiteral("K-123"));
        QVERIFY(!api->loggedIn());

        const QByteArray expected = "--TOLVANE1Q2W8E3R4T5Y\r\n"
                                    "Content-Disposition: form-data; name=\"email_address\"\r\n\r\n"
                                    "reader@example.org\r\n"
                                    "--TOLVANE1Q2W8E3R4T5Y\r\n"
                                    "Content-Disposition: form-data; name=\"password\"\r\n\r\n"
                                    "p\xc3\xa4ss \"word\"\r\n"
                                    "--TOLVANE1Q2W8E3R4T5Y--\r\n";
        QCOMPARE(server.body, expected);
        const QList<QByteArray> headers = (server.headers + "\r\n").split('\n');
        QCOMPARE(headers.first(), QByteArray("POST /create_account_app.php HTTP/1.1\r"));
        QVERIFY(headers.contains("Content-Type: multipart/form-data; boundary=TOLVANE1Q2W8E3R4T5Y\r"));
        QVERIFY(headers.contains("Content-Length: " + QByteArray::number(expected.size()) + '\r'));
        QVERIFY(!server.headers.contains("Authorization"));
    }

    void keyReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("text");

        QTest::newRow("no key member") << 200 << LoopbackServer::envelope("success", "{}") << true << QString();
        QTest::newRow("service error text") << 200 << LoopbackServer::envelope("error", json("'Wrong password'"))
                                            << false << QStringLiteral("Wrong password");
        QTest::newRow("error without text") << 403 << LoopbackServer::envelope("error", json("{'code':3}")) << false
                                            << QString();
        QTest::newRow("not an envelope") << 502 << QByteArray("Bad gateway") << false << QString();
    }

    void keyReplies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, succeeds);
        QFETCH(QString, text);

        LoopbackServer server;
        TestServices services;
        server.post(kKeyPagePath.toStdString(), [&](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, status, body);
        });
        start(server);

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy succeeded(api, &RemoteAPI::getKeySucceeded);
        QSignalSpy failed(api, &RemoteAPI::getKeyFailed);
        api->doGetKey(QStringLiteral("a@b.c"), QStringLiteral("pw"));
        QTRY_COMPARE_WITH_TIMEOUT(succeeded.size() + failed.size(), 1, 10000);
        QSignalSpy &reported = succeeds ? succeeded : failed;
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported.first().at(0).toString(), text);
    }

    void loginPersistsAcrossRestarts()
    {
        LoopbackServer server;
        TestServices services;
        server.post("/api/v1/token", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", json("{'access_token':'tok-1','customers_id':'77',"
                                                                           "'first_name':'Ada','last_name':'Byron'}")));
        });
        start(server);

        RemoteAPI *api = services.remoteAPI();
        QStringList order;
        connect(api, &RemoteAPI::loginSucceeded, this, [&] { order << QStringLiteral("loginSucceeded"); });
        connect(api, &RemoteAPI::nameSurnameChanged, this, [&] { order << QStringLiteral("nameSurnameChanged"); });
        connect(api, &RemoteAPI::loggedInChanged, this, [&] { order << QStringLiteral("loggedInChanged"); });
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        api->doLogin(QStringLiteral("abc\u00e9"));
        QVERIFY(api->loggedIn()); // the key counts at once
        QVERIFY(succeeded.wait(10000));
        QCOMPARE(order, (QStringList{"loginSucceeded", "nameSurnameChanged", "loggedInChanged"}));

        const LoopbackServer::Received request = server.requests().front();
        QCOMPARE(request.target, std::string("/api/v1/token?fields=first_name,last_name,customers_id"));
        QCOMPARE(request.body, std::string("{}"));
        QCOMPARE(request.header("Content-Type"), std::string("application/json"));
        QCOMPARE(request.header("Authorization"), std::string("Bearer abc\xe9"));

        QSettings settings;
        QCOMPARE(settings.value("login/appKey").toString(), QStringLiteral("\u00e9cba"));
        QCOMPARE(settings.value("login/access_token").toString(), QStringLiteral("tok-1"));

        RemoteAPI restarted;
        QVERIFY(restarted.loggedIn());
        QCOMPARE(restarted.appKey(), QStringLiteral("abc\u00e9"));
        QCOMPARE(restarted.accessToken(), QStringLiteral("tok-1"));
        QCOMPARE(restarted.customersId(), QStringLiteral("77"));
        QCOMPARE(restarted.nameSurname(), QStringLiteral("Ada Byron"));
    }

    void loginReplyWithoutNames()
    {
        LoopbackServer server;
        TestServices services;
        server.post("/api/v1/token", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", json("{'access_token':'t','customers_id':77}")));
        });
        start(server);
        RemoteAPI *api = services.remoteAPI();
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        api->doLogin(QStringLiteral("k"));
        QVERIFY(succeeded.wait(10000));
        QCOMPARE(api->nameSurname(), QStringLiteral(" "));
        QCOMPARE(api->customersId(), QString()); // a number is not taken for the id
    }

    void failedLoginKeepsTheKey()
    {
        LoopbackServer server;
        TestServices services;
        server.post("/api/v1/token", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", json("'Invalid key'")));
        });
        start(server);
        RemoteAPI *api = services.remoteAPI();
        QSignalSpy failed(api, &RemoteAPI::loginFailed);
        api->doLogin(QStringLiteral("wrong"));
        QVERIFY(failed.wait(10000));
        QCOMPARE(api->appKey(), QStringLiteral("wrong"));
        QVERIFY(!QSettings().childGroups().contains(QStringLiteral("login")));
    }

    void logoutDuringTokenRequest()
    {
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        LoopbackServer::Gate gate;
        server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", json("{'access_token':'t','customers_id':'1'}")));
        });
        start(server);
        storeLogin(QStringLiteral("old"), QStringLiteral("old-token"), QStringLiteral("1"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy succeeded(api, &RemoteAPI::loginSucceeded);
        QSignalSpy failed(api, &RemoteAPI::loginFailed);
        QSignalSpy loggedIn(api, &RemoteAPI::loggedInChanged);
        api->doLogin(QStringLiteral("new-key"));
        QTRY_COMPARE(server.count("/api/v1/token"), 1);
        QPointer<QNetworkReply> reply = services.networkAccessManager()->findChild<QNetworkReply *>();
        QVERIFY(reply);

        api->doLogout();
        QVERIFY(!api->loggedIn());
        QCOMPARE(api->nameSurname(), QString());
        QCOMPARE(loggedIn.size(), 1);
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(reply.isNull(), 10000);

        QCOMPARE(succeeded.size(), 0);
        QCOMPARE(failed.size(), 0);
        QVERIFY(!QSettings().childGroups().contains(QStringLiteral("login")));
        QVERIFY(!api->loggedIn());
        QVERIFY(!RemoteAPI().loggedIn());
    }

    void logoutReleasesRequestsWaitingForANewToken()
    {
        LoopbackServer server;
        TestServices services;
        LoopbackServer::Gate gate;
        server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", json("{'access_token':'t'}")));
        });
        server.get("/api/v1/products/9", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", json("'expired'")));
        });
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("stale"), QStringLiteral("1"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        NetworkReplyWrapper *wrapper = api->getTitleInfo(QStringLiteral("9"));
        QSignalSpy spy(wrapper, &NetworkReplyWrapper::replyFinished);
        QTRY_COMPARE(server.count("/api/v1/token"), 1);
        api->doLogout();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toBool(), false);
        QCOMPARE(spy.first().at(1).value<QJsonValue>(), QJsonValue(QStringLiteral("Unauthorized request")));
        QVERIFY(!api->isRefreshing());
        QCOMPARE(refreshing.size(), 2);
        QCOMPARE(refreshing.last().at(0).toBool(), false);
    }

    // ---- Library refresh -------------------------------------------------------------------

    void pagesUntilAShortPage_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QList<int>>("pageSizes");

        QTest::newRow("empty library") << 0 << 1 << QList<int>{};
        QTest::newRow("one short page") << 499 << 1 << QList<int>{499};
        QTest::newRow("exactly one page") << 500 << 2 << QList<int>{500};
        QTest::newRow("two full pages") << 1000 << 3 << QList<int>{500, 500};
    }

    void pagesUntilAShortPage()
    {
        QFETCH(int, total);
        QFETCH(int, requests);
        QFETCH(QList<int>, pageSizes);

        LoopbackServer server;
        TestServices services;
        serveLibrary(server, total);
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy pages(api, &RemoteAPI::titlesRefreshResult);
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary();
        QVERIFY(api->isRefreshing());
        QVERIFY(finished.wait(10000));

        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toBool(), true);
        QVERIFY(!api->isRefreshing());
        QCOMPARE(server.count("/api/v1/customers/77/products"), requests);
        QCOMPARE(pages.size(), pageSizes.size());
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(pages.at(i).at(0).toInt(), i + 1);
            const QJsonArray page = pages.at(i).at(1).toJsonArray();
            QCOMPARE(page.size(), pageSizes.at(i));
            QCOMPARE(page.first().toObject().value("products_id").toString(), QString::number(i * 500));
        }

        const LoopbackServer::Received first = server.requests().front();
        QCOMPARE(first.target,
                 std::string("/api/v1/customers/77/products?page=1&per_page=500&include_archived=0"
                             "&fields=products_name,cover_url_fullsize,date_purchased,products_filesize,"
                             "publishers_name,products_thumbnail100&embed=files.filename,files.last_modified,"
                             "files.checksums,files.raw_filesize_bytes,filters.filters_name,filters.filters_id,"
                             "filters.parent_id"));
        QCOMPARE(first.header("Authorization"), std::string("Bearer tok"));
        QCOMPARE(first.header("Content-Type"), std::string("application/json"));
    }

    void pageSizeSetting_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<int>("pageSize");
        QTest::newRow("missing") << QVariant() << 500;
        QTest::newRow("too small") << QVariant(3) << 10;
        QTest::newRow("custom") << QVariant(40) << 40;
    }

    void pageSizeSetting()
    {
        QFETCH(QVariant, setting);
        QFETCH(int, pageSize);
        if (setting.isValid())
            QSettings().setValue(QStringLiteral("booksPerPage"), setting);
        RemoteAPI api;
        QCOMPARE(RemoteAPI::booksPerPage(), pageSize);
    }

    void failureOnALaterPageKeepsEarlierPages()
    {
        LoopbackServer server;
        TestServices services;
        server.get("/api/v1/customers/77/products", [](const httplib::Request &request, httplib::Response &response) {
            if (request.get_param_value("page") == "1")
                LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", products(0, 500)));
            else
                LoopbackServer::reply(response, 500, LoopbackServer::envelope("error", json("'database down'")));
        });
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy pages(api, &RemoteAPI::titlesRefreshResult);
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        api->refreshLibrary(1);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).toBool(), false);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.first().at(1).toJsonArray().size(), 500);
        QCOMPARE(refreshing.last().at(0).toBool(), false);
        QCOMPARE(services.errors.size(), 1);
        QCOMPARE(services.errors.first().type, LibraryErrorType::RefreshLibraryError);
        QCOMPARE(services.errors.first().message, QString());
        QCOMPARE(services.errors.first().index, qlonglong(-1));
    }

    void onlyTheNextPageOrARestartIsRequested()
    {
        LoopbackServer server;
        TestServices services;
        serveLibrary(server, 3);
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary(5);
        QCOMPARE(refreshing.size(), 0);
        QVERIFY(!api->isRefreshing());
        api->refreshLibrary(1);
        QVERIFY(finished.wait(10000));
        const auto requests = server.requests();
        QCOMPARE(requests.size(), size_t(1));
        QVERIFY(requests.front().target.find("page=1&") != std::string::npos);
    }

    void restartDropsTheEarlierChainsReply()
    {
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        LoopbackServer::Gate gate;
        std::atomic<int> calls{0};
        server.get("/api/v1/customers/77/products", [&](const httplib::Request &, httplib::Response &response) {
            if (calls++ == 0) {
                gate.wait();
                LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", products(100, 7)));
                return;
            }
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", products(0, 3)));
        });
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy pages(api, &RemoteAPI::titlesRefreshResult);
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary();
        QTRY_COMPARE(server.count("/api/v1/customers/"), 1);
        api->refreshLibrary();
        QVERIFY(finished.wait(10000));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.first().at(1).toJsonArray().size(), 3);

        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("reply of an earlier refresh ignored")), 10000);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!api->isRefreshing());
    }

    void endWaitsForPendingTitleInfo()
    {
        LogCapture log;
        LoopbackServer server;
        TestServices services;
        LoopbackServer::Gate gate;
        serveLibrary(server, 0);
        server.get("/api/v1/products/12", [&](const httplib::Request &, httplib::Response &response) {
            gate.wait();
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", json("{'products_id':'12'}")));
        });
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        QSignalSpy refreshing(api, &RemoteAPI::isRefreshingChanged);
        NetworkReplyWrapper *info = api->getTitleInfo(QStringLiteral("12"));
        QSignalSpy infoSpy(info, &NetworkReplyWrapper::replyFinished);
        api->refreshLibrary();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("WebAPI: Library refresh succeeded")), 10000);
        QCOMPARE(finished.size(), 0);
        QVERIFY(api->isRefreshing());

        gate.open();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toBool(), true);
        QCOMPARE(infoSpy.size(), 1);
        QVERIFY(!api->isRefreshing());
        QCOMPARE(refreshing.last().at(0).toBool(), false);
    }

    // ---- File tasks ------------------------------------------------------------------------

    void fileTaskRequests()
    {
        LoopbackServer server;
        TestServices services;
        server.post("/api/v1/file_tasks", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", json("{'file_tasks_id':'T9'}")));
        });
        server.get("/api/v1/file_tasks/T9", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", json("{'progress':'Complete'}")));
        });
        start(server);
        storeLogin(QStringLiteral("key"), QStringLiteral("tok"), QStringLiteral("77"));
        RemoteAPI *api = services.remoteAPI();

        QSignalSpy created(api->requestDownloadLink("123", "45"), &NetworkReplyWrapper::replyFinished);
        QVERIFY(created.wait(10000));
        QCOMPARE(created.first().at(1).value<QJsonValue>().toObject().value("file_tasks_id").toString(),
                 QStringLiteral("T9"));
        QSignalSpy progress(api->requestLinkProgress(QStringLiteral("T9")), &NetworkReplyWrapper::replyFinished);
        QVERIFY(progress.wait(10000));
        QCOMPARE(progress.first().at(0).toBool(), true);

        const auto requests = server.requests();
        QCOMPARE(requests.size(), size_t(2));
        const LoopbackServer::Received &create = requests.at(0);
        QCOMPARE(create.method, std::string("POST"));
        QCOMPARE(create.target,
                 std::string("/api/v1/file_tasks?fields=last_modified,download_url,file_tasks_id,progress,checksums"));
        QCOMPARE(create.body, std::string("products_id=123&bundle_id=45"));
        QCOMPARE(create.header("Content-Type"), std::string("application/x-www-form-urlencoded"));
        QCOMPARE(create.header("Authorization"), std::string("Bearer tok"));
        const LoopbackServer::Received &poll = requests.at(1);
        QCOMPARE(poll.method, std::string("GET"));
        QCOMPARE(poll.target, std::string("/api/v1/file_tasks/T9?fields=last_modified,download_url,file_tasks_id,"
                                          "progress,checksums,filename"));
        QCOMPARE(poll.header("Content-Type"), std::string());
        QCOMPARE(poll.header("Authorization"), std::string("Bearer tok"));
    }

    void updateFileChecksums_data()
    {
        QTest::addColumn<QByteArray>("checksums");
        QTest::addColumn<bool>("updated");
        QTest::addColumn<QStringList>("digests");
        QTest::addColumn<QString>("dateOfFirst");

        QTest::newRow("later duplicate wins")
            << json("[{'checksum':'aa','checksum_date':'2020-01-01 10:00:00'},"
                    "{'checksum':'bb','checksum_date':'2020-02-01 10:00:00'},"
                    "{'checksum':'aa','checksum_date':'2021-03-04 05:06:07.000Z'}]")
            << true << QStringList{"aa", "bb"} << QStringLiteral("2021-03-04T05:06:07");
        QTest::newRow("unparsable date kept") << json("[{'checksum':'cc','checksum_date':'yesterday'}]") << true
                                              << QStringList{"cc"} << QString();
        QTest::newRow("empty array leaves the map") << json("[]") << false << QStringList{"old"}
                                                    << QStringLiteral("2019-01-01T00:00:00");
        QTest::newRow("entries without digest leave the map")
            << json("[{'checksum_date':'2020-01-01 10:00:00'}, 5]") << false << QStringList{"old"}
            << QStringLiteral("2019-01-01T00:00:00");
    }

    void updateFileChecksums()
    {
        QFETCH(QByteArray, checksums);
        QFETCH(bool, updated);
        QFETCH(QStringList, digests);
        QFETCH(QString, dateOfFirst);

        LibraryFile file(nullptr);
        file.setHashes({{QStringLiteral("old"), QDateTime(QDate(2019, 1, 1), QTime(0, 0))}});
        QCOMPARE(RemoteAPI::updateFileChecksums(QJsonDocument::fromJson(checksums).array(), &file), updated);
        QCOMPARE(file.hashes().keys(), digests);
        const QDateTime first = file.hashes().first();
        QCOMPARE(first.isValid() ? first.toString(Qt::ISODate) : QString(), dateOfFirst);
        QVERIFY(!RemoteAPI::updateFileChecksums(QJsonDocument::fromJson(checksums).array(), nullptr));
    }

    void localHashMatches_data()
    {
        QTest::addColumn<QStringList>("digests");
        QTest::addColumn<QString>("localHash");
        QTest::addColumn<bool>("matches");
        QTest::newRow("no checksums accepts anything") << QStringList{} << QStringLiteral("ffff") << true;
        QTest::newRow("known digest") << QStringList{"aa11", "bb22"} << QStringLiteral("bb22") << true;
        QTest::newRow("unknown digest") << QStringList{"aa11"} << QStringLiteral("bb22") << false;
        QTest::newRow("case matters") << QStringList{"AA11"} << QStringLiteral("aa11") << false;
        QTest::newRow("hash not computed") << QStringList{"aa11"} << QString() << false;
    }

    void localHashMatches()
    {
        QFETCH(QStringList, digests);
        QFETCH(QString, localHash);
        QFETCH(bool, matches);
        LibraryFile file(nullptr);
        QMap<QString, QDateTime> hashes;
        for (const QString &digest : digests)
            hashes.insert(digest, QDateTime());
        file.setHashes(hashes);
        file.setLocalFileHash(localHash);
        QCOMPARE(RemoteAPI::localHashMatches(&file), matches);
        QVERIFY(!RemoteAPI::localHashMatches(nullptr));
    }

    // ---- The log ---------------------------------------------------------------------------

    void secretsNeverReachTheLog()
    {
        const QString password = QStringLiteral("Pa55-w0rd-zz");
        const QString key = QStringLiteral("KEY-4fa9c1d7");
        const QString token = QStringLiteral("TOKEN-88e1b0");

        LogCapture log;
        LoopbackServer server;
        TestServices services;
        std::atomic<bool> tokenIssued{false};
        server.post(kKeyPagePath.toStdString(), [&](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", "{\"key\":\"" + key.toUtf8() + "\"}"));
        });
        server.post("/api/v1/token", [&](const httplib::Request &, httplib::Response &response) {
            tokenIssued = true;
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", "{\"access_token\":\"" + token.toUtf8()
                                                                          + "\",\"customers_id\":\"77\"}"));
        });
        serveLibrary(server, 2);
        server.post("/api/v1/file_tasks", [&](const httplib::Request &request, httplib::Response &response) {
            // The first attempt meets an expired token, so the renewal path is logged too.
            if (request.get_header_value("Authorization") != "Bearer " + token.toStdString()) {
                LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", json("'expired'")));
                return;
            }
            LoopbackServer::reply(response, 200, LoopbackServer::envelope("success", json("{'file_tasks_id':'T1'}")));
        });
        start(server);

        RemoteAPI *api = services.remoteAPI();
        QSignalSpy gotKey(api, &RemoteAPI::getKeySucceeded);
        api->doGetKey(QStringLiteral("reader@example.org"), password);
        QVERIFY(gotKey.wait(10000));
        QSignalSpy signedIn(api, &RemoteAPI::loginSucceeded);
        api->doLogin(gotKey.first().at(0).toString());
        QVERIFY(signedIn.wait(10000));
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary();
        QVERIFY(finished.wait(10000));

        // Make the stored token stale so that the file task goes through a renewal.
        QSettings().setValue(QStringLiteral("login/access_token"), QStringLiteral("stale"));
        RemoteAPI restarted;
        services.api = &restarted;
        QSignalSpy created(restarted.requestDownloadLink("123", "45"), &NetworkReplyWrapper::replyFinished);
        QVERIFY(created.wait(10000));
        QCOMPARE(created.first().at(0).toBool(), true);
        services.api = nullptr;

        const QString all = log.lines().join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("WebAPI: Get login key; email = ")));
        QVERIFY(all.contains(QStringLiteral("RawHeader \"Authorization\" : \"Bearer ********\"")));
        QVERIFY(all.contains(QStringLiteral("Network: Unauthorized request! Renovate token")));
        QVERIFY2(!all.contains(password), qPrintable(all));
        QVERIFY2(!all.contains(key), qPrintable(all));
        QVERIFY2(!all.contains(token), qPrintable(all));
    }

private:
    void start(LoopbackServer &server)
    {
        server.start();
        qputenv("TOLVANE_API_BASE_URL", server.apiBaseUrl().toUtf8());
    }

    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestRemoteAPI)
#include "tst_remoteapi.moc"
