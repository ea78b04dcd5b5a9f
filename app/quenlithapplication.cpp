#include "quenlithapplication.h"

#include "app/imageprovider.h"
#include "app/core/cachefolder.h"
#include "app/core/constants.h"
#include "app/core/coreservices.h"
#include "downloads/fileactions.h"
#include "app/desktopnotifier.h"
#include "app/folderrevealer.h"
#include "app/mainwindow.h"
#include "app/core/settings.h"
#include "app/translations.h"
#include "dialogs/applicationupdater.h"
#include "dialogs/askupdatefiledialog.h"
#include "dialogs/deletefiledialog.h"
#include "dialogs/freespacewarningdialog.h"
#include "downloads/filesystemops.h"
#include "downloads/folderscanner.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "downloads/overallprogress.h"
#include "library/errorslistmodel.h"
#include "library/libraryfiltertype.h"
#include "library/libraryitem.h"
#include "library/libraryitembadge.h"
#include "library/librarysortfiltermodel.h"
#include "library/libraryverification.h"

#include <QDataStream>
#include <QDesktopServices>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTemporaryFile>
#include <QTimer>
#include <QWindow>

#include <thread>

namespace {

const QSize kMinimumWindowSize(820, 440);

const QString kFirstLoginKey = QStringLiteral("firstLoginSettingsRefresh");

const char *const kFonts[] = {
    ":/fonts/JosefinSans-Regular.ttf", ":/fonts/JosefinSans-Bold.ttf",
    ":/fonts/JosefinSans-Light.ttf",   ":/fonts/JosefinSans-SemiBold.ttf",
    ":/fonts/JosefinSans-Thin.ttf",    ":/fonts/Montserrat-Regular.otf",
    ":/fonts/Montserrat-Bold.otf",     ":/fonts/Montserrat-Light.otf",
    ":/fonts/Montserrat-SemiBold.otf", ":/fonts/Montserrat-Thin.otf",
};

// The first request of a process pays for loading the TLS and proxy machinery; doing it early
// on a throw-away manager keeps that cost away from the first real request.
void warmUpNetwork()
{
    std::thread([] {
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl())));
    }).detach();
}

// The program that installs a downloaded update: beside the program in a build tree, in the
// private program folder once installed. Empty where updates come with the distribution.
QString updateHandOver()
{
#ifdef TOLVANE_SELF_UPDATE
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QStringLiteral("/tolvane-install-update");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(dir + QLatin1Char('/') + QStringLiteral(TOLVANE_HAND_OVER_RELATIVE));
#else
    return QString();
#endif
}

// The tray's icon with a download arrow in its corner while transfers run.
QIcon busyTrayIcon()
{
    const int size = 64;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(QStringLiteral(":/icons/icon-app-small.svg")).render(&painter, QRectF(0, 0, size, size));
    const QRectF badge(size * 0.5, size * 0.5, size * 0.5, size * 0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x17, 0x71, 0xe0));
    painter.drawEllipse(badge);
    QSvgRenderer(QStringLiteral(":/icons/download_white.svg")).render(&painter, badge.adjusted(6, 6, -6, -6));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

