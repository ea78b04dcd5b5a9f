// Walks the window through its screens and dialogs and writes one PNG per state. Each state is
// one entry of the table in main(): a name and what to do before the picture is taken.
#include "qmlitems.h"

#include "app/quenlithapplication.h"
#include "library/errorslistmodel.h"
#include "library/libraryerrortype.h"
#include "storefrontsim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Shooter
{
    QuenlithApplication &app;
    StorefrontSim &sim;
    QString outDir;

    QObject *root() const { return app.view()->rootObject(); }
    QObject *find(const QString &name) const { return QmlItems::find(root(), name); }

    // Lets the event loop run until the condition holds (or the time is up); animations settle too.
    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(20);
        }
        return true;
    }
    void settle(int ms = 350) const { QTest::qWait(ms); }

    QVariant call(const QString &objectName, const char *function, const QVariant &arg = QVariant()) const
    {
        QObject *target = objectName.isEmpty() ? root() : find(objectName);
        QVariant result;
        if (!target)
            return result;
        if (arg.isValid())
            QMetaObject::invokeMethod(target, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, arg));
        else
            QMetaObject::invokeMethod(target, function, Q_RETURN_ARG(QVariant, result));
        return result;
    }
    void set(const QString &objectName, const char *property, const QVariant &value) const
    {
        if (QObject *target = find(objectName))
            target->setProperty(property, value);
    }
    QVariant get(const QString &objectName, const char *property) const
    {
        QObject *target = find(objectName);
        return target ? target->property(property) : QVariant();
    }
    QObject *dialog(const char *property) const { return root()->property(property).value<QObject *>(); }
    void open(QObject *dialog) const
    {
        QMetaObject::invokeMethod(dialog, "open");
        settle();
    }
    void closeDialogs() const
    {
        for (const char *name : {"askDeleteDialog", "askUpdateFileDialog", "askFreeSpaceDialog", "errorsListDialog"}) {
            if (QObject *d = dialog(name))
                QMetaObject::invokeMethod(d, "close");
        }
        settle(100);
    }

    bool shoot(const QString &name) const
    {
        const QImage image = app.view()->grabWindow();
        const QString path = outDir + QLatin1Char('/') + name + QStringLiteral(".png");
        const bool saved = image.save(path);
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
        return saved;
    }
};

} // namespace

