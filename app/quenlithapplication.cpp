#include "quenlithapplication.h"

#include "app/constants.h"
#include "app/settings.h"
#include "downloads/filesystemops.h"
#include "downloads/libraryfile.h"
#include "library/errorslistmodel.h"
#include "library/libraryfiltertype.h"
#include "library/libraryitem.h"
#include "library/libraryitembadge.h"
#include "library/librarysortfiltermodel.h"

#include <QDataStream>
#include <QDesktopServices>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QWindow>

#include <thread>

namespace {

const QSize kMinimumWindowSize(820, 440);
const QSize kDefaultWindowSize(920, 700);

const QString kFirstLoginKey = QStringLiteral("firstLoginSettingsRefresh");
const QString kMaximizedKey = QStringLiteral("maximized");
const QString kGeometryKey = QStringLiteral("geometry");

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

} // namespace

QuenlithApplication::QuenlithApplication(int &argc, char **argv)
    : SingleApplication(argc, argv)
{
    m_networkAccessManager = new QNetworkAccessManager(this);

    m_downloadManager = std::make_unique<DownloadManager>();
    m_onlineLibrary = std::make_unique<OnlineLibrary>();
    m_libraryModel = std::make_unique<LibrarySortFilterModel>();
    m_errorsListModel = std::make_unique<ErrorsListModel>();
    m_settings = std::make_unique<Settings>();
    m_remoteAPI = std::make_unique<RemoteAPI>();
    m_sync = std::make_unique<LibrarySync>(m_remoteAPI.get(), m_onlineLibrary.get(), m_downloadManager.get(),
                                           m_settings.get());
    m_view = std::make_unique<QQuickView>();

    connect(m_settings.get(), &Settings::loggingEnabledChanged, this, [](bool enabled) {
        qDebug().nospace() << "INFO: " << "Logging: " << (enabled ? "Enabled" : "Disabled");
    });

    warmUpNetwork();
    FileSystemOps::setViewerOpener([](const QString &path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    });

    if (hasTextModelFlag(arguments()))
        m_onlineLibrary->setBinaryStore(false);

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
    connect(this, &QuenlithApplication::isSyncingChanged, this, &QuenlithApplication::updateSyncActionText);
    updateSyncActionText();
    connect(m_syncAction, &QAction::triggered, this, &QuenlithApplication::switchLibrarySync);

    QQmlContext *context = m_view->rootContext();
    context->setContextProperty(QStringLiteral("onlineLibrary"), m_onlineLibrary.get());
    context->setContextProperty(QStringLiteral("libraryModel"), m_libraryModel.get());
    context->setContextProperty(QStringLiteral("downloadManager"), m_downloadManager.get());
    context->setContextProperty(QStringLiteral("errorsListModel"), m_errorsListModel.get());
    context->setContextProperty(QStringLiteral("app"), this);

    m_view->setSource(QUrl(QStringLiteral("qrc:/MainForm.qml")));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setMinimumSize(kMinimumWindowSize);
    m_view->setTitle(Constants::ApplicationName);

    connect(this, &SingleApplication::raiseApp, this, &QuenlithApplication::raiseApp);
    connectObjects();

    m_onlineLibrary->load();
    restoreWindow();
}

QuenlithApplication::~QuenlithApplication() = default;

QuenlithApplication *QuenlithApplication::instance()
{
    return qobject_cast<QuenlithApplication *>(QCoreApplication::instance());
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
    connect(m_remoteAPI.get(), &RemoteAPI::titlesRefreshResult, m_onlineLibrary.get(),
            &OnlineLibrary::onTitlesRefreshResult);
    connect(m_remoteAPI.get(), &RemoteAPI::refreshLibraryFinished, this,
            &QuenlithApplication::onTitlesRefreshFinished);
    connect(this, &QuenlithApplication::libraryScanningFinished, m_onlineLibrary.get(),
            &OnlineLibrary::saveDelayed);
    connect(m_remoteAPI.get(), &RemoteAPI::loggedInChanged, this, &QuenlithApplication::onLoggedInChanged);
    connect(m_settings.get(), &Settings::simultaneousDownloadsChanged, m_downloadManager.get(),
            &DownloadManager::processQueue);
    connect(m_downloadManager.get(), &DownloadManager::downloadFailedForItem, this,
            &QuenlithApplication::handleDownloadFailedForItem);
    connect(this, &QCoreApplication::aboutToQuit, this, &QuenlithApplication::onAboutToQuit);
    connect(m_libraryModel.get(), &LibrarySortFilterModel::isAnyFilteredSelectedChanged, this,
            &QuenlithApplication::onAnyItemSeleted);
}