QuenlithApplication::QuenlithApplication(int &argc, char **argv)
    : SingleApplication(argc, argv)
{
    m_translations = std::make_unique<Translations>(QLocale::system());
    m_networkAccessManager = new QNetworkAccessManager(this);

    m_core = std::make_unique<CoreServices>(m_networkAccessManager);
    m_settings = m_core->settings();
    m_remoteAPI = m_core->remoteAPI();
    m_downloadManager = m_core->downloadManager();
    m_overallProgress = std::make_unique<OverallProgress>(m_downloadManager);
    m_fileActions = m_core->makeFileActions(*this);
    m_onlineLibrary = std::make_unique<OnlineLibrary>(*m_fileActions);
    m_libraryModel = std::make_unique<LibrarySortFilterModel>();
    m_errorsListModel = std::make_unique<ErrorsListModel>();
    m_sync = std::make_unique<LibrarySync>(m_remoteAPI, m_onlineLibrary.get(), m_downloadManager,
                                           m_settings);
    m_view = std::make_unique<QQuickView>();
    m_updater = std::make_unique<ApplicationUpdater>(m_networkAccessManager, QUrl(Constants::updateManifestUrl()),
                                                     updateHandOver());
    m_folderScanner = std::make_unique<FolderScanner>();
    m_verification = std::make_unique<LibraryVerification>(
        m_onlineLibrary.get(), m_downloadManager,
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/verified.json"));

    connect(m_folderScanner.get(), &FolderScanner::scanningChanged, this, &QuenlithApplication::onScanningChanged);
    connect(m_settings, &Settings::loggingEnabledChanged, this, [](bool enabled) {
        qDebug().nospace() << "INFO: " << "Logging: " << (enabled ? "Enabled" : "Disabled");
    });

    // The command-line client takes its limit from its own option, not from here.
    const auto applyDownloadLimit = [this] {
        m_downloadManager->rateLimiter().setRate(m_settings->downloadLimitBytes());
    };
    connect(m_settings, &Settings::downloadLimitChanged, this, applyDownloadLimit);
    applyDownloadLimit();

    warmUpNetwork();
    FileSystemOps::setViewerOpener([this](const QString &path) { return openWithDesktop(path); });

    if (hasTextModelFlag(arguments()))
        m_onlineLibrary->setBinaryStore(false);

    // Every window and dialog: the installed theme's icon, the bundled drawing where none is.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tolvane"), QIcon(QStringLiteral(":/icons/icon-app-small.svg"))));
    registerFonts();
    createAppDataDir();
    registerTypes();

    setIsFirstLoginInfo(QSettings().value(kFirstLoginKey, true).toBool());

    m_libraryModel->setSourceModel(m_onlineLibrary.get());
    connect(m_libraryModel.get(), &LibrarySortFilterModel::filterStringChanged,
            m_onlineLibrary.get(), &OnlineLibrary::deselectAll);

    m_syncAction = new QAction(QIcon(QStringLiteral(":/icons/icon-sync.svg")), QString(), this);
    connect(m_onlineLibrary.get(), &OnlineLibrary::selectedForSyncUpdated, this,
            &QuenlithApplication::updateSyncActionText);
    connect(m_sync.get(), &LibrarySync::isSyncingChanged, this, &QuenlithApplication::isSyncingChanged);
    connect(m_sync.get(), &LibrarySync::ended, m_libraryModel.get(), &LibrarySortFilterModel::invalidate);
    // The sync cleared the ticks: nothing is left for the selection bar to act on.
    connect(m_sync.get(), &LibrarySync::ended, this, [this] { setIsInSelectionMode(false); });
    connect(m_sync.get(), &LibrarySync::completed, this, [this] {
        launchScanner(lastExistingDir(m_settings->libraryDirectory()), true);
    });
    m_sync->setFreeSpaceQuestion([this](const LibrarySync::FreeSpaceShortage &shortage) { askFreeSpace(shortage); });
    connect(this, &QuenlithApplication::isSyncingChanged, this, &QuenlithApplication::updateSyncActionText);
    updateSyncActionText();
    connect(m_syncAction, &QAction::triggered, this, &QuenlithApplication::switchLibrarySync);

    QQmlContext *context = m_view->rootContext();
    context->setContextProperty(QStringLiteral("onlineLibrary"), m_onlineLibrary.get());
    context->setContextProperty(QStringLiteral("libraryModel"), m_libraryModel.get());
    context->setContextProperty(QStringLiteral("downloadManager"), m_downloadManager);
    context->setContextProperty(QStringLiteral("errorsListModel"), m_errorsListModel.get());
    context->setContextProperty(QStringLiteral("app"), this);
    context->setContextProperty(QStringLiteral("libraryVerification"), m_verification.get());

    // The engine owns the provider.
    m_view->engine()->addImageProvider(
        QStringLiteral("title"),
        new ImageProvider(CacheFolder::prepare(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                                               QStandardPaths::writableLocation(QStandardPaths::CacheLocation))));

    m_view->setSource(QUrl(QStringLiteral("qrc:/MainForm.qml")));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setMinimumSize(kMinimumWindowSize);
    m_view->setTitle(Constants::ApplicationName);

    m_mainWindow = std::make_unique<MainWindow>(m_view.get(), m_syncAction);
    connect(this, &SingleApplication::raiseApp, this, &QuenlithApplication::raiseApp);
    connectObjects();

    m_mainWindow->setKeepRunningCheck([this] { return m_downloadManager->isDownloading(); });
    m_mainWindow->setSignedIn(m_remoteAPI->loggedIn());
    connect(m_mainWindow.get(), &MainWindow::quitRequested, this, &QCoreApplication::quit);

    m_notifier = std::make_unique<DesktopNotifier>(m_view.get(), m_mainWindow->trayIcon());
    connect(m_overallProgress.get(), &OverallProgress::finished, m_notifier.get(), &DesktopNotifier::downloadsEnded);
    connect(m_notifier.get(), &DesktopNotifier::activated, this, [this](bool showErrors) {
        m_mainWindow->raise();
        if (QObject *errors = showErrors ? rootDialog("errorsListDialog") : nullptr)
            QMetaObject::invokeMethod(errors, "open");
    });
    connect(m_overallProgress.get(), &OverallProgress::changed, this, &QuenlithApplication::updateTrayProgress);
    updateTrayProgress();
    m_folderRevealer = std::make_unique<FolderRevealer>();
    FileSystemOps::setFolderShower([this](const QString &path) {
        m_folderRevealer->show(path);
        return true;
    });
    connect(m_folderRevealer.get(), &FolderRevealer::failed, this, [this](const QString &message) {
        if (QObject *bar = rootDialog("statusBar"))
            QMetaObject::invokeMethod(bar, "showError", Q_ARG(QVariant, message));
    });

    m_onlineLibrary->load();
    m_onlineLibrary->rejoinQueue();
    m_mainWindow->restore();

    if (m_remoteAPI->loggedIn()) {
        launchScanner(m_settings->libraryDirectory(), true);
        // A first refresh that never succeeded is owed: nothing else fills an empty library.
        if (QSettings().value(kFirstLoginKey, true).toBool())
            startFirstRefresh();
    }

    // The dialog is attached whatever the setting, so that a check asked for from Settings
    // can answer too.
    m_updater->setDialog(rootDialog("askUpdateAppDialog"));
    connect(m_updater.get(), &ApplicationUpdater::installerStarted, this, &QCoreApplication::quit,
            Qt::QueuedConnection);
    connect(m_updater.get(), &ApplicationUpdater::downloadPageRequested, this,
            [](const QUrl &url) { QDesktopServices::openUrl(url); });
    if (m_settings->checkUpdateOnStart())
        m_updater->checkUpdates(false);
}

QuenlithApplication::~QuenlithApplication()
{
    // The window's tray and filter go before the view they watch; the scanner's thread ends
    // before the files it reports to.
    FileSystemOps::setFolderShower({});
    m_folderRevealer.reset();
    m_notifier.reset();
    m_mainWindow.reset();
    m_freeSpaceDialog.reset();
    m_deleteFileDialog.reset();
    m_askUpdateFileDialog.reset();
    m_folderScanner.reset();
    m_verification.reset();
    m_updater.reset();
}

bool QuenlithApplication::hasTextModelFlag(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--text-model"), Qt::CaseSensitive);
}

void QuenlithApplication::registerFonts()
{
    for (const char *font : kFonts)
        QFontDatabase::addApplicationFont(QString::fromLatin1(font));
}

void QuenlithApplication::createAppDataDir()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QDir().mkpath(path))
        return;
    // It holds the library, the logs and the image cache of this user alone.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void QuenlithApplication::registerTypes()
{
    qRegisterMetaTypeStreamOperators<QRect>("QRect");
    qRegisterMetaType<Settings *>("Settings*");
    qRegisterMetaType<RemoteAPI *>("RemoteAPI*");
    qRegisterMetaType<QAction *>("QAction*");
    qRegisterMetaType<OnlineLibrary *>("OnlineLibrary*");
    qRegisterMetaType<ApplicationUpdater *>("ApplicationUpdater*");
    qRegisterMetaType<FolderScanner *>("FolderScanner*");
    qRegisterMetaType<OverallProgress *>("OverallProgress*");

    const QString uncreatable = QStringLiteral("Cannot create uncreatable");
    const QString errorClass = QStringLiteral("Error class uncreatable");
    qmlRegisterUncreatableType<Settings>("SettingsData", 1, 0, "Settings", uncreatable);
    qmlRegisterUncreatableType<LibraryFile>("LibraryModelData", 1, 0, "LibraryFile", uncreatable);
    qmlRegisterUncreatableType<LibraryItemBadge>("LibraryModelData", 1, 0, "LibraryItemBadge", errorClass);
    qmlRegisterType<LibraryFilterType>("LibraryFilterType", 1, 0, "LibraryFilter");
    qmlRegisterUncreatableType<LibraryErrorType>("LibraryModelData", 1, 0, "LibraryErrorType", errorClass);
}

