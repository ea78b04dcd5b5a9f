// A first refresh that failed is run again by the next start. The first run is this program
// started once more in its own process: it signs in through the window while the storefront
// fails every library page, and quits; the test then starts the program again on that profile.
#include "api/remoteapi.h"
#include "guitest.h"
#include "library/librarysortfiltermodel.h"
#include "windowtest.h"

#include <QtTest>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

const char kFirstRunArgument[] = "--first-run";
const QString kLibraryPages = QStringLiteral("/api/v1/customers/");

// Types a text into the window's focused item, a key press for each character.
void typeText(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

// The first run: signs in with the key typed into the window, waits for the refresh to end.
int signInOnce(int argc, char *argv[], const QString &library)
{
    QuenlithApplication app(argc, argv);
    const WindowProbe window(app);
    app.settings()->setLibraryDirectory(library);
    app.view()->showNormal();
    if (!QTest::qWaitForWindowExposed(app.view())
        || !QTest::qWaitFor([&] { return window.currentScreen() == QLatin1String("loginWindow"); }))
        return 2;
    keepGlDriverLoaded();
    QQuickItem *keyField = window.item(QStringLiteral("keyField"));
    if (!keyField || !QmlItems::click(keyField))
        return 3;
    QSignalSpy refreshed(app.remoteAPI(), &RemoteAPI::refreshLibraryFinished);
    typeText(app.view(), qEnvironmentVariable("TOLVANE_TEST_APP_KEY"));
    QTest::keyClick(app.view(), Qt::Key_Return);
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

class TestFirstRefresh : public QObject, private WindowProbe
{
    Q_OBJECT
public:
    TestFirstRefresh(QuenlithApplication &app, StorefrontSim &sim) : WindowProbe(app), m_app(app), m_sim(sim) {}

private slots:
    void failedFirstRefreshRunsAgainAtTheNextStart()
    {
        m_app.view()->showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        keepGlDriverLoaded();
        QVERIFY(m_app.remoteAPI()->loggedIn());
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY_WITH_TIMEOUT(m_app.libraryModel()->size() == m_sim.productIds().size(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QVERIFY(m_sim.countRequests(QStringLiteral("GET"), kLibraryPages) > 0);
        QVERIFY(!item(QStringLiteral("firstLoginNotice"))->isVisible());
    }

private:
    QuenlithApplication &m_app;
    StorefrontSim &m_sim;
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], kFirstRunArgument) == 0) {
        QmlItems::useScratchProfile(QString::fromLocal8Bit(argv[2]), Constants::ApplicationVersion);
        int childArgc = 1;
        return signInOnce(childArgc, argv, QString::fromLocal8Bit(argv[3]));
    }

    QTemporaryDir profile;
    QTemporaryDir library;
    QmlItems::useScratchProfile(profile.path(), Constants::ApplicationVersion);
    StorefrontSim::Options options;
    options.products = 3;
    StorefrontSim sim(options);
    if (!sim.start())
        return 1;
    qputenv("TOLVANE_API_BASE_URL", sim.baseUrl().toUtf8());
    qputenv("TOLVANE_UPDATE_MANIFEST_URL", sim.manifestUrl().toUtf8());
    qputenv("TOLVANE_TEST_APP_KEY", sim.appKey().toUtf8());

    StorefrontSim::EndpointFault failing;
    failing.failure = true;
    sim.setFault(StorefrontSim::Endpoint::Library, failing);
    const int firstRun = runFirstRun(profile.path(), library.path());
    if (firstRun != 0) {
        qWarning("The first run ended with %d", firstRun);
        return 1;
    }
    sim.clearFaults();
    sim.clearRequestLog();

    QuenlithApplication app(argc, argv);
    TestFirstRefresh test(app, sim);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_firstrefresh.moc"
