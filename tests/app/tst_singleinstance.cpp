#include "app/core/instanceguard.h"
#include "app/singleapplication.h"
#include "tools/tolvane-cli/cliexitcode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSharedMemory>
#include <QSystemSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>


namespace {

// Generous: a sanitizer build takes a while to bring up its window.
const int kStartTimeoutMs = 60000;
// The watcher polls once a second; allow for a loaded machine on top.
const int kRaiseTimeoutMs = 30000;
// A second copy exits within two seconds on its own; a sanitizer build on a busy machine needs
// longer just to load. A copy that ran its event loop would never exit at all.
const int kSecondExitTimeoutMs = 10000;

const QByteArray kStartLine = "Start application v3.0.1.3";
const QByteArray kRaiseLine = "INFO: Application: Raise requested by another start";

// One run of the real program, with its output collected as it arrives.
class Run
{
public:
    explicit Run(const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, [this] { output += process.readAll(); });
        process.start(QStringLiteral(TOLVANE_BINARY), QStringList());
    }

    ~Run()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    QProcess process;
    QByteArray output;
};

} // namespace

// Fails at once when the program ends before it is up, instead of waiting out the timeout.
#define VERIFY_STARTED(run)                                                                          \
    QTRY_VERIFY_WITH_TIMEOUT((run).output.contains(kStartLine)                                      \
                                 || (run).process.state() == QProcess::NotRunning,                   \
                             kStartTimeoutMs);                                                       \
    QVERIFY2((run).output.contains(kStartLine), (run).output.constData())

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_profile = std::make_unique<QTemporaryDir>();
        QVERIFY(m_profile->isValid());
        const QString root = m_profile->path();
        m_environment = QProcessEnvironment::systemEnvironment();
        // The named segment and semaphore hang off files in the temporary folder, so a folder
        // of our own keeps these runs apart from any other copy on the machine.
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
            const QString path = root + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QDir().mkpath(path));
            m_environment.insert(QLatin1String(name), path);
        }
    }

    // A killed copy cannot detach from the segment: the next start must not mistake the leftover
    // for a running copy, even while another process is still attached to it, and must itself
    // answer the start after it, which then exits at once.
    void secondStartRaisesTheRunningCopyEvenAfterAKill()
    {
        std::unique_ptr<QSharedMemory> attached;
        {
            Run killed(m_environment);
            VERIFY_STARTED(killed);
            // Stays attached past the kill, as a start that has asked for the window does until
            // it exits.
            useProfile(m_environment);
            attached = std::make_unique<QSharedMemory>(SingleApplication::sharedMemoryKey());
            QVERIFY(attached->attach());
            killed.process.kill();
            QVERIFY(killed.process.waitForFinished());
        }

        Run first(m_environment);
        VERIFY_STARTED(first);

        Run second(m_environment);
        QVERIFY(second.process.waitForFinished(kSecondExitTimeoutMs));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY(!second.output.contains(kStartLine));
        QTRY_VERIFY_WITH_TIMEOUT(first.output.contains(kRaiseLine), kRaiseTimeoutMs);
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    // A semaphore stuck at zero (its creator died before setting the count) must not hang
    // every later start.
    void stuckSemaphoreDoesNotBlockStart()
    {
        useProfile(m_environment);
        QSystemSemaphore stuck(SingleApplication::semaphoreKey(), 0, QSystemSemaphore::Create);
        SingleApplication::setSemaphoreWait(200);

        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!SingleApplication::isAnotherInstanceRunning());
        QVERIFY(elapsed.elapsed() < SingleApplication::kSemaphoreWaitMs);
    }

    // The guard belongs to a profile (and a user, by the same key): another profile is never
    // turned away, and this profile's guard files in the temporary folder leave it working. The
    // same profile is turned away in the command-line test.
    void otherProfileIsNotTurnedAway()
    {
        // This process holds the guard of its profile, as the program would.
        useProfile(m_environment);
        QCOMPARE(InstanceGuard::claim(false), InstanceGuard::Claimed);

        QProcessEnvironment environment = m_environment;
        const QString other = m_profile->path() + QStringLiteral("/other");
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const QString path = other + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QDir().mkpath(path));
            environment.insert(QLatin1String(name), path);
        }
        QVERIFY(QDir().mkpath(other + QStringLiteral("/library")));

        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.setProcessChannelMode(QProcess::MergedChannels);
        cli.start(QStringLiteral(TOLVANE_CLI_BINARY), {QStringLiteral("verify"), QStringLiteral("--dir"),
                                                       other + QStringLiteral("/library")});
        QVERIFY(cli.waitForFinished(kStartTimeoutMs));
        const QByteArray output = cli.readAll();
        QVERIFY2(cli.exitCode() == int(CliExitCode::Success), output.constData());
        QVERIFY2(!output.contains("cannot be guarded"), output.constData());
    }

private:
    // Points this process at the profile, so that it computes the same keys as the program.
    static void useProfile(const QProcessEnvironment &environment)
    {
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "TMPDIR"})
            qputenv(name, environment.value(QLatin1String(name)).toLocal8Bit());
    }

    std::unique_ptr<QTemporaryDir> m_profile;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
