#include "loopbackserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray json(const char *text)
{
    QByteArray bytes(text);
    bytes.replace('\'', '"');
    return bytes;
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestTolvaneCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_config.isValid()); }

    void signsInAndListsTheLibrary()
    {
        LoopbackServer server;
        server.post("/create_account_app.php", [](const httplib::Request &request, httplib::Response &response) {
            const bool right = request.has_file("password") && request.get_file_value("password").content == "pw";
            LoopbackServer::reply(response, 200,
                                  right ? LoopbackServer::envelope("success", json("{'key':'CLI-KEY'}"))
                                        : LoopbackServer::envelope("error", json("'Wrong e-mail or password'")));
        });
        server.post("/api/v1/token", [](const httplib::Request &request, httplib::Response &response) {
            if (request.get_header_value("Authorization") != "Bearer CLI-KEY") {
                LoopbackServer::reply(response, 401, LoopbackServer::envelope("error", json("'bad key'")));
                return;
            }
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", json("{'access_token':'tok','customers_id':'5',"
                                                                           "'first_name':'Ada','last_name':'Byron'}")));
        });
        server.get("/api/v1/customers/5/products", [](const httplib::Request &, httplib::Response &response) {
            LoopbackServer::reply(response, 200,
                                  LoopbackServer::envelope("success", json("[{'products_id':'1','products_name':'Atlas',"
                                                                           "'files':[{'filename':'atlas.pdf'}]}]")));
        });
        server.start();

        const Run refused = run(server, {"refresh"});
        QVERIFY(refused.exitCode != 0);
        QVERIFY(refused.err.contains("login KEY"));

        const Run wrongPassword = run(server, {"get-key", "a@b.c", "nope"});
        QVERIFY(wrongPassword.exitCode != 0);
        QVERIFY(wrongPassword.err.contains("Wrong e-mail or password"));

        const Run key = run(server, {"get-key", "a@b.c", "pw"});
        QCOMPARE(key.exitCode, 0);
        QCOMPARE(key.out.trimmed(), QByteArray("CLI-KEY"));

        const Run wrongKey = run(server, {"login", "OTHER"});
        QVERIFY(wrongKey.exitCode != 0);
        QVERIFY(wrongKey.err.contains("sign-in failed"));

        const Run login = run(server, {"login", "CLI-KEY"});
        QCOMPARE(login.exitCode, 0);
        QVERIFY(login.out.contains("Ada Byron"));

        const Run refresh = run(server, {"refresh"});
        QCOMPARE(refresh.exitCode, 0);
        const QJsonArray products = QJsonDocument::fromJson(refresh.out).array();
        QCOMPARE(products.size(), 1);
        QCOMPARE(products.first().toObject().value("products_name").toString(), QStringLiteral("Atlas"));
        QCOMPARE(products.first().toObject().value("files").toArray().first().toObject().value("filename").toString(),
                 QStringLiteral("atlas.pdf"));
        QCOMPARE(server.count("/api/v1/customers/5/products?page=1&per_page=500&"), 1);
    }

    void unknownCommandIsAUsageError()
    {
        LoopbackServer server;
        server.start();
        const Run bad = run(server, {"login"});
        QCOMPARE(bad.exitCode, 2);
        QVERIFY(bad.err.contains("wrong arguments"));
        QVERIFY(server.requests().empty());
    }

private:
    Run run(const LoopbackServer &server, const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("HOME"), m_config.path());
        env.insert(QStringLiteral("TOLVANE_API_BASE_URL"), server.apiBaseUrl());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TOLVANE_CLI_BINARY), arguments);
        Run result;
        if (!process.waitForFinished(30000))
            return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestTolvaneCli)
#include "tst_tolvanecli.moc"
