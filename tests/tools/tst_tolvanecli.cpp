#include "scratchmount.h"
#include "storefrontsim.h"

#include <QCryptographicHash>
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

QByteArray md5Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
}

// Other bytes behind the same size; `keepTime` puts the modification time back as well.
bool flipByte(const QString &path, qint64 at, bool keepTime = false)
{
    QFile file(path);
    char byte = 0;
    const QDateTime stamp = QFileInfo(path).lastModified();
    if (!file.open(QIODevice::ReadWrite) || !file.seek(at) || !file.getChar(&byte) || !file.seek(at)
        || !file.putChar(char(byte ^ 0x20)))
        return false;
    file.close();
    return !keepTime || (file.open(QIODevice::ReadWrite) && file.setFileTime(stamp, QFileDevice::FileModificationTime));
}

// A catalog whose file tasks are ready at the first poll.
StorefrontSim::Options instantCatalog(int products)
{
    StorefrontSim::Options options;
    options.products = products;
    options.pollsToComplete = 0;
    return options;
}

// One product with one 2 MiB file, large enough to interrupt while it travels.
StorefrontSim::Options oneLargeFile()
{
    StorefrontSim::Options options = instantCatalog(0);
    options.largeFiles = 1;
    options.largeFileMib = 2;
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

    void signsInAndListsTheLibrary()
    {
        StorefrontSim sim;
        serve(sim);
        QVERIFY(run({"get-key", sim.email(), "nope"}).exitCode != 0);
        const Run key = run({"get-key", sim.email(), sim.password()});
        QCOMPARE(key.exitCode, 0);
        QCOMPARE(QString::fromUtf8(key.out.trimmed()), sim.appKey());
        QVERIFY(run({"login", "OTHER"}).err.contains("sign-in failed"));
        QCOMPARE(run({"login", sim.appKey()}).exitCode, 0);

        // An expired token is renewed once on the way.
        sim.expireTokens();
        const int tokenRequests = sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token"));
        const Run refresh = run({"refresh"});
        QCOMPARE(refresh.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(refresh.out).array().size(), sim.productIds().size());
        QCOMPARE(sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")), tokenRequests + 1);
    }

    void refusesWithoutSignInOrArguments_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("message");

        QTest::newRow("sync signed out") << false << QStringList{"sync", "--dir", "books"} << 3 << QByteArray("login KEY");
        QTest::newRow("download signed out") << false << QStringList{"download", "100001", "--dir", "books"} << 3
                                             << QByteArray("login KEY");
        QTest::newRow("sync without folder") << true << QStringList{"sync"} << 2 << QByteArray("sync --dir DIR");
        QTest::newRow("verify without folder") << true << QStringList{"verify"} << 2 << QByteArray("verify --dir DIR");
        QTest::newRow("verify of no folder") << true << QStringList{"verify", "--dir", "no-such-folder"} << 1
                                             << QByteArray("does not exist");
    }

    void refusesWithoutSignInOrArguments()
    {
        QFETCH(bool, signedIn);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, message);

        StorefrontSim sim;
        signedIn ? signIn(sim) : serve(sim);
        const int requests = sim.requestLog().size();
        const Run refused = run(arguments);
        QCOMPARE(refused.exitCode, exitCode);
        QVERIFY2(refused.err.contains(message), refused.err.constData());
        QCOMPARE(sim.requestLog().size(), requests);
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
        QCOMPARE(downloadRequests(sim), fileCount);
        QCOMPARE(QString::fromUtf8(first.out).count(QStringLiteral("\ndownloaded ")) + (first.out.startsWith("downloaded ") ? 1 : 0),
                 fileCount);
        QVERIFY(first.out.contains(QByteArray("sync: ") + QByteArray::number(fileCount) + " downloaded, 0 failed"));
        QCOMPARE(catalogPaths(sim).size(), fileCount);
        // Its library lies beside the program's, which it leaves alone.
        QVERIFY(QFileInfo::exists(dataDir() + QStringLiteral("/cli-library.dat")));
        QVERIFY(!QFileInfo::exists(dataDir() + QStringLiteral("/library.dat")));

        sim.clearRequestLog();
        const Run second = run({"sync", "--dir", libraryDir()});
        QVERIFY2(second.exitCode == 0, QByteArray(second.out + second.err).constData());
        QCOMPARE(downloadRequests(sim), 0);
        QVERIFY(!second.out.contains("\ndownloaded "));
        QVERIFY(second.out.contains(QByteArray("0 downloaded, 0 failed, ") + QByteArray::number(fileCount) + " already present"));

        // A copy deleted by hand is fetched again.
        const StorefrontSim::FileInfo gone = sim.files(sim.productIds().at(0)).first();
        const QString gonePath = pathOf(sim, gone.filename);
        QVERIFY(QFile::remove(gonePath));

        // A new version under the default "ask each time": both copies are kept, and it says so.
        const StorefrontSim::FileInfo updated = sim.files(sim.productIds().at(1)).first();
        QVERIFY(sim.publishNewVersion(updated.productId, updated.bundleId));
        sim.clearRequestLog();
        const Run third = run({"sync", "--dir", libraryDir()});
        QVERIFY2(third.exitCode == 0, QByteArray(third.out + third.err).constData());
        QCOMPARE(downloadRequests(sim), 2);
        QVERIFY(third.out.contains("note: the update policy is \"ask each time\""));
        // The update counts with its whole size in the free-space check and the summary.
        QVERIFY2(third.out.contains("2 files to fetch (") && !third.out.contains("files to fetch (0 B)"), third.out.constData());
        QVERIFY(QFileInfo::exists(gonePath));
        QCOMPARE(md5Of(gonePath), gone.md5);
        const QString updatedPath = pathOf(sim, updated.filename);
        QCOMPARE(md5Of(updatedPath), sim.files(updated.productId).first().md5);
        const QString archived = updatedPath.left(updatedPath.size() - 4) + QStringLiteral(".old-001.pdf");
        QCOMPARE(md5Of(archived), updated.md5);
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
        StorefrontSim sim(oneLargeFile());
        signIn(sim);
        const StorefrontSim::FileInfo big = sim.files(sim.productIds().first()).first();
        // Slow enough that the first run is still going when a second one starts on a busy machine.
        StorefrontSim::DownloadFault slow;
        slow.bytesPerSecond = 64 * 1024;
        sim.setDownloadFault(slow);
        QStringList arguments = command == "sync" ? QStringList{"sync", "--progress"} : QStringList{"download", big.productId};
        arguments << "--dir" << libraryDir();

        QProcess first;
        QByteArray out;
        QByteArray err;
        start(first, arguments, &out, &err);
        auto savedPoint = [&] {
            return savedFiles().value(big.productId + '/' + big.filename).value("downloadedSize").toVariant().toLongLong();
        };
        // A sync is stopped once a good part has arrived, going by its own progress line.
        const QRegularExpression percent(QStringLiteral("\r\\s*(\\d+)% "));
        auto lastPercent = [&] {
            int value = -1;
            for (auto it = percent.globalMatch(QString::fromUtf8(out)); it.hasNext();)
                value = it.next().captured(1).toInt();
            return value;
        };
        QTRY_VERIFY_WITH_TIMEOUT(first.state() == QProcess::NotRunning || (signal == SIGINT ? lastPercent() >= 20 : savedPoint() > 0),
                                 kRunTimeoutMs);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(signal != SIGINT || (out.contains("/s") && out.contains(" left")));

        // A second run on the same profile meanwhile is turned away.
        const Run refused = run({"sync", "--dir", libraryDir()});
        QCOMPARE(refused.exitCode, 4);
        QVERIFY2(refused.err.contains("is using this profile"), refused.err.constData());

        ::kill(pid_t(first.processId()), signal);
        QVERIFY(first.waitForFinished(kRunTimeoutMs));
        if (signal == SIGINT) {
            QCOMPARE(first.exitStatus(), QProcess::NormalExit);
            QCOMPARE(first.exitCode(), 128 + SIGINT);
            QVERIFY2(err.contains("stopping"), err.constData());
            const int status = savedFiles().value(big.productId + '/' + big.filename).value("status").toInt();
            QVERIFY(status == 4 || status == 5);
        }
        // The saved library keeps the file for the next run, with the bytes on disk as its start.
        const qint64 resumeAt = savedPoint();
        QVERIFY2(resumeAt > 0 && resumeAt < big.size, QByteArray::number(resumeAt).constData());

        sim.setDownloadFault(StorefrontSim::DownloadFault());
        sim.clearRequestLog();
        arguments.removeOne("--progress");
        const Run second = run(arguments);
        QVERIFY2(second.exitCode == 0, QByteArray(second.out + second.err).constData());
        QCOMPARE(downloadRanges(sim), QList<QByteArray>{"bytes=" + QByteArray::number(resumeAt) + '-'});
        QVERIFY(second.out.contains(done));

        const Run verify = run({"verify", "--dir", libraryDir()});
        QVERIFY2(verify.exitCode == 0, QByteArray(verify.out + verify.err).constData());
        QVERIFY(verify.out.contains("verify: 1 good, 0 changed, 0 missing"));
    }

    // Verify trusts its record of files whose size and time are as hashed, unless asked for a full
    // check, and writes a list that md5sum reads.
    void verifyReportsEachFileAndWritesMd5sums()
    {
        StorefrontSim sim(instantCatalog(4));
        signIn(sim);
        QCOMPARE(run({"sync", "--dir", libraryDir()}).exitCode, 0);
        const QStringList paths = catalogPaths(sim);
        QVERIFY(paths.size() >= 4);
        const QByteArray count = QByteArray::number(paths.size());
        const QString sums = m_profile->path() + QStringLiteral("/sums.md5");
        auto md5sumCheck = [&] {
            QProcess md5sum;
            md5sum.setWorkingDirectory(libraryDir());
            md5sum.start(QStringLiteral("md5sum"), {QStringLiteral("-c"), sums});
            return md5sum.waitForFinished(kRunTimeoutMs) ? md5sum.exitCode() : -1;
        };

        const Run clean = run({"verify", "--dir", libraryDir(), "--md5sums", sums});
        QVERIFY2(clean.exitCode == 0, QByteArray(clean.out + clean.err).constData());
        QCOMPARE(clean.out.count("\ngood ") + (clean.out.startsWith("good ") ? 1 : 0), paths.size());
        QVERIFY(clean.out.contains(count + " hashed, 0 unchanged"));
        QCOMPARE(md5sumCheck(), 0);
        QVERIFY(run({"verify", "--dir", libraryDir()}).out.contains("0 hashed, " + count + " unchanged"));
        QVERIFY(QFileInfo::exists(dataDir() + QStringLiteral("/cli-verified.json")));

        // One file of each kind of damage: other bytes behind the same size and time, cut short, gone.
        QVERIFY(flipByte(libraryDir() + QLatin1Char('/') + paths.at(0), 10, true));
        QVERIFY(QFile::resize(libraryDir() + QLatin1Char('/') + paths.at(1), 100));
        QVERIFY(QFile::remove(libraryDir() + QLatin1Char('/') + paths.at(2)));

        const Run damaged = run({"verify", "--dir", libraryDir(), "--md5sums", sums});
        QCOMPARE(damaged.exitCode, 1);
        const QByteArray verdicts[] = {"good ", "changed ", "missing ", "good "};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(damaged.out.contains(verdicts[i] + paths.at(i).toUtf8() + '\n'), damaged.out.constData());
        QVERIFY(damaged.out.contains("verify: " + QByteArray::number(paths.size() - 2) + " good, 1 changed, 1 missing"));
        // The list still says what each file should be, so md5sum finds all three.
        QCOMPARE(md5sumCheck(), 1);
        QFile list(sums);
        QVERIFY(list.open(QIODevice::ReadOnly));
        QCOMPARE(list.readAll().count('\n'), paths.size());
        // Only a full verify reads the file whose size and time are as they were.
        const Run full = run({"verify", "--dir", libraryDir(), "--full"});
        QCOMPARE(full.exitCode, 1);
        QVERIFY2(full.out.contains("changed " + paths.first().toUtf8() + '\n'), full.out.constData());

        // The next sync fetches the missing and the cut-short copies again; the one changed in
        // place keeps its size and is left to verify.
        const Run repair = run({"sync", "--dir", libraryDir()});
        QVERIFY2(repair.out.contains("2 downloaded"), repair.out.constData());
    }

    // The program's start asks the guard's holder to come to the front and exits; a sync holding
    // the guard says that it turned the program away.
    void programStartIsTurnedAwayWhileSyncRuns()
    {
        StorefrontSim sim(instantCatalog(1));
        signIn(sim);
        sim.setNeverComplete(true);
        QProcess sync;
        QByteArray out;
        QByteArray err;
        start(sync, {"sync", "--dir", libraryDir()}, &out, &err);
        QTRY_VERIFY_WITH_TIMEOUT(out.contains("refreshed") || sync.state() == QProcess::NotRunning, kRunTimeoutMs);
        QCOMPARE(sync.state(), QProcess::Running);

        // The program itself, started on the same profile, goes away at once without a window.
        QProcess program;
        program.setProcessEnvironment(environment());
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(TOLVANE_BINARY), QStringList());
        QVERIFY(program.waitForFinished(kRunTimeoutMs));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!program.readAll().contains("Start application"));
        QTRY_VERIFY_WITH_TIMEOUT(err.contains("stays closed while this sync runs"), kRunTimeoutMs);
        QCOMPARE(sync.state(), QProcess::Running);

        ::kill(pid_t(sync.processId()), SIGTERM);
        QVERIFY(sync.waitForFinished(kRunTimeoutMs));
        QCOMPARE(sync.exitCode(), 128 + SIGTERM);
    }

    void refusedWritesFailTheRun_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("readOnly");   // else full
        QTest::newRow("login, full settings disk") << QStringLiteral("login") << false;
        QTest::newRow("sync, read-only data folder") << QStringLiteral("sync") << true;
        QTest::newRow("sync, full data disk") << QStringLiteral("sync") << false;
    }

    // What could not be written is said, and the run fails, instead of claiming success.
    void refusedWritesFailTheRun()
    {
        QFETCH(QString, command);
        QFETCH(bool, readOnly);
        StorefrontSim sim(instantCatalog(2));
        const bool login = command == QLatin1String("login");
        if (login)
            serve(sim);
        else
            signIn(sim);
        const QString dir = login ? m_profile->path() + QStringLiteral("/config") : dataDir();
        ScratchMount mount(dir, 64 * 1024);
        if (!mount.mounted())
            QSKIP("No right to mount a scratch file system");
        QVERIFY(mount.refuseWrites(readOnly));

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

    void start(QProcess &process, const QStringList &arguments, QByteArray *out, QByteArray *err)
    {
        process.setProcessEnvironment(environment());
        connect(&process, &QProcess::readyReadStandardOutput, this, [&process, out] { *out += process.readAllStandardOutput(); });
        connect(&process, &QProcess::readyReadStandardError, this, [&process, err] { *err += process.readAllStandardError(); });
        process.start(QStringLiteral(TOLVANE_CLI_BINARY), arguments);
        QVERIFY(process.waitForStarted());
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
    // Every file of the catalog, relative to the library folder, as the tool lays it out.
    QStringList catalogPaths(const StorefrontSim &sim) const
    {
        QSet<QString> names;
        for (const QString &id : sim.productIds()) {
            for (const StorefrontSim::FileInfo &file : sim.files(id))
                names.insert(file.filename);
        }
        QStringList paths;
        for (QDirIterator it(libraryDir(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (names.contains(it.fileName()))
                paths << QDir(libraryDir()).relativeFilePath(path);
        }
        paths.sort();
        return paths;
    }

    // Where the tool put the catalog file of that name, as a full path.
    QString pathOf(const StorefrontSim &sim, const QString &fileName) const
    {
        for (const QString &path : catalogPaths(sim)) {
            if (path.endsWith(QLatin1Char('/') + fileName))
                return libraryDir() + QLatin1Char('/') + path;
        }
        return QString();
    }

    int downloadRequests(const StorefrontSim &sim) const
    {
        return sim.countRequests(QStringLiteral("GET"), QStringLiteral("/downloads/"));
    }
    // The Range header of each file download the simulator served.
    static QList<QByteArray> downloadRanges(const StorefrontSim &sim)
    {
        QList<QByteArray> ranges;
        for (const StorefrontSim::LoggedRequest &request : sim.requestLog()) {
            if (request.path().startsWith(QStringLiteral("/downloads/")))
                ranges << request.header("Range");
        }
        return ranges;
    }

    // The tool's saved library, "PRODUCT_ID/FILE" to the file's saved form.
    QHash<QString, QJsonObject> savedFiles() const
    {
        QFile store(dataDir() + QStringLiteral("/cli-library.dat"));
        QHash<QString, QJsonObject> files;
        if (!store.open(QIODevice::ReadOnly))
            return files;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
        const QJsonArray items = QJsonDocument::fromBinaryData(store.readAll(), QJsonDocument::Validate).array();
    QT_WARNING_POP
        for (const QJsonValue &item : items) {
            const QJsonObject object = item.toObject();
            const QString id = object.value(QStringLiteral("productId")).toString();
            for (const QJsonValue &file : object.value(QStringLiteral("files")).toArray())
                files.insert(id + QLatin1Char('/') + file.toObject().value(QStringLiteral("serverFileName")).toString(),
                             file.toObject());
        }
        return files;
    }

    std::unique_ptr<QTemporaryDir> m_profile;
    QString m_apiBaseUrl;
};

QTEST_GUILESS_MAIN(TestTolvaneCli)
#include "tst_tolvanecli.moc"


