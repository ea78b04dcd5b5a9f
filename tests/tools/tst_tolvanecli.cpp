#include "scratchmount.h"
#include "storefrontsim.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <signal.h>

namespace {

// A sanitizer build on a busy machine is slow to start and to sign in.
const int kRunTimeoutMs = 120000;
// The profile's folders, and what points the tool at each.
const char *const kProfileDirs[][2] = {{"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"TMPDIR", "tmp"}};

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A catalog whose file tasks are ready at the first poll.
StorefrontSim::Options instantCatalog(int products)
{
    StorefrontSim::Options options;
    options.products = products;
    options.pollsToComplete = 0;
    return options;
}

} // namespace

class TestTolvaneCli : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        // A profile per test: the guard's named segment hangs off the temporary folder, so each
        // test has a guard of its own too.
        m_profile = std::make_unique<QTemporaryDir>();
        QVERIFY(m_profile->isValid());
        for (const auto &dir : kProfileDirs)
            QVERIFY(QDir().mkpath(m_profile->path() + '/' + dir[1]));
    }

    // Besides signing in: commands refused before they reach the service say why, with the exit
    // code scripts read.
    void signsInAndListsTheLibrary()
    {
        StorefrontSim sim;
        serve(sim);
        auto refusedAtOnce = [&](const QStringList &arguments, int exitCode, const QByteArray &message) {
            const int requests = sim.requestLog().size();
            const Run refused = run(arguments);
            return refused.exitCode == exitCode && refused.err.contains(message) && sim.requestLog().size() == requests;
        };
        QVERIFY(refusedAtOnce({"sync", "--dir", "books"}, 3, "login KEY"));
        // The key page's form reaches the service whole, and a refusal says why.
        const Run refused = run({"get-key", sim.email(), "nope"});
        QVERIFY2(refused.exitCode == 1 && refused.err.contains("password is not correct"), refused.err.constData());
        const Run key = run({"get-key", sim.email(), sim.password()});
        QCOMPARE(key.exitCode, 0);
        QCOMPARE(QString::fromUtf8(key.out.trimmed()), sim.appKey());
        QVERIFY(run({"login", "OTHER"}).err.contains("sign-in failed"));
        QCOMPARE(run({"login", sim.appKey()}).exitCode, 0);
        QVERIFY(refusedAtOnce({"sync"}, 2, "sync --dir DIR"));
        QVERIFY(refusedAtOnce({"verify", "--dir", "no-such-folder"}, 1, "does not exist"));
        const Run refresh = run({"refresh"});
        QCOMPARE(refresh.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(refresh.out).array().size(), sim.productIds().size());
    }

    void secondSyncFetchesNothingAndANewVersionOnlyItself()
    {
        StorefrontSim sim(instantCatalog(3));
        signIn(sim);
        int fileCount = 0;
        for (const QString &id : sim.productIds())
            fileCount += sim.files(id).size();

        const Run first = run({"sync", "--dir", libraryDir()});
        QVERIFY2(first.exitCode == 0, QByteArray(first.out + first.err).constData());
        QVERIFY(first.out.contains(QByteArray("sync: ") + QByteArray::number(fileCount) + " downloaded, 0 failed"));
        QCOMPARE(libraryFiles().size(), fileCount);
        // It keeps a library of its own and leaves the program's alone.
        QVERIFY(!QFileInfo::exists(dataDir() + QStringLiteral("/library.dat")));

        sim.clearRequestLog();
        const Run second = run({"sync", "--dir", libraryDir()});
        QVERIFY2(second.exitCode == 0, QByteArray(second.out + second.err).constData());
        QCOMPARE(sim.countRequests(QStringLiteral("GET"), QStringLiteral("/downloads/")), 0);
        QVERIFY(second.out.contains(QByteArray("0 downloaded, 0 failed, ") + QByteArray::number(fileCount) + " already present"));

        // A new version under the default "ask each time": both copies are kept, and it says so.
        const StorefrontSim::FileInfo updated = sim.files(sim.productIds().at(1)).first();
        QVERIFY(sim.publishNewVersion(updated.productId, updated.bundleId));
        sim.clearRequestLog();
        const Run third = run({"sync", "--dir", libraryDir()});
        QVERIFY2(third.exitCode == 0, QByteArray(third.out + third.err).constData());
        QCOMPARE(sim.countRequests(QStringLiteral("GET"), QStringLiteral("/downloads/")), 1);
        QVERIFY(third.out.contains("note: the update policy is \"ask each time\""));
        // The update counts with its whole size in the free-space check and the summary.
        QVERIFY2(third.out.contains("1 files to fetch (") && !third.out.contains("files to fetch (0 B)"), third.out.constData());
        const QString updatedPath = libraryDir() + '/' + libraryFiles().filter('/' + updated.filename).value(0);
        QCOMPARE(md5OfFile(updatedPath), QString::fromLatin1(sim.files(updated.productId).first().md5));
        const QString archived = updatedPath.left(updatedPath.size() - 4) + QStringLiteral(".old-001.pdf");
        QCOMPARE(md5OfFile(archived), QString::fromLatin1(updated.md5));
    }