// "--grab-screen FILE": a picture of the whole X screen, for checking another program's window.
int grabScreen(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QScreen *screen = QGuiApplication::primaryScreen();
    const bool saved = screen && screen->grabWindow(0).save(QString::fromLocal8Bit(argv[2]));
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", argv[2]);
    return saved ? 0 : 1;
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--grab-screen") == 0)
        return grabScreen(argc, argv);

    QTemporaryDir profile;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (profile.path() + QLatin1Char('/') + QLatin1String(name)).toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));

    StorefrontSim::Options options;
    options.products = 24;
    StorefrontSim sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "ui-screenshots: the storefront simulator did not start\n");
        return 1;
    }
    qputenv("TOLVANE_API_BASE_URL", sim.baseUrl().toUtf8());

    QuenlithApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    QString outDir = QStringLiteral("screenshots");
    const int outFlag = wanted.indexOf(QStringLiteral("--out"));
    if (outFlag >= 0 && outFlag + 1 < wanted.size()) {
        outDir = wanted.at(outFlag + 1);
        wanted.erase(wanted.begin() + outFlag, wanted.begin() + outFlag + 2);
    }
    QDir().mkpath(outDir);

    QQuickView *view = app.view();
    view->showNormal();
    view->resize(920, 700);
    if (!QTest::qWaitForWindowExposed(view)) {
        std::fprintf(stderr, "ui-screenshots: the window was not shown\n");
        return 1;
    }

    Shooter s{app, sim, outDir};
    using Step = std::pair<QString, std::function<void(Shooter &)>>;
    // In order: later states build on the earlier ones (signed in after "login-busy").
    const std::vector<Step> steps = {
        {"login-key-view", [](Shooter &s) { s.settle(); }},
        {"login-get-key-view", [](Shooter &s) {
             s.call("loginWindow", "setLoginViewVisible", false);
             s.set("emailField", "text", s.sim.email());
             s.settle();
         }},
        {"login-wrong-key", [](Shooter &s) {
             s.call("loginWindow", "setLoginViewVisible", true);
             s.set("keyField", "text", QStringLiteral("not-a-key"));
             s.call("loginWindow", "doLogin");
             s.waitFor([&] { return s.get("errorRow", "shown").toBool(); });
             s.settle();
         }},
        {"login-busy", [](Shooter &s) {
             StorefrontSim::EndpointFault slow;
             slow.delayMs = 1500;
             slow.times = 1;
             s.sim.setFault(StorefrontSim::Endpoint::Token, slow);
             s.set("keyField", "text", s.sim.appKey());
             s.call("loginWindow", "doLogin");
             s.settle(300);
         }},
        {"library-first-login", [](Shooter &s) {
             StorefrontSim::EndpointFault slow;
             slow.delayMs = 2500;
             slow.times = 1;
             s.sim.setFault(StorefrontSim::Endpoint::Library, slow);
             s.waitFor([&] { return s.find("mainScreen") && s.get("mainScreen", "firstLoginInfoVisible").toBool(); });
             s.settle(500);
         }},
        {"library-signed-in", [](Shooter &s) {
             s.waitFor([&] { return !s.app.remoteAPI()->isRefreshing(); }, 20000);
             s.settle(3300);
         }},
        {"library-refresh-complete", [](Shooter &s) {
             s.app.remoteAPI()->refreshLibrary(1);
             s.waitFor([&] { return !s.app.remoteAPI()->isRefreshing(); }, 20000);
             s.settle();
         }},
        {"library-selection-mode", [](Shooter &s) {
             s.app.setIsInSelectionMode(true);
             s.settle();
         }},
        {"library-has-updates", [](Shooter &s) {
             s.app.setIsInSelectionMode(false);
             s.app.onlineLibrary()->onUpdatedItemsChanged(true);
             s.settle(600);
         }},
        {"status-folder-scan", [](Shooter &s) {
             s.app.onlineLibrary()->onUpdatedItemsChanged(false);
             emit s.app.libraryScanningStarted();
             s.settle();
         }},
        {"status-error", [](Shooter &s) {
             emit s.app.downloadManager()->downloadFailedForItem(nullptr);
             s.settle();
         }},
        {"dialog-update-file-long-name", [](Shooter &s) {
             QObject *d = s.dialog("askUpdateFileDialog");
             d->setProperty("text", QStringLiteral("A newer version of \"The Sunken Archive of Veyl - Complete Campaign "
                                                   "Compendium (Revised Printing).pdf\" is available. Update it?"));
             s.open(d);
         }},
        {"dialog-free-space", [](Shooter &s) {
             QObject *d = s.dialog("askFreeSpaceDialog");
             d->setProperty("requiredSpace", QStringLiteral("1.4 GB"));
             d->setProperty("availableSpace", QStringLiteral("312 MB"));
             s.open(d);
         }},
        {"dialog-free-space-unavailable", [](Shooter &s) {
             QObject *d = s.dialog("askFreeSpaceDialog");
             d->setProperty("pathUnavailable", true);
             s.open(d);
         }},
        {"dialog-delete", [](Shooter &s) { s.open(s.dialog("askDeleteDialog")); }},
        {"dialog-errors-list", [](Shooter &s) {
             ErrorsListModel *errors = s.app.errorsListModel();
             errors->addError(LibraryErrorType::DownloadError, QStringLiteral("Harrowdeep Bestiary"), 0);
             errors->addError(LibraryErrorType::UpdateFileError, QStringLiteral("Lanterns of the Low Road"), 1);
             errors->addError(LibraryErrorType::DeleteFileError, QStringLiteral("Mapping the Glass Coast"), 2);
             errors->addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
             errors->addError(LibraryErrorType::GeneralError, QStringLiteral("The library folder could not be read."), 3);
             s.open(s.dialog("errorsListDialog"));
         }},
    };

    int failures = 0;
    for (const Step &step : steps) {
        step.second(s);
        if (wanted.isEmpty() || wanted.contains(step.first))
            failures += s.shoot(step.first) ? 0 : 1;
        s.closeDialogs();
    }
    return failures == 0 ? 0 : 1;
}
