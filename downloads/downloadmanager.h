#pragma once

#include "downloads/libraryfile.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>

class LibraryItem;

// The single gate for user-driven status changes of library files: the queue, the running
// transfers and their slot limit.
class DownloadManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int downloadsRemain READ downloadsRemain NOTIFY downloadsRemainChanged)
    Q_PROPERTY(int syncingProgress READ syncingProgress NOTIFY syncingProgressChanged)

public:
    explicit DownloadManager(QObject *parent = nullptr);
    ~DownloadManager() override;

    void setFileStatus(LibraryFile *file, LibraryFile::Status status);
    void processQueue();
    bool isDownloading() const { return !m_activeFiles.isEmpty(); }
    void stopAll();
    void cancelAll();

    int downloadsRemain() const;
    int syncingProgress() const;

signals:
    void allDownloadsFinished();
    void downloadsRemainChanged();
    void syncingProgressChanged();
    void downloadFailedForItem(LibraryItem *libraryItem);

private slots:
    void updateSyncingProgress();
    void scheduleSyncingProgress();

private:
    void startNext();
    void updateDownloadsRemain();
    bool loggedIn() const;
    int simultaneousDownloads() const;
    void enqueue(LibraryFile *file);
    void activate(LibraryFile *file);
    void deactivate(LibraryFile *file);
    // The part of leaving Downloading that comes before the file's own status changes.
    void leaveActive(LibraryFile *file, LibraryFile::Status status);
    void forgetActiveFile(LibraryFile *file);

    QSet<LibraryFile *> m_activeFiles;
    QList<QPointer<LibraryFile>> m_queue;
    qint32 m_remainCount = 0;
    qint64 m_syncDoneBytes = 0;
    qint64 m_syncTotalBytes = 0;
    bool m_syncingProgressScheduled = false;
    // Bytes of the files that finished as Downloaded in the current batch.
    qint64 m_finishedBytes = 0;
    // Files whose local copy is being deleted on their way out of DownloadError.
    QSet<LibraryFile *> m_deletingFiles;
    // Active files are held as plain pointers; a file that dies must leave the set.
    QHash<LibraryFile *, QMetaObject::Connection> m_destroyWatch;
    bool m_processing = false;
};