void QuenlithApplication::connectObjects()
{
    connect(m_remoteAPI, &RemoteAPI::titlesRefreshResult, m_onlineLibrary.get(),
            &OnlineLibrary::onTitlesRefreshResult);
    connect(m_remoteAPI, &RemoteAPI::refreshLibraryFinished, this,
            &QuenlithApplication::onTitlesRefreshFinished);
    connect(this, &QuenlithApplication::libraryScanningFinished, m_onlineLibrary.get(),
            &OnlineLibrary::saveDelayed);
    connect(m_remoteAPI, &RemoteAPI::loggedInChanged, this, &QuenlithApplication::onLoggedInChanged);
    connect(m_downloadManager, &DownloadManager::downloadFailedForItem, this,
            &QuenlithApplication::handleDownloadFailedForItem);
    connect(m_downloadManager, &DownloadManager::fileErrorReported, this,
            [this](const FileOwner *item, const QString &message) {
                notifyError(LibraryErrorType::GeneralError, message, m_onlineLibrary->indexByLibraryItem(item));
            });
    connect(m_remoteAPI, &RemoteAPI::errorReported, this, &QuenlithApplication::notifyError);
    connect(m_onlineLibrary.get(), &OnlineLibrary::saveFailed, this, [this](const QString &message) {
        notifyError(LibraryErrorType::GeneralError, message, -1);
    });
    connect(m_settings, &Settings::storeFailed, this, [this](const QString &message) {
        notifyError(LibraryErrorType::GeneralError, message, -1);
    });
    connect(this, &QCoreApplication::aboutToQuit, this, &QuenlithApplication::onAboutToQuit);
    connect(m_libraryModel.get(), &LibrarySortFilterModel::isAnyFilteredSelectedChanged, this,
            &QuenlithApplication::onAnyItemSeleted);
}

