#pragma once

#include "downloads/filequestions.h"
#include "app/core/librarysync.h"
#include "app/core/settings.h"
#include "app/singleapplication.h"
#include "api/remoteapi.h"
#include "downloads/downloadmanager.h"
#include "library/onlinelibrary.h"

#include <QAction>

#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ApplicationUpdater;
class AskUpdateFileDialog;
class CoreServices;
class DeleteFileDialog;
class DesktopNotifier;
class ErrorsListModel;
class FileActions;
class FolderRevealer;
class FolderScanner;
class FreeSpaceWarningDialog;
class LibraryItem;
class LibrarySortFilterModel;
class LibraryVerification;
class MainWindow;
class OverallProgress;
class QNetworkAccessManager;
class QQuickView;
class Translations;

// The application object: owns every long-lived object, publishes them to QML as `app`, and
// carries the operations that span several of them.
class QuenlithApplication : public SingleApplication, public FileQuestions
{
    Q_OBJECT
    Q_PROPERTY(Settings *settings READ settings CONSTANT)
    Q_PROPERTY(RemoteAPI *remoteAPI READ remoteAPI CONSTANT)
    Q_PROPERTY(ApplicationUpdater *updater READ updater CONSTANT)
    Q_PROPERTY(FolderScanner *folderScanner READ folderScanner CONSTANT)
    Q_PROPERTY(bool isFolderScanning READ isFolderScanning WRITE setIsFolderScanning NOTIFY folderScanningChanged)
    Q_PROPERTY(QAction *syncAction READ syncAction CONSTANT)
    Q_PROPERTY(bool isSyncing READ isSyncing NOTIFY isSyncingChanged)
    Q_PROPERTY(bool isDebug READ isDebug CONSTANT)
    Q_PROPERTY(bool isMobile READ isMobile CONSTANT)
    Q_PROPERTY(bool isFirstLoginInfo READ isFirstLoginInfo WRITE setIsFirstLoginInfo NOTIFY isFirstLoginInfoChanged)
    Q_PROPERTY(bool isInSelectionMode READ isInSelectionMode WRITE setIsInSelectionMode NOTIFY isInSelectionModeChanged)
    Q_PROPERTY(DownloadManager *downloadManager READ downloadManager CONSTANT)
    Q_PROPERTY(OverallProgress *overallProgress READ overallProgress CONSTANT)

public:
    QuenlithApplication(int &argc, char **argv);
    ~QuenlithApplication() override;

    QNetworkAccessManager *networkAccessManager() const { return m_networkAccessManager; }
    RemoteAPI *remoteAPI() const { return m_remoteAPI; }
    Settings *settings() const { return m_settings; }
    DownloadManager *downloadManager() const { return m_downloadManager; }
    OnlineLibrary *onlineLibrary() const { return m_onlineLibrary.get(); }
    OverallProgress *overallProgress() const { return m_overallProgress.get(); }
    bool isSyncing() const { return m_sync->isSyncing(); }

    // FileQuestions
    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *file) override;

    LibrarySortFilterModel *libraryModel() const { return m_libraryModel.get(); }
    ErrorsListModel *errorsListModel() const { return m_errorsListModel.get(); }
    QQuickView *view() const { return m_view.get(); }
    QAction *syncAction() const { return m_syncAction; }
    ApplicationUpdater *updater() const { return m_updater.get(); }
    FolderScanner *folderScanner() const { return m_folderScanner.get(); }

    bool isFolderScanning() const { return m_isFolderScanning; }
    void setIsFolderScanning(bool scanning);
    bool isDebug() const { return false; }
    bool isMobile() const { return false; }
    bool isFirstLoginInfo() const { return m_isFirstLoginInfo; }
    void setIsFirstLoginInfo(bool on);
    bool isInSelectionMode() const { return m_isInSelectionMode; }
    void setIsInSelectionMode(bool on);

    Q_INVOKABLE QString selectFolderDialog(QString initialDir = QString());
    Q_INVOKABLE bool isDirWritable(QString dir);
    Q_INVOKABLE QString lastExistingDir(QString path);
    Q_INVOKABLE void scanFolder(QString initialFolderPath, QString newFolderPath);
    Q_INVOKABLE void notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index);

    static bool hasTextModelFlag(const QStringList &arguments);

public slots:
    void raiseApp();
    void switchLibrarySync();
    void switchLibrarySyncOn();
    void switchLibrarySyncOff();
    void downloadSelected();
    void doLogout();
    void saveModelDelayed();
    void handleDownloadFailedForItem(const FileOwner *item);

signals:
    void isSyncingChanged();
    void libraryScanningFinished();
    void libraryScanningStarted();
    void isFirstLoginInfoChanged();
    void folderScanningChanged();
    void isInSelectionModeChanged();

private slots:
    void onScanningChanged();
    void onTitlesRefreshFinished(bool success);
    void onAnyItemSeleted();
    void onLoggedInChanged();
    void onAboutToQuit();
    void onFirstRefreshFinished(bool success);

private:
    void registerFonts();
    void createAppDataDir();
    void registerTypes();
    void connectObjects();
    void updateSyncActionText();
    void launchScanner(const QString &path, bool withUI);
    void startFirstRefresh();
    void askFreeSpace(const LibrarySync::FreeSpaceShortage &shortage);
    QObject *rootDialog(const char *name) const;
    void updateTrayProgress();
    bool openWithDesktop(const QString &path);

    QNetworkAccessManager *m_networkAccessManager = nullptr;
    QAction *m_syncAction = nullptr;
    bool m_isFirstLoginInfo = true;
    bool m_isFolderScanning = false;
    bool m_isInSelectionMode = false;
    // First made, last gone: every text below is read through it.
    std::unique_ptr<Translations> m_translations;
    // Made first and gone last: everything below points at its objects.
    std::unique_ptr<CoreServices> m_core;
    Settings *m_settings = nullptr;
    RemoteAPI *m_remoteAPI = nullptr;
    DownloadManager *m_downloadManager = nullptr;
    std::unique_ptr<OverallProgress> m_overallProgress;
    std::unique_ptr<FileActions> m_fileActions;
    std::unique_ptr<OnlineLibrary> m_onlineLibrary;
    std::unique_ptr<LibrarySortFilterModel> m_libraryModel;
    std::unique_ptr<ErrorsListModel> m_errorsListModel;
    std::unique_ptr<LibrarySync> m_sync;
    std::unique_ptr<QQuickView> m_view;
    std::unique_ptr<ApplicationUpdater> m_updater;
    std::unique_ptr<FolderScanner> m_folderScanner;
    std::unique_ptr<AskUpdateFileDialog> m_askUpdateFileDialog;
    std::unique_ptr<FreeSpaceWarningDialog> m_freeSpaceDialog;
    std::unique_ptr<DeleteFileDialog> m_deleteFileDialog;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<FolderRevealer> m_folderRevealer;
    std::unique_ptr<LibraryVerification> m_verification;
};
