#pragma once

#include "downloads/downloadresult.h"
#include "downloads/libraryfile.h"
#include "downloads/ratelimiter.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>

class Downloader;
class RemoteAPI;
class Settings;

// The owner of every status change of a transfer: it keeps the queue, the running transfers
// and their slot limit, makes the downloaders and decides what their outcome means. The file
// records the status it is given and announces it.
class DownloadManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int downloadsRemain READ downloadsRemain NOTIFY downloadsRemainChanged)
    Q_PROPERTY(int syncingProgress READ syncingProgress NOTIFY syncingProgressChanged)

public:
    DownloadManager(RemoteAPI *api, Settings *settings, QObject *parent = nullptr);
    ~DownloadManager() override;

    void setFileStatus(LibraryFile *file, LibraryFile::Status status);
    // A file that was queued when the library was saved joins the queue again.
    void restoreQueued(LibraryFile *file);
    // A scan found the file's copy: it is downloaded, or its update still waits.
    void markFound(LibraryFile *file);
    // The copy the file recorded is gone: it is remote, with nothing to resume from.
    void forgetCopy(LibraryFile *file);
    // Failures of files that are not transfers (a delete, a rename) go to the errors list.
    void reportFileError(LibraryFile *file, const QString &message);
    // While a sync runs, files do not ask the service for fresh product details.
    bool isSyncing() const { return m_syncing; }
    void setSyncing(bool syncing) { m_syncing = syncing; }
    void processQueue();
    bool isDownloading() const { return !m_activeFiles.isEmpty(); }
    void stopAll();
    void cancelAll();

    int downloadsRemain() const;
    int syncingProgress() const;
    // The bytes of the current batch, as syncingProgress() counts them.
    qint64 batchBytesDone() const { return m_syncDoneBytes; }
    qint64 batchBytesTotal() const { return m_syncTotalBytes; }
    // The transfer of a file while it has one.
    Downloader *downloaderOf(const LibraryFile *file) const;
    // The one speed limit every transfer of this manager shares.
    RateLimiter &rateLimiter() { return m_limiter; }

signals:
    void allDownloadsFinished();
    void downloadsRemainChanged();
    void syncingProgressChanged();
    void downloadFailedForItem(FileOwner *libraryItem);
    // A transfer left the running ones with this status.
    void transferEnded(LibraryFile::Status status);
    void fileErrorReported(FileOwner *libraryItem, QString message);

private slots:
    void updateSyncingProgress();
    void scheduleSyncingProgress();

private:
    void startNext();
    void start(LibraryFile *file);
    void queue(LibraryFile *file);
    Downloader *downloaderFor(LibraryFile *file);
    void applyResult(LibraryFile *file, const DownloadResult &result);
    void updateDownloadsRemain();
    bool loggedIn() const;
    void enqueue(LibraryFile *file);
    void activate(LibraryFile *file);
    void deactivate(LibraryFile *file);
    // The part of leaving Downloading that comes before the file records its new status.
    void leaveActive(LibraryFile *file, LibraryFile::Status status);
    void forgetActiveFile(LibraryFile *file);
    // Stops a file's transfer where it is and leaves the file paused or remote.
    void halt(LibraryFile *file);

    RemoteAPI *const m_api;
    Settings *const m_settings;
    RateLimiter m_limiter;

    QSet<LibraryFile *> m_activeFiles;
    // Each dies with its file, or once its file is downloaded.
    QHash<const LibraryFile *, QPointer<Downloader>> m_downloaders;
    QList<QPointer<LibraryFile>> m_queue;
    qint32 m_remainCount = 0;
    qint64 m_syncDoneBytes = 0;
    qint64 m_syncTotalBytes = 0;
    bool m_syncingProgressScheduled = false;
    // Bytes of the files that finished as Downloaded in the current batch.
    qint64 m_finishedBytes = 0;
    // Active files are held as plain pointers; a file that dies must leave the set.
    QHash<LibraryFile *, QMetaObject::Connection> m_destroyWatch;
    bool m_processing = false;
    bool m_syncing = false;
};