void QuenlithApplication::onAboutToQuit()
{
    qDebug().nospace() << "INFO: " << "Application: About to quit";
    m_mainWindow->saveState();
    m_downloadManager->stopAll();
    m_folderScanner->cancelScanning();
    m_onlineLibrary->save();
    // An xdg-open still waiting on its viewer goes; the viewer stays.
    for (QProcess *opener : findChildren<QProcess *>()) {
        opener->disconnect(this);
        opener->kill();
        opener->waitForFinished(1000);
    }
}

void QuenlithApplication::raiseApp()
{
    m_mainWindow->raise();
}

void QuenlithApplication::setIsFolderScanning(bool scanning)
{
    if (scanning == m_isFolderScanning)
        return;
    m_isFolderScanning = scanning;
    emit folderScanningChanged();
}

void QuenlithApplication::setIsFirstLoginInfo(bool on)
{
    if (on == m_isFirstLoginInfo)
        return;
    m_isFirstLoginInfo = on;
    emit isFirstLoginInfoChanged();
}

void QuenlithApplication::setIsInSelectionMode(bool on)
{
    if (on == m_isInSelectionMode)
        return;
    m_isInSelectionMode = on;
    emit isInSelectionModeChanged();
}

void QuenlithApplication::updateSyncActionText()
{
    if (!m_syncAction)
        return;
    m_syncAction->setText(m_sync->isSyncing() ? tr("Stop downloading") : tr("Download all"));
}

