// Walks the window through its screens and dialogs and writes one PNG per state. Each state is
// one entry of the table in main(): a name and what to do before the picture is taken.
#include "pseudotranslator.h"
#include "qmlitems.h"

#include "api/libraryerrortype.h"
#include "app/core/constants.h"
#include "app/quenlithapplication.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "api/remoteapi.h"
#include "dialogs/applicationupdater.h"
#include "dialogs/freespacewarningdialog.h"
#include "downloads/libraryfile.h"
#include "library/errorslistmodel.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "storefrontsim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QScreen>
#include <QSettings>
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
    Shooter(QuenlithApplication &application, StorefrontSim &simulator, const QString &out)
        : app(application), sim(simulator), outDir(out)
    {
    }
    // How the current state is pictured; each step starts with the main window alone.
    enum class Grab { Window, Screen, About };
    mutable Grab grab = Grab::Window;
    // The product with a file in every status, and the rows the list states are shown on.
    mutable LibraryItem *showcase = nullptr;
    mutable QList<LibraryItem *> rows;

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
    // A screen pushed or popped fades; on a busy machine a fixed wait can catch it half drawn.
    void settleScreens() const
    {
        waitFor([this] { return !get("screenStack", "busy").toBool(); });
        settle(100);
    }

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

    // The product shown at a row of the library view.
    LibraryItem *itemAtRow(int row) const
    {
        return app.onlineLibrary()->itemAt(app.libraryModel()->rowToSource(row));
    }
    QList<LibraryFile *> filesOf(LibraryItem *item) const { return item->filesModel()->files(); }
    bool allFilesIn(LibraryItem *item, const QList<LibraryFile::Status> &statuses) const
    {
        for (LibraryFile *file : filesOf(item)) {
            if (!statuses.contains(file->status()))
                return false;
        }
        return true;
    }
    // The simulator's files pass in a blink: for a still, a transfer that waits for its file task
    // is given the progress a running one would have.
    static void showProgress(LibraryFile *file, double progress)
    {
        file->setDownloadedSize(qint64(file->totalSize() * progress));
        file->onDownloadedProgress(progress);
    }
    static QString fileKey(LibraryItem *item, LibraryFile *file)
    {
        return item->productId() + QLatin1Char('/') + QString::number(file->bundleId());
    }
    // The delegate the view shows for a row, when it has one.
    QQuickItem *delegateAt(const QString &viewLoader, int row) const
    {
        auto *view = qobject_cast<QQuickItem *>(get(viewLoader, "item").value<QObject *>());
        auto *content = view ? view->property("contentItem").value<QQuickItem *>() : nullptr;
        if (!content)
            return nullptr;
        for (QQuickItem *child : content->childItems()) {
            if (child->isVisible() && child->property("rowIndex").toInt() == row)
                return child;
        }
        return nullptr;
    }
    void refreshLibrary() const
    {
        app.remoteAPI()->refreshLibrary(1);
        waitFor([&] { return !app.remoteAPI()->isRefreshing(); }, 20000);
    }
    void resizeWindow(int width, int height) const
    {
        // Under a desktop scale the screen may hold less than the size asked for.
        const QSize room = app.view()->screen()->availableSize();
        width = qMin(width, room.width());
        height = qMin(height, room.height());
        app.view()->resize(width, height);
        waitFor([&] { return app.view()->width() == width && app.view()->height() == height; }, 3000);
        settle(500);
    }

    // Added to every file name: the scale a run draws at.
    QString suffix;
    QString pathOf(const QString &name) const { return outDir + QLatin1Char('/') + name + suffix + QStringLiteral(".png"); }
    bool save(const QImage &image, const QString &name) const
    {
        const bool saved = !image.isNull() && image.save(pathOf(name));
        std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(pathOf(name)));
        return saved;
    }
    bool shoot(const QString &name) const { return save(app.view()->grabWindow(), name); }

    // Whether the text's letters reach past the left or right side of the window or of an
    // ancestor that clips; scrolling is up and down only, so a side is never a scroll edge.
    static bool drawnPastEdge(QQuickItem *text, QQuickItem *top)
    {
        if (text->property("text").toString().trimmed().isEmpty())
            return false;
        const qreal drawn = text->property("contentWidth").toReal();
        const qreal width = text->width();
        const int align = text->property("effectiveHorizontalAlignment").toInt();
        qreal left = text->property("leftPadding").toReal();
        if (align & Qt::AlignRight)
            left = width - text->property("rightPadding").toReal() - drawn;
        else if (align & Qt::AlignHCenter)
            left = (width - drawn) / 2;
        const qreal from = text->mapToScene(QPointF(left, 0)).x();
        const qreal to = text->mapToScene(QPointF(left + drawn, 0)).x();
        const auto outside = [from, to](QQuickItem *bound) {
            const qreal boundFrom = bound->mapToScene(QPointF(0, 0)).x();
            const qreal boundTo = bound->mapToScene(QPointF(bound->width(), 0)).x();
            // Wholly beyond the side is out of view, as some texts are kept while hidden.
            return (from < boundFrom - 1.5 && to > boundFrom) || (to > boundTo + 1.5 && from < boundTo);
        };
        if (outside(top))
            return true;
        for (QQuickItem *up = text->parentItem(); up && up != top; up = up->parentItem()) {
            if (up->clip() && outside(up))
                return true;
        }
        return false;
    }

    // Texts shown cut off in a state, each printed: elided or stopped at their line count, or
    // drawn past the side of the window or of an item that clips them. A text that shows a
    // name of any length (a title, a file name) says so by `elidesOnPurpose: true` and is left out.
    static int elidedTexts(const QString &state, QQuickItem *top)
    {
        int count = 0;
        const auto report = [&state, &count](const char *kind, QQuickItem *item) {
            QString where = item->objectName();
            for (QQuickItem *up = item->parentItem(); up && where.isEmpty(); up = up->parentItem())
                where = up->objectName();
            std::printf("%s %s: %s \"%s\"\n", kind, qPrintable(state), qPrintable(where),
                        qPrintable(item->property("text").toString()));
            ++count;
        };
        QList<QQuickItem *> queue{top};
        while (!queue.isEmpty()) {
            QQuickItem *item = queue.takeFirst();
            if (!item || !item->isVisible() || item->opacity() == 0.0)
                continue;
            if (item->inherits("QQuickText") && !item->property("elidesOnPurpose").toBool()) {
                if (item->property("truncated").toBool())
                    report("ELIDED", item);
                else if (drawnPastEdge(item, top))
                    report("CLIPPED", item);
            }
            queue += item->childItems();
        }
        return count;
    }
    // Message boxes and the About window are windows of their own: the part of the screen that
    // holds the main window and every other visible window of the program.
    bool shootScreen(const QString &name) const
    {
        QRect area = app.view()->frameGeometry();
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (window->isVisible() && window->width() > 1 && window->height() > 1)
                area |= window->frameGeometry();
        }
        QScreen *screen = app.view()->screen();
        area &= screen->geometry();
        return save(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage(), name);
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
    QTemporaryDir library;
    QmlItems::useScratchProfile(profile.path(), Constants::ApplicationVersion);

    StorefrontSim::Options options;
    options.products = 24;
    StorefrontSim sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "ui-screenshots: the storefront simulator did not start\n");
        return 1;
    }
    qputenv("TOLVANE_API_BASE_URL", sim.baseUrl().toUtf8());
    qputenv("TOLVANE_UPDATE_MANIFEST_URL", sim.manifestUrl().toUtf8());
    const QString showcaseTitle = QStringLiteral("The Cartographer's Guild Handbook");
    sim.addProduct(showcaseTitle, QStringLiteral("Lantern Hall Press"), 7);

    QuenlithApplication app(argc, argv);
    app.settings()->setLibraryDirectory(library.path());
    QStringList wanted = app.arguments().mid(1);
    QString outDir = QStringLiteral("screenshots");
    const int outFlag = wanted.indexOf(QStringLiteral("--out"));
    if (outFlag >= 0 && outFlag + 1 < wanted.size()) {
        outDir = wanted.at(outFlag + 1);
        wanted.erase(wanted.begin() + outFlag, wanted.begin() + outFlag + 2);
    }
    QDir().mkpath(outDir);
    // "--pseudo": every text a third longer; the language itself follows LANGUAGE and LANG.
    PseudoTranslator pseudo;
    if (wanted.removeAll(QStringLiteral("--pseudo")) > 0) {
        QCoreApplication::installTranslator(&pseudo);
        app.view()->engine()->retranslate();
        // The sync action took its text before the translator came; the change signal sets it anew.
        emit app.isSyncingChanged();
    }
    // "--suffix -x1.5": the run under QT_SCALE_FACTOR names its pictures apart.
    QString suffix;
    const int suffixFlag = wanted.indexOf(QStringLiteral("--suffix"));
    if (suffixFlag >= 0 && suffixFlag + 1 < wanted.size()) {
        suffix = wanted.at(suffixFlag + 1);
        wanted.erase(wanted.begin() + suffixFlag, wanted.begin() + suffixFlag + 2);
    }

    QQuickView *view = app.view();
    view->showNormal();
    view->resize(920, 700);
    if (!QTest::qWaitForWindowExposed(view)) {
        std::fprintf(stderr, "ui-screenshots: the window was not shown\n");
        return 1;
    }

    // Scaled, the first size is bounded by the screen, and the window must then fit on it.
    const QRect room = view->screen()->availableGeometry();
    if (view->width() > room.width() || view->height() > room.height()) {
        view->resize(qMin(view->width(), room.width()), qMin(view->height(), room.height()));
        QTest::qWait(300);
    }
    // Without a window manager nothing moves a window that was centred while larger than the screen.
    if (!room.contains(view->frameGeometry())) {
        view->setPosition(room.topLeft());
        QTest::qWait(300);
    }
    if (!room.contains(view->frameGeometry())) {
        const QRect frame = view->frameGeometry();
        std::fprintf(stderr, "ui-screenshots: the window (%dx%d at %d,%d) does not fit the screen (%dx%d at %d,%d)\n",
                     frame.width(), frame.height(), frame.x(), frame.y(), room.width(), room.height(), room.x(), room.y());
        return 1;
    }

    Shooter s{app, sim, outDir};
    s.suffix = suffix;
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
             // The question as the program asks it, in the language of the run.
             d->setProperty("text", QCoreApplication::translate("AskUpdateFileDialog",
                                                                "File \"%1\" is already in your library. Which would you like to do?")
                                        .arg(QStringLiteral("The_Sunken_Archive_of_Veyl_Complete_Campaign_Compendium_Revised_Printing.pdf")));
             s.open(d);
         }},
        {"dialog-free-space", [](Shooter &s) {
             QObject *d = s.dialog("askFreeSpaceDialog");
             d->setProperty("requiredSpace", FreeSpaceWarningDialog::formatSize(1503238554));
             d->setProperty("availableSpace", FreeSpaceWarningDialog::formatSize(327155712));
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
             // A message of the program's own, so that it shows in the language of the run.
             errors->addError(LibraryErrorType::GeneralError, Settings::storeFailureText(QSettings()), 3);
             s.open(s.dialog("errorsListDialog"));
         }},
        // Real downloads against the simulator put the rows and the showcase's files in their states.
        {"", [&showcaseTitle](Shooter &s) {
             s.set("statusBar", "visible", false);
             s.rows.clear();
             for (int row = 0; row < s.app.libraryModel()->rowCount() && s.rows.size() < 5; ++row) {
                 LibraryItem *item = s.itemAtRow(row);
                 if (item->title() == showcaseTitle)
                     s.showcase = item;
                 else
                     s.rows.append(item);
             }
             if (!s.showcase || s.rows.size() < 4 || s.showcase->filesModel()->count() < 7) {
                 std::fprintf(stderr, "ui-screenshots: the library is not as expected\n");
                 return;
             }
             LibraryItem *downloaded = s.rows.at(1);
             LibraryItem *updated = s.rows.at(2);
             const QList<LibraryFile *> files = s.filesOf(s.showcase);
             StorefrontSim::DownloadFault corrupt;
             corrupt.checksum = StorefrontSim::ChecksumMode::Wrong;
             s.sim.setDownloadFault(corrupt, Shooter::fileKey(s.showcase, files.at(5)));
             downloaded->downloadAllFiles();
             updated->downloadAllFiles();
             for (int i : {0, 1, 5})
                 files.at(i)->startDownload();
             const auto settled = [&] {
                 return s.allFilesIn(downloaded, {LibraryFile::Downloaded}) && s.allFilesIn(updated, {LibraryFile::Downloaded})
                     && files.at(0)->status() == LibraryFile::Downloaded && files.at(1)->status() == LibraryFile::Downloaded
                     && files.at(5)->status() == LibraryFile::DownloadError;
             };
             if (!s.waitFor(settled, 90000))
                 std::fprintf(stderr, "ui-screenshots: the downloads did not finish\n");

             s.sim.publishNewVersion(updated->productId(), s.filesOf(updated).first()->bundleId());
             s.sim.publishNewVersion(s.showcase->productId(), files.at(1)->bundleId());
             s.refreshLibrary();
             s.waitFor([&] { return files.at(1)->status() == LibraryFile::UpdateAvailable; }, 20000);

             // From here on file tasks stay in preparation, so transfers keep running.
             s.sim.setNeverComplete(true);
             LibraryItem *downloading = s.rows.at(0);
             downloading->downloadAllFiles();
             s.waitFor([&] { return downloading->filesModel()->anyFileIsDownloading(); });
             for (LibraryFile *file : s.filesOf(downloading))
                 Shooter::showProgress(file, 0.4);
             s.waitFor([&] { return !s.app.remoteAPI()->isRefreshing(); });
             s.settle(3500);
             s.set("statusBar", "visible", false);
         }},
        {"library-list", [](Shooter &s) { s.settle(600); }},
        {"library-list-error-tip", [](Shooter &s) {
             const int row = s.app.libraryModel()->indexByLibraryItem(s.showcase);
             if (QQuickItem *delegate = s.delegateAt(QStringLiteral("listViewLoader"), row)) {
                 if (QObject *button = QmlItems::find(delegate, QStringLiteral("actionButton")))
                     QMetaObject::invokeMethod(button, "showError");
             }
             s.settle(500);
         }},
        {"library-list-selection", [](Shooter &s) {
             if (QObject *tip = s.find("errorTip"))
                 QMetaObject::invokeMethod(tip, "close");
             s.rows.at(1)->setSelectedForSync(true);
             s.rows.at(3)->setSelectedForSync(true);
             s.waitFor([&] { return s.app.isInSelectionMode(); });
             s.settle();
         }},
        {"library-tiles", [](Shooter &s) {
             s.app.onlineLibrary()->deselectAll();
             s.app.setIsInSelectionMode(false);
             s.settle(100);
             QmlItems::click(s.app.view()->rootObject() ? QmlItems::findItem(s.root(), QStringLiteral("tileHalf")) : nullptr);
             s.settle(1500);
         }},
        {"library-tiles-selection", [](Shooter &s) {
             s.rows.at(1)->setSelectedForSync(true);
             s.rows.at(2)->setSelectedForSync(true);
             s.waitFor([&] { return s.app.isInSelectionMode(); });
             s.settle();
         }},
        {"library-tiles-wide", [](Shooter &s) {
             s.app.onlineLibrary()->deselectAll();
             s.app.setIsInSelectionMode(false);
             s.resizeWindow(1240, 820);
             s.settle(1500);
         }},
        {"book-details-files", [](Shooter &s) {
             s.resizeWindow(920, 700);
             QmlItems::click(QmlItems::findItem(s.root(), QStringLiteral("listHalf")));
             // States that only last while a transfer runs are set on the files for the picture.
             const QList<LibraryFile *> files = s.filesOf(s.showcase);
             for (LibraryFile *file : s.filesOf(s.rows.at(0)))
                 file->cancelDownload();
             files.at(2)->startDownload();
             files.at(4)->startDownload();
             s.waitFor([&] { return files.at(4)->status() == LibraryFile::Downloading; });
             files.at(4)->pauseDownload();
             // One slot, taken by the running file: the queued one waits for the picture.
             s.app.settings()->setSimultaneousDownloads(1);
             s.app.downloadManager()->setFileStatus(files.at(3), LibraryFile::Queued);
             Shooter::showProgress(files.at(2), 0.45);
             Shooter::showProgress(files.at(4), 0.3);
             QMetaObject::invokeMethod(s.root(), "openBookDetailsSource",
                                       Q_ARG(QVariant, s.app.onlineLibrary()->indexByLibraryItem(s.showcase)));
             s.settle(1500);
         }},
        {"settings", [](Shooter &s) {
             for (int i : {2, 4})
                 s.filesOf(s.showcase).at(i)->cancelDownload();
             s.app.downloadManager()->setFileStatus(s.filesOf(s.showcase).at(3), LibraryFile::Remote);
             s.app.settings()->setSimultaneousDownloads(3);
             auto *stack = s.find("screenStack");
             if (auto *details = stack->property("currentItem").value<QObject *>())
                 QMetaObject::invokeMethod(details, "goBack");
             s.settleScreens();
             QMetaObject::invokeMethod(s.root(), "showSettings");
             s.settleScreens();
         }},
        {"settings-folder-not-writable", [](Shooter &s) {
             s.grab = Shooter::Grab::Screen;
             s.set("folderField", "text", QStringLiteral("/proc/Tolvane Library"));
             QmlItems::click(QmlItems::findItem(s.root(), QStringLiteral("saveButton")));
             s.waitFor([&] { return s.get("notWritableMessage", "visible").toBool(); });
             s.settle(800);
         }},
        {"settings-no-updates", [](Shooter &s) {
             s.grab = Shooter::Grab::Screen;
             if (QObject *message = s.find("notWritableMessage"))
                 QMetaObject::invokeMethod(message, "close");
             s.settle(300);
             QmlItems::click(QmlItems::findItem(s.root(), QStringLiteral("checkNowButton")));
             s.waitFor([&] { return s.get("noUpdatesMessage", "visible").toBool(); });
             s.settle(800);
         }},
        {"settings-limit-and-check", [](Shooter &s) {
             if (QObject *message = s.find("noUpdatesMessage"))
                 QMetaObject::invokeMethod(message, "close");
             s.set("limitBox", "checked", true);
             s.set("limitField", "text", QStringLiteral("4"));
             s.set("limitUnitBox", "currentIndex", 1);
             // The check's section lies below the first screenful.
             if (auto *flick = s.get("settingsScroll", "contentItem").value<QObject *>())
                 flick->setProperty("contentY", 260);
             QmlItems::click(QmlItems::findItem(s.root(), QStringLiteral("verifyButton")));
             s.waitFor([&] { return !s.get("verifyStatus", "text").toString().isEmpty(); });
             s.shoot(QStringLiteral("settings-check-progress"));
             s.waitFor([&] { return s.get("verifyButton", "text").toString() == QCoreApplication::translate("SettingsWindow", "Verify library"); }, 30000);
             s.settle(400);
         }},
        {"about", [](Shooter &s) {
             s.grab = Shooter::Grab::About;
             if (QObject *message = s.find("noUpdatesMessage"))
                 QMetaObject::invokeMethod(message, "close");
             if (QObject *settings = s.find("settingsWindow"))
                 QMetaObject::invokeMethod(settings, "goBack");
             s.settleScreens();
             QMetaObject::invokeMethod(s.root(), "showAbout");
             s.settle(800);
         }},
        {"dialog-update-app", [](Shooter &s) {
             if (auto *about = qobject_cast<QWindow *>(s.get("aboutLoader", "item").value<QObject *>()))
                 about->close();
             s.sim.setManifest(QStringLiteral("3.1.0.0"), QStringLiteral("2022-02-01 12:00:00"), 0, 0);
             s.app.updater()->checkUpdates(false);
             QObject *d = s.dialog("askUpdateAppDialog");
             s.waitFor([&] { return d && d->property("opened").toBool(); });
             s.settle();
         }},
        {"dialog-update-app-downloading", [](Shooter &s) {
             StorefrontSim::EndpointFault unavailable;
             unavailable.httpStatus = 503;
             unavailable.delayMs = 4000;
             unavailable.times = 1;
             s.sim.setFault(StorefrontSim::Endpoint::Installer, unavailable);
             s.app.updater()->onYesClicked();
             s.app.updater()->setProgress(42);
             s.settle();
         }},
        {"dialog-update-app-error", [](Shooter &s) {
             s.waitFor([&] { return !s.app.updater()->downloadError().isEmpty(); }, 20000);
             s.settle();
         }},
        {"", [](Shooter &s) {
             s.app.updater()->onCancelClicked();
             s.settle();
         }},
    };

    int failures = 0;
    for (const Step &step : steps) {
        s.grab = Shooter::Grab::Window;
        step.second(s);
        if (!step.first.isEmpty() && (wanted.isEmpty() || wanted.contains(step.first))) {
            bool saved = false;
            if (s.grab == Shooter::Grab::Screen) {
                saved = s.shootScreen(step.first);
            } else if (s.grab == Shooter::Grab::About) {
                auto *about = qobject_cast<QQuickWindow *>(s.get("aboutLoader", "item").value<QObject *>());
                saved = about ? s.save(about->grabWindow(), step.first) : false;
            } else {
                saved = s.shoot(step.first);
            }
            failures += saved ? 0 : 1;
            // Popups live in the window's overlay, under its content item.
            auto *window = s.grab == Shooter::Grab::About
                               ? qobject_cast<QQuickWindow *>(s.get("aboutLoader", "item").value<QObject *>())
                               : s.app.view();
            if (window)
                failures += Shooter::elidedTexts(step.first, window->contentItem());
        }
        s.closeDialogs();
    }
    return failures == 0 ? 0 : 1;
}