void QuenlithApplication::restoreWindow()
{
    const QSettings store;
    if (store.value(kMaximizedKey, false).toBool()) {
        m_view->showMaximized();
        return;
    }
    const QVariant geometry = store.value(kGeometryKey);
    if (geometry.userType() == QMetaType::QRect && geometry.toRect().isValid())
        m_view->setGeometry(geometry.toRect());
    else
        m_view->resize(kDefaultWindowSize);
    m_view->showNormal();
}

void QuenlithApplication::saveWindowState()
{
    QSettings store;
    const bool maximized = m_view->windowState() == Qt::WindowMaximized;
    store.setValue(kMaximizedKey, maximized);
    if (!maximized)
        store.setValue(kGeometryKey, m_view->geometry());
    Settings::protectStore(store);
}

void QuenlithApplication::onAboutToQuit()
{
    qDebug().nospace() << "INFO: " << "Application: About to quit";
    saveWindowState();
    m_downloadManager->stopAll();
    m_onlineLibrary->save();
}

void QuenlithApplication::raiseApp()
{
    m_view->raise();
    if (m_remoteAPI->loggedIn()) {
        if (m_view->windowState() & Qt::WindowMaximized) {
            qDebug().nospace() << "INFO: " << "MainWindow: maximized";
            m_view->hide();
            m_view->showMaximized();
            m_view->requestActivate();
            return;
        }
        qDebug().nospace() << "INFO: " << "MainWindow: normal";
        m_view->hide();
        m_view->showNormal();
    }
    m_view->requestActivate();
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
    // Every good refresh ends with the library's own refresh handling, which saves it.
    if (success)
        m_onlineLibrary->onTitlesRefreshFinished();
}

void QuenlithApplication::onLoggedInChanged()
{
    const bool loggedIn = m_remoteAPI->loggedIn();
    qDebug() << "QuenlithApplication::onLoggedInChanged:" << (loggedIn ? "True" : "False");
    if (!loggedIn) {
        if (m_sync->isSyncing())
            switchLibrarySyncOff();
        else
            m_downloadManager->cancelAll();
        return;
    }
    if (!QSettings().value(kFirstLoginKey, true).toBool())
        return;
    // The flag is cleared only once the first refresh is saved: a kill before that leaves the
    // next start to refresh again rather than show an empty library.
    if (QQuickItem *root = m_view->rootObject())
        QMetaObject::invokeMethod(root, "showFirstLoginInfo");
    connect(m_remoteAPI.get(), &RemoteAPI::refreshLibraryFinished, this, &QuenlithApplication::onFirstRefreshFinished,
            Qt::UniqueConnection);
    m_remoteAPI->refreshLibrary(1);
}

void QuenlithApplication::onFirstRefreshFinished(bool success)
{
    if (!success)
        return;
    // Connected after onTitlesRefreshFinished, which has saved the library by now.
    disconnect(m_remoteAPI.get(), &RemoteAPI::refreshLibraryFinished, this, &QuenlithApplication::onFirstRefreshFinished);
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

void QuenlithApplication::handleDownloadFailedForItem(const LibraryItem *item)
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

QObject *QuenlithApplication::rootDialog(const char *name) const
{
    QQuickItem *root = m_view->rootObject();
    if (!root)
        return nullptr;
    return root->property(name).value<QObject *>();
}

void QuenlithApplication::askUpdateFile(LibraryFile *file)
{
    if (!rootDialog("askUpdateFileDialog")) {
        qDebug().nospace() << "WARNING: " << "Application: No update question for " << file->serverFileName();
        return;
    }
    qDebug().nospace() << "WARNING: " << "Application: Update questions are not supported, keeping "
                       << file->serverFileName();
}

void QuenlithApplication::askDeleteFile(LibraryFile *file)
{
    QObject *dialog = rootDialog("askDeleteDialog");
    if (!dialog || !file) {
        qDebug().nospace() << "WARNING: " << "Application: No delete question available";
        return;
    }
    QMetaObject::invokeMethod(dialog, "open");
    const QMetaMethod accepted = dialog->metaObject()->method(
        dialog->metaObject()->indexOfSignal("accepted()"));
    const QMetaMethod deleteFile = file->metaObject()->method(
        file->metaObject()->indexOfMethod("deleteFile()"));
    connect(dialog, accepted, file, deleteFile, Qt::UniqueConnection);
}

QString QuenlithApplication::lastExistingDir(QString path)
{
    return FileSystemOps::lastExistingDir(path);
}

bool QuenlithApplication::isDirWritable(QString dir)
{
    const QString existing = lastExistingDir(dir);
    QTemporaryFile probe(existing + QStringLiteral("/temp_XXXXXX"));
    return probe.open() && QDir::isAbsolutePath(existing);
}

QString QuenlithApplication::selectFolderDialog(QString initialDir)
{
    return QFileDialog::getExistingDirectory(nullptr, tr("Open Directory"), initialDir,
                                             QFileDialog::ShowDirsOnly);
}