void QuenlithApplication::switchLibrarySync()
{
    m_sync->switchSync();
}

void QuenlithApplication::switchLibrarySyncOn()
{
    m_sync->switchOn();
}

void QuenlithApplication::switchLibrarySyncOff()
{
    m_sync->switchOff();
}

void QuenlithApplication::downloadSelected()
{
    m_sync->downloadSelected();
}

void QuenlithApplication::onTitlesRefreshFinished(bool success)
{
    if (!success)
        return;
    // Every good refresh ends with the library's own refresh handling, which saves it.
    m_onlineLibrary->onTitlesRefreshFinished();
    if (!m_sync->isSyncing())
        launchScanner(m_settings->libraryDirectory(), true);
}

void QuenlithApplication::launchScanner(const QString &path, bool withUI)
{
    if (!QFileInfo::exists(path)) {
        qDebug() << "QuenlithApplication::launchScanner scan folder does not exist:" << path;
        return;
    }
    // Collected a slice at a time; with no known checksums nothing starts.
    m_folderScanner->startScanning(m_onlineLibrary->fileHashCollector(), path, withUI);
}

void QuenlithApplication::scanFolder(QString initialFolderPath, QString newFolderPath)
{
    const auto normal = [](const QString &path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); };
    if (QFileInfo(newFolderPath).isDir() && normal(newFolderPath) == normal(initialFolderPath))
        return;
    launchScanner(newFolderPath, true);
}

void QuenlithApplication::onScanningChanged()
{
    setIsFolderScanning(m_folderScanner->scanning());
    if (m_folderScanner->scanning())
        emit libraryScanningStarted();
    else
        emit libraryScanningFinished();
}

void QuenlithApplication::doLogout()
{
    m_folderScanner->cancelScanning();
    m_remoteAPI->doLogout();
    m_onlineLibrary->clear();
    m_libraryModel->setFilterString(QString());
    QSettings store;
    store.setValue(kFirstLoginKey, true);
    Settings::protectStore(store);
}

void QuenlithApplication::askFreeSpace(const LibrarySync::FreeSpaceShortage &shortage)
{
    // Asked from the tray, the question would wait unseen in the hidden window.
    if (!m_view->isVisible())
        m_mainWindow->raise();
    // A new dialog object for each shortage, so that no answer of an older one reaches it.
    m_freeSpaceDialog = std::make_unique<FreeSpaceWarningDialog>(rootDialog("askFreeSpaceDialog"));
    m_freeSpaceDialog->ask(shortage.required, shortage.available, shortage.retry, shortage.cancel);
}

void QuenlithApplication::onLoggedInChanged()
{
    const bool loggedIn = m_remoteAPI->loggedIn();
    qDebug() << "QuenlithApplication::onLoggedInChanged:" << (loggedIn ? "True" : "False");
    m_mainWindow->setSignedIn(loggedIn);
    if (!loggedIn) {
        m_errorsListModel->clear();
        if (m_sync->isSyncing())
            switchLibrarySyncOff();
        else
            m_downloadManager->cancelAll();
        return;
    }
    if (QSettings().value(kFirstLoginKey, true).toBool())
        startFirstRefresh();
}

void QuenlithApplication::startFirstRefresh()
{
    // The flag is cleared only once the first refresh is saved: a kill before that leaves the
    // next start to refresh again rather than show an empty library.
    if (QQuickItem *root = m_view->rootObject())
        QMetaObject::invokeMethod(root, "showFirstLoginInfo");
    connect(m_remoteAPI, &RemoteAPI::refreshLibraryFinished, this, &QuenlithApplication::onFirstRefreshFinished,
            Qt::UniqueConnection);
    m_remoteAPI->refreshLibrary(1);
}

void QuenlithApplication::onFirstRefreshFinished(bool success)
{
    if (!success)
        return;
    // Connected after onTitlesRefreshFinished, which has saved the library by now.
    disconnect(m_remoteAPI, &RemoteAPI::refreshLibraryFinished, this, &QuenlithApplication::onFirstRefreshFinished);
    QSettings store;
    store.setValue(kFirstLoginKey, false);
    Settings::protectStore(store);
}

