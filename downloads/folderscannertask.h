#pragma once

#include "downloads/folderscannertaskdata.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QVector>

#include <functional>

// The walk and the hashing of one folder scan, on a worker thread. It never touches library
// files: what it learns goes to the main thread as updates naming files by their index in the
// task data, in the order the scan makes them.
class FolderScannerTask : public QObject
{
    Q_OBJECT

public:
    struct Update {
        enum Kind {
            // The file's localLastModified becomes `modified` (the copy at its download path).
            RecordModified,
            // A copy with one of the file's checksums lies at `path`.
            Found
        };
        Kind kind = Found;
        int file = -1;
        QString path;
        QString hash;
        qint64 modifiedMs = 0;
    };
    using Updates = QVector<Update>;

    explicit FolderScannerTask(const FolderScannerTaskData &data);
    ~FolderScannerTask() override;

    void requestCancel();
    bool isCancelled() const;
    bool isRunning() const;
    // Bytes read for hashing so far; any thread.
    qint64 hashedBytes() const;

public slots:
    void execute();
    bool searchFilesInFolderByHash();

signals:
    void scanningStarted();
    void scanningCanceled();
    void scanningFinished();
    void scanningProgress(double progress);
    void filesUpdated(const FolderScannerTask::Updates &updates);

private:
    struct Candidate;

    void setRunning(bool running);
    // The lookup tables, made here rather than on the main thread; false when cancelled.
    bool buildIndexes();
    bool listCandidates(QVector<Candidate> &candidates, qint64 &total);
    void addHashed(qint64 bytes, qint64 fileDone, qint64 listedSize);
    void reportProgress(double progress);
    void queueUpdate(Update update);
    void flushUpdates();

    const FolderScannerTaskData m_data;
    mutable QReadWriteLock m_runningLock;
    bool m_running = false;
    mutable QReadWriteLock m_cancelLock;
    bool m_cancelled = false;
    mutable QReadWriteLock m_bytesLock;
    qint64 m_hashedBytes = 0;

    // Worker-side state of the current run.
    QHash<QString, QVector<int>> m_filesByHash;
    QHash<QString, int> m_filesByPath;
    Updates m_updates;
    QElapsedTimer m_flushClock;
    qint64 m_total = 0;
    qint64 m_done = 0;
    int m_reportedPercent = -1;
};

Q_DECLARE_METATYPE(FolderScannerTask::Update)
Q_DECLARE_METATYPE(FolderScannerTask::Updates)
