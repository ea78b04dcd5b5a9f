#include "storefrontsim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The statuses of the saved library as the program left it on disk, "PRODUCT_ID/FILE" to status.
QHash<QString, int> savedStatuses(const QString &dataHome)
{
    QFile store(dataHome + QStringLiteral("/Quenlith/Tolvane/library.dat"));
    QHash<QString, int> statuses;
    if (!store.open(QIODevice::ReadOnly))
        return statuses;
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    const QJsonArray items = QJsonDocument::fromBinaryData(store.readAll(), QJsonDocument::Validate).array();
QT_WARNING_POP
    for (const QJsonValue &item : items) {
        const QJsonObject object = item.toObject();
        const QString id = object.value(QStringLiteral("productId")).toString();
        for (const QJsonValue &file : object.value(QStringLiteral("files")).toArray())
            statuses.insert(id + QLatin1Char('/') + file.toObject().value(QStringLiteral("serverFileName")).toString(),
                            file.toObject().value(QStringLiteral("status")).toInt());
    }
    return statuses;
}

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

    // A crash or a power cut gives no chance to save at quit: what the running program had
    // learned and fetched a moment before must be in the store at the next start.
    void killedSyncKeepsTheRefreshAndTheDownloads()
    {
        StorefrontSim::Options options;
        options.products = 3;
        StorefrontSim sim(options);
        QVERIFY(sim.start());
        const QString base = sim.baseUrl();
        QCOMPARE(run(base, {"login", sim.appKey()}).exitCode, 0);
        const QString library = m_config.path() + QStringLiteral("/books");

        // Killed after the refresh, while no file task ever completes.
        sim.setNeverComplete(true);
        QProcess first;
        startSync(first, base, library);
        QTRY_VERIFY_WITH_TIMEOUT(m_lines.contains(QStringLiteral("refreshed 3")), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(savedStatuses(m_config.path()).size(), filesOf(sim), 15000);
        kill(first);
        const QStringList afterRefresh = listLibrary(base);
        QCOMPARE(afterRefresh.size(), filesOf(sim));

        // Killed after one download finished while the others crawl along.
        sim.setNeverComplete(false);
        StorefrontSim::DownloadFault slow;
        slow.bytesPerSecond = 200;
        sim.setDownloadFault(slow);
        const StorefrontSim::FileInfo quick = sim.files(sim.productIds().first()).first();
        sim.setDownloadFault(StorefrontSim::DownloadFault(), quick.productId + QLatin1Char('/') + QString::number(quick.bundleId));
        QProcess second;
        startSync(second, base, library);
        const QString key = quick.productId + QLatin1Char('/') + quick.filename;
        QTRY_VERIFY_WITH_TIMEOUT(m_lines.contains(QStringLiteral("downloaded %1 %2").arg(quick.productId, quick.filename)), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(savedStatuses(m_config.path()).value(key), 2, 15000);
        kill(second);
        QVERIFY(listLibrary(base).contains(quick.productId + QLatin1Char('\t') + quick.filename + QStringLiteral("\tDownloaded")));
    }

private:
    int filesOf(const StorefrontSim &sim)
    {
        int count = 0;
        for (const QString &id : sim.productIds())
            count += sim.files(id).size();
        return count;
    }

    void startSync(QProcess &process, const QString &apiBaseUrl, const QString &dir)
    {
        m_lines.clear();
        process.setProcessEnvironment(environment(apiBaseUrl));
        connect(&process, &QProcess::readyReadStandardOutput, this, [this, &process] {
            while (process.canReadLine())
                m_lines << QString::fromUtf8(process.readLine()).trimmed();
        });
        process.start(QStringLiteral(TOLVANE_CLI_BINARY), {QStringLiteral("sync"), QStringLiteral("--dir"), dir});
        QVERIFY(process.waitForStarted());
    }

    void kill(QProcess &process)
    {
        QCOMPARE(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    }

    QStringList listLibrary(const QString &apiBaseUrl)
    {
        const Run listed = run(apiBaseUrl, {"library"});
        return QString::fromUtf8(listed.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QProcessEnvironment environment(const QString &apiBaseUrl) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_config.path());
        env.insert(QStringLiteral("HOME"), m_config.path());
        env.insert(QStringLiteral("TOLVANE_API_BASE_URL"), apiBaseUrl);
        return env;
    }

    Run run(const QString &apiBaseUrl, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment(apiBaseUrl));
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
    QStringList m_lines;
};

QTEST_GUILESS_MAIN(TestTolvaneCli)
#include "tst_tolvanecli.moc"