void QuenlithApplication::onAnyItemSeleted()
{
    if (m_libraryModel->isAnyFilteredSelected())
        m_isInSelectionMode = true;
    emit isInSelectionModeChanged();
}

void QuenlithApplication::handleDownloadFailedForItem(const FileOwner *item)
{
    if (!item)
        return;
    notifyError(LibraryErrorType::DownloadError, item->title(), m_onlineLibrary->indexByLibraryItem(item));
}

void QuenlithApplication::notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index)
{
    m_errorsListModel->addError(errorType, message, index);
}

void QuenlithApplication::saveModelDelayed()
{
    m_onlineLibrary->saveDelayed();
}

// xdg-open tells by its exit code whether a program took the file; the desktop services
// would only tell whether xdg-open started. It may wait for the viewer to close.
bool QuenlithApplication::openWithDesktop(const QString &path)
{
    auto *opener = new QProcess(this);
    const QString name = QFileInfo(path).fileName();
    const auto fail = [this, name] {
        QObject *bar = rootDialog("statusBar");
        if (bar)
            QMetaObject::invokeMethod(bar, "showError",
                                      Q_ARG(QVariant, tr("\"%1\" could not be opened: no program for it was found.").arg(name)));
    };
    connect(opener, &QProcess::errorOccurred, this, [opener, fail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        qDebug().nospace() << "WARNING: " << "Application: xdg-open could not be started";
        fail();
        opener->deleteLater();
    });
    connect(opener, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [opener, fail](int code, QProcess::ExitStatus status) {
                if (status == QProcess::NormalExit && code != 0) {
                    qDebug().nospace() << "WARNING: " << "Application: xdg-open failed with " << code;
                    fail();
                }
                opener->deleteLater();
            });
    opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->start(QStringLiteral("xdg-open"), {path});
    return true;
}

void QuenlithApplication::updateTrayProgress()
{
    QSystemTrayIcon *tray = m_mainWindow->trayIcon();
    const bool running = m_overallProgress->running();
    if (tray->property("busy").toBool() != running) {
        tray->setIcon(running ? busyTrayIcon() : QIcon(QStringLiteral(":/icons/icon-app-small.svg")));
        tray->setProperty("busy", running);
    }
    tray->setToolTip(running ? QString(Constants::ApplicationName + QLatin1Char('\n') + m_overallProgress->text())
                             : Constants::ApplicationName);
}

QObject *QuenlithApplication::rootDialog(const char *name) const
{
    QQuickItem *root = m_view->rootObject();
    if (!root)
        return nullptr;
    return root->property(name).value<QObject *>();
}

void QuenlithApplication::askUpdateFile(LibraryFile *file)
{
    if (!m_askUpdateFileDialog)
        m_askUpdateFileDialog = std::make_unique<AskUpdateFileDialog>(rootDialog("askUpdateFileDialog"), m_settings);
    m_askUpdateFileDialog->ask(file);
}

void QuenlithApplication::askDeleteFile(LibraryFile *file)
{
    if (!m_deleteFileDialog)
        m_deleteFileDialog = std::make_unique<DeleteFileDialog>(rootDialog("askDeleteDialog"));
    m_deleteFileDialog->ask(file);
}

QString QuenlithApplication::lastExistingDir(QString path)
{
    return FileSystemOps::lastExistingDir(path);
}

bool QuenlithApplication::isDirWritable(QString dir)
{
    // An empty or relative folder would put the files wherever the program happens to run.
    if (dir.trimmed().isEmpty() || !QDir::isAbsolutePath(dir))
        return false;
    const QString existing = lastExistingDir(dir);
    QTemporaryFile probe(existing + QStringLiteral("/temp_XXXXXX"));
    return probe.open() && QDir::isAbsolutePath(existing);
}

QString QuenlithApplication::selectFolderDialog(QString initialDir)
{
    return QFileDialog::getExistingDirectory(nullptr, tr("Open Directory"), initialDir,
                                             QFileDialog::ShowDirsOnly);
}
