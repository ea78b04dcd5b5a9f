#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DownloadManager;
class OnlineLibrary;
class RemoteAPI;
class Settings;

// "Download all" and "Download selected": refresh the library, check the library folder's free
// space, queue what is missing and end when the transfers are done or the user stops.
class LibrarySync : public QObject
{
    Q_OBJECT
public:
    // A shortage found by the free-space check. Whoever is asked calls retry() to run the same
    // check again or cancel() to give up; calls after another check began are ignored.
    struct FreeSpaceShortage {
        qint64 required = 0;
        qint64 available = 0;
        std::function<void()> retry;
        std::function<void()> cancel;
    };
    using FreeSpaceQuestion = std::function<void(const FreeSpaceShortage &shortage)>;
    // Bytes available to the user on the volume of a folder; -1 when it cannot be told.
    using SpaceProbe = std::function<qint64(const QString &folder)>;

    LibrarySync(RemoteAPI *api, OnlineLibrary *library, DownloadManager *manager, const Settings *settings,
                QObject *parent = nullptr);

    // Without a question a shortage is logged and the check gives up.
    void setFreeSpaceQuestion(FreeSpaceQuestion question);
    void setSpaceProbe(SpaceProbe probe);

    bool isSyncing() const { return m_isSyncing; }
    // A free-space question is waiting for its answer.
    bool isCheckingSpace() const { return m_checkSerial != 0; }

    static qint64 availableBytes(const QString &folder);

public slots:
    void switchSync();
    void switchOn();
    void switchOff();
    void downloadSelected();

signals:
    void isSyncingChanged();
    // The sync ended, however it did; the library's selection has been cleared.
    void ended();
    // The sync ended because every transfer it started was done.
    void completed();

private:
    void startSync();
    void startSyncFiles();
    void queueDownloads();
    void endSync();
    void onAllDownloadsFinished();
    void checkFreeSpace(const std::function<void()> &continuation, const std::function<void()> &retry,
                        const std::function<void()> &cancel);

    RemoteAPI *const m_api;
    OnlineLibrary *const m_library;
    DownloadManager *const m_manager;
    const Settings *const m_settings;
    FreeSpaceQuestion m_freeSpaceQuestion;
    SpaceProbe m_spaceProbe;
    QMetaObject::Connection m_waitForRefresh;
    bool m_isSyncing = false;
    // Non-zero while a shortage question is open; its answer counts only while it matches.
    quint64 m_checkSerial = 0;
    quint64 m_lastSerial = 0;
};
