// A first refresh that failed is run again by the next start. The first run is this program
// started once more in its own process: it signs in while the storefront fails every library
// page, and quits; the test then starts the program again on that profile.
#include "api/remoteapi.h"
#include "library/librarysortfiltermodel.h"
#include "windowtest.h"

#include <QtTest>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

const char kFirstRunArgument[] = "--first-run";

// The first run: signs in, waits for the refresh to end.
int signInOnce(int argc, char *argv[], const QString &library)
{
    QuenlithApplication app(argc, argv);
    app.settings()->setLibraryDirectory(library);
    if (!QTest::qWaitForWindowExposed(app.view()))
        return 2;
    keepGlDriverLoaded();
    QSignalSpy refreshed(app.remoteAPI(), &RemoteAPI::refreshLibraryFinished);
    app.remoteAPI()->doLogin(qEnvironmentVariable("TOLVANE_TEST_APP_KEY"));
    if (!refreshed.wait(20000))
        return 4;
    // The storefront failed the refresh: the library stays empty.
    return !refreshed.first().first().toBool() && app.libraryModel()->size() == 0 ? 0 : 5;
}

int runFirstRun(const QString &profile, const QString &library)
{
    char program[] = "/proc/self/exe";
    char firstRun[sizeof kFirstRunArgument];
    std::copy(std::begin(kFirstRunArgument), std::end(kFirstRunArgument), firstRun);
    QByteArray profileFolder = profile.toLocal8Bit();
    QByteArray libraryFolder = library.toLocal8Bit();
    char *arguments[] = {program, firstRun, profileFolder.data(), libraryFolder.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestFirstRefresh : public WindowTest
{
    Q_OBJECT
public:
    using WindowTest::WindowTest;

private slots:
    void failedFirstRefreshRunsAgainAtTheNextStart()
    {
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY_WITH_TIMEOUT(m_app.libraryModel()->size() == m_sim.productIds().size(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QVERIFY(!item(QStringLiteral("firstLoginNotice"))->isVisible());
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], kFirstRunArgument) == 0) {
        QmlItems::useScratchProfile(QString::fromLocal8Bit(argv[2]), Constants::ApplicationVersion);
        int childArgc = 1;
        return signInOnce(childArgc, argv, QString::fromLocal8Bit(argv[3]));
    }
    // The first run meets a storefront that fails every library page.
    const auto firstRun = [](StorefrontSim &sim, const QTemporaryDir &profile, const QTemporaryDir &library) {
        qputenv("TOLVANE_TEST_APP_KEY", sim.appKey().toUtf8());
        StorefrontSim::EndpointFault failing;
        failing.failure = true;
        sim.setFault(StorefrontSim::Endpoint::Library, failing);
        const int result = runFirstRun(profile.path(), library.path());
        if (result != 0)
            qWarning("The first run ended with %d", result);
        sim.clearFaults();
        return result == 0;
    };
    return execWindowTest<TestFirstRefresh>(argc, argv, 3, firstRun);
}

#include "tst_firstrefresh.moc"
