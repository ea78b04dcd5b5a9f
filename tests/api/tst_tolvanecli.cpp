#include "storefrontsim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

    void signsInAndListsTheDemoLibrary()
    {
        StorefrontSim sim;
        QVERIFY(sim.start());
        const QString base = sim.baseUrl();
        QCOMPARE(run(base, {"login"}).exitCode, 2);
        const Run refused = run(base, {"refresh"});
        QVERIFY(refused.exitCode != 0 && refused.err.contains("login KEY"));
        QVERIFY(run(base, {"get-key", sim.email(), "nope"}).exitCode != 0);
        const Run key = run(base, {"get-key", sim.email(), sim.password()});
        QCOMPARE(key.exitCode, 0);
        QCOMPARE(QString::fromUtf8(key.out.trimmed()), sim.appKey());
        QVERIFY(run(base, {"login", "OTHER"}).err.contains("sign-in failed"));
        QCOMPARE(run(base, {"login", sim.appKey()}).exitCode, 0);

        // An expired token is renewed once on the way.
        sim.expireTokens();
        const int tokenRequests = sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token"));
        const Run refresh = run(base, {"refresh"});
        QCOMPARE(refresh.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(refresh.out).array().size(), sim.productIds().size());
        QCOMPARE(sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")), tokenRequests + 1);
    }

private:
    Run run(const QString &apiBaseUrl, const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("HOME"), m_config.path());
        env.insert(QStringLiteral("TOLVANE_API_BASE_URL"), apiBaseUrl);
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