    void interruptedRunResumesWhereItStopped_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("done");
        // Ctrl+C saves on the way out.
        QTest::newRow("sync stopped") << "sync" << int(SIGINT) << QByteArray("1 downloaded, 0 failed");
        // A kill gives no chance to save: the periodic save, at most a moment behind, is the start.
        QTest::newRow("download killed") << "download" << int(SIGKILL) << QByteArray("Status: Downloaded");
    }

    void interruptedRunResumesWhereItStopped()
    {
        QFETCH(QString, command);
        QFETCH(int, signal);
        QFETCH(QByteArray, done);
        StorefrontSim::Options options = instantCatalog(0);
        options.largeFiles = 1;
        options.largeFileMib = 2;
        StorefrontSim sim(options);
        signIn(sim);
        const StorefrontSim::FileInfo big = sim.files(sim.productIds().first()).first();
        // Slow enough that the first run is still going when a second one starts on a busy machine.
        StorefrontSim::DownloadFault slow;
        slow.bytesPerSecond = 32 * 1024;
        sim.setDownloadFault(slow);
        QStringList arguments = command == "sync" ? QStringList{"sync", "--progress"} : QStringList{"download", big.productId};
        arguments << "--dir" << libraryDir();

        QProcess first;
        first.setProcessEnvironment(environment());
        QByteArray out;
        QByteArray err;
        connect(&first, &QProcess::readyReadStandardOutput, this, [&] { out += first.readAllStandardOutput(); });
        connect(&first, &QProcess::readyReadStandardError, this, [&] { err += first.readAllStandardError(); });
        first.start(QStringLiteral(TOLVANE_CLI_BINARY), arguments);
        QVERIFY(first.waitForStarted());
        // A sync is stopped once its own progress line shows bytes arrived, a download once saved.
        const QRegularExpression arrived(QStringLiteral("\r\\s*[1-9]\\d*% "));
        const auto started = [&] {
            return signal == SIGINT ? arrived.match(QString::fromUtf8(out)).hasMatch() : savedSize(big) > 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning || started(), kRunTimeoutMs);
        QCOMPARE(first.state(), QProcess::Running);

        // A second run on the same profile meanwhile is turned away.
        const Run refused = run({"sync", "--dir", libraryDir()});
        QCOMPARE(refused.exitCode, 4);
        QVERIFY2(refused.err.contains("is using this profile"), refused.err.constData());
        if (signal == SIGINT) {
            // So is the program, at once and without a window, and the sync says that it was.
            QProcess program;
            program.setProcessEnvironment(environment());
            program.start(QStringLiteral(TOLVANE_BINARY), QStringList());
            QVERIFY(program.waitForFinished(kRunTimeoutMs));
            QCOMPARE(program.exitCode(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(err.contains("stays closed while this sync runs"), 20000);
        }

        ::kill(pid_t(first.processId()), signal);
        QVERIFY(first.waitForFinished(kRunTimeoutMs));
        if (signal == SIGINT) {
            QCOMPARE(first.exitStatus(), QProcess::NormalExit);
            QCOMPARE(first.exitCode(), 128 + SIGINT);
            QVERIFY2(err.contains("stopping"), err.constData());
        }
        // The saved library keeps the file for the next run, with the bytes on disk as its start.
        const qint64 resumeAt = savedSize(big);
        QVERIFY2(resumeAt > 0 && resumeAt < big.size, QByteArray::number(resumeAt).constData());

        sim.setDownloadFault(StorefrontSim::DownloadFault());
        sim.clearRequestLog();
        arguments.removeOne("--progress");
        const Run second = run(arguments);
        QVERIFY2(second.exitCode == 0, QByteArray(second.out + second.err).constData());
        QList<QByteArray> ranges;
        for (const StorefrontSim::LoggedRequest &request : sim.requestLog()) {
            if (request.path().startsWith(QStringLiteral("/downloads/")))
                ranges << request.header("Range");
        }
        QCOMPARE(ranges, QList<QByteArray>{"bytes=" + QByteArray::number(resumeAt) + '-'});
        QVERIFY(second.out.contains(done));
    }

    // Verify says what became of each file, fails the run on damage and writes a list md5sum
    // reads; the next sync fetches the missing and the cut-short copies again.
    void verifyReportsDamageThatSyncRepairs()
    {
        StorefrontSim sim(instantCatalog(3));
        signIn(sim);
        QCOMPARE(run({"sync", "--dir", libraryDir()}).exitCode, 0);
        const QStringList paths = libraryFiles();
        QVERIFY(paths.size() >= 3);
        QVERIFY(QFile::resize(libraryDir() + QLatin1Char('/') + paths.at(0), 100));
        QVERIFY(QFile::remove(libraryDir() + QLatin1Char('/') + paths.at(1)));

        const QString sums = m_profile->path() + QStringLiteral("/sums.md5");
        const Run damaged = run({"verify", "--dir", libraryDir(), "--md5sums", sums});
        QCOMPARE(damaged.exitCode, 1);
        const QByteArray verdicts[] = {"changed ", "missing ", "good "};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(damaged.out.contains(verdicts[i] + paths.at(i).toUtf8() + '\n'), damaged.out.constData());
        QVERIFY(damaged.out.contains("verify: " + QByteArray::number(paths.size() - 2) + " good, 1 changed, 1 missing"));
        // The list says what each file should be: md5sum fails the two damaged ones only.
        QProcess md5sum;
        md5sum.setWorkingDirectory(libraryDir());
        md5sum.start(QStringLiteral("md5sum"), {QStringLiteral("--quiet"), QStringLiteral("-c"), sums});
        QVERIFY(md5sum.waitForFinished(kRunTimeoutMs));
        QCOMPARE(md5sum.readAllStandardOutput().count(": FAILED"), 2);

        const Run repair = run({"sync", "--dir", libraryDir()});
        QVERIFY2(repair.out.contains("2 downloaded"), repair.out.constData());
    }

    void refusedWritesFailTheRun_data()
    {
        QTest::addColumn<bool>("login");
        QTest::newRow("login, full settings disk") << true;
        QTest::newRow("sync, read-only data folder") << false;
    }

    // What could not be written is said, and the run fails, instead of claiming success.
    void refusedWritesFailTheRun()
    {
        QFETCH(bool, login);
        StorefrontSim sim(instantCatalog(2));
        login ? serve(sim) : signIn(sim);
        const QString dir = login ? m_profile->path() + QStringLiteral("/config") : dataDir();
        ScratchMount mount(dir, 64 * 1024);
        if (!mount.mounted())
            QSKIP("No right to mount a scratch file system");
        QVERIFY(mount.refuseWrites(!login));

        const Run refused = login ? run({QStringLiteral("login"), sim.appKey()}) : run({"sync", "--dir", libraryDir()});
        QVERIFY2(refused.exitCode == 1, QByteArray(refused.out + refused.err).constData());
        QVERIFY2(refused.err.contains(login ? "could not be kept" : "could not be saved"), refused.err.constData());
        QVERIFY(!refused.out.contains("Signed in"));
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &dir : kProfileDirs)
            env.insert(dir[0], m_profile->path() + '/' + dir[1]);
        env.insert(QStringLiteral("TOLVANE_API_BASE_URL"), m_apiBaseUrl);
        return env;
    }

    Run run(const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(TOLVANE_CLI_BINARY), arguments);
        if (!process.waitForFinished(kRunTimeoutMs))
            return Run();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    void serve(StorefrontSim &sim)
    {
        QVERIFY(sim.start());
        m_apiBaseUrl = sim.baseUrl();
    }

    void signIn(StorefrontSim &sim)
    {
        serve(sim);
        const Run login = run({QStringLiteral("login"), sim.appKey()});
        QVERIFY2(login.exitCode == 0, login.err.constData());
    }

    QString dataDir() const { return m_profile->path() + QStringLiteral("/data/Quenlith/Tolvane"); }
    QString libraryDir() const { return m_profile->path() + QStringLiteral("/books"); }
    // Every file in the library folder, relative to it.
    QStringList libraryFiles() const
    {
        QStringList paths;
        for (QDirIterator it(libraryDir(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            paths << QDir(libraryDir()).relativeFilePath(it.next());
        paths.sort();
        return paths;
    }

    // The bytes the tool's saved library records for one file.
    qint64 savedSize(const StorefrontSim::FileInfo &wanted) const
    {
        QFile store(dataDir() + QStringLiteral("/cli-library.dat"));
        if (!store.open(QIODevice::ReadOnly))
            return 0;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
        const QJsonArray items = QJsonDocument::fromBinaryData(store.readAll(), QJsonDocument::Validate).array();
    QT_WARNING_POP
        for (const QJsonValue &item : items) {
            for (const QJsonValue &file : item[QStringLiteral("files")].toArray()) {
                if (item[QStringLiteral("productId")] == wanted.productId
                    && file[QStringLiteral("serverFileName")] == wanted.filename)
                    return file[QStringLiteral("downloadedSize")].toVariant().toLongLong();
            }
        }
        return 0;
    }

    std::unique_ptr<QTemporaryDir> m_profile;
    QString m_apiBaseUrl;
};

QTEST_GUILESS_MAIN(TestTolvaneCli)
#include "tst_tolvanecli.moc"


