#include "folderscannertask.h"

#include "downloads/filehasher.h"
#include "downloads/libraryfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QVector>

#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#endif
#endif

namespace {

// Updates go to the main thread in batches: one queued call per match would flood its event
// loop when thousands of copies are found.
const int kMaxBatch = 256;
const qint64 kMaxBatchDelayMs = 50;
// How many files the tables take in between two looks at the cancelled flag.
const int kIndexCancelStride = 1024;

// The saved library keeps whole seconds, so a recorded time without milliseconds matches any
// time within its second.
bool isBelow(const QString &path, const QString &root)
{
    return !path.isEmpty() && (root == QLatin1String("/") ? path.size() > 1 : path.startsWith(root + QLatin1Char('/')));
}

bool sameModificationTime(const QDateTime &recorded, qint64 actualMs)
{
    const qint64 recordedMs = recorded.toMSecsSinceEpoch();
    if (recordedMs == actualMs)
        return true;
    return recordedMs % 1000 == 0 && actualMs > recordedMs && actualMs - recordedMs < 1000;
}

} // namespace

struct FolderScannerTask::Candidate {
    QString path;
    qint64 size = 0;
    // The library file whose download path this is, or -1.
    int knownFile = -1;
    bool recordModified = false;
};

FolderScannerTask::FolderScannerTask(const FolderScannerTaskData &data)
    : m_data(data)
{
}

FolderScannerTask::~FolderScannerTask() = default;

void FolderScannerTask::requestCancel()
{
    QWriteLocker locker(&m_cancelLock);
    m_cancelled = true;
}

bool FolderScannerTask::isCancelled() const
{
    QReadLocker locker(&m_cancelLock);
    return m_cancelled;
}

bool FolderScannerTask::isRunning() const
{
    QReadLocker locker(&m_runningLock);
    return m_running;
}

qint64 FolderScannerTask::hashedBytes() const
{
    QReadLocker locker(&m_bytesLock);
    return m_hashedBytes;
}

void FolderScannerTask::setRunning(bool running)
{
    QWriteLocker locker(&m_runningLock);
    m_running = running;
}

void FolderScannerTask::execute()
{
#ifdef Q_OS_LINUX
    // Qt's thread priorities do not reach the ordinary scheduler here; a thread's own nice
    // value does, so the scan yields to the window and to downloads.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
#endif
    searchFilesInFolderByHash();
}

bool FolderScannerTask::searchFilesInFolderByHash()
{
    // A cancel that came before the thread got here still counts: this task is used once.
    setRunning(true);
    m_flushClock.start();
    m_total = 0;
    m_done = 0;
    m_reportedPercent = -1;
    emit scanningStarted();
    reportProgress(0.0);

    if (!m_data.isEmpty() && buildIndexes()) {
        QVector<Candidate> candidates;
        if (listCandidates(candidates, m_total)) {
            FileHasher hasher;
            for (const Candidate &candidate : qAsConst(candidates)) {
                if (isCancelled())
                    break;
                const qint64 listedSize = candidate.size;
                const FileHasher::Result hashed = hasher.hash(
                    candidate.path, [this] { return isCancelled(); },
                    [this, listedSize](qint64 bytes, qint64 fileDone) { addHashed(bytes, fileDone, listedSize); });
                if (hashed.outcome == FileHasher::Outcome::Canceled)
                    break;
                const QString &hash = hashed.digest;
                const qint64 modifiedMs = hashed.modifiedMs;
                if (hashed.outcome == FileHasher::Outcome::Ok && !isCancelled()) {
                    const QVector<int> files = m_filesByHash.value(hash);
                    // The modification time of the copy at a file's own path is recorded once
                    // its content is known, so that a rescan skips it.
                    if (candidate.knownFile >= 0 && (candidate.recordModified || files.contains(candidate.knownFile))) {
                        Update update;
                        update.kind = Update::RecordModified;
                        update.file = candidate.knownFile;
                        update.path = candidate.path;
                        update.modifiedMs = modifiedMs;
                        queueUpdate(update);
                    }
                    for (const int file : files) {
                        Update update;
                        update.kind = Update::Found;
                        update.file = file;
                        update.path = candidate.path;
                        update.hash = hash;
                        queueUpdate(update);
                    }
                }
                m_done += candidate.size;
                reportProgress(m_total > 0 ? double(m_done) * 100.0 / double(m_total) : 100.0);
            }
        }
    }
    m_filesByHash.clear();
    m_filesByPath.clear();

    flushUpdates();
    emit scanningProgress(100.0);
    setRunning(false);
    if (isCancelled())
        emit scanningCanceled();
    else
        emit scanningFinished();
    return true;
}

bool FolderScannerTask::buildIndexes()
{
    const int count = m_data.fileCount();
    m_filesByHash.clear();
    m_filesByPath.clear();
    m_filesByHash.reserve(count);
    m_filesByPath.reserve(count);
    for (int index = 0; index < count; ++index) {
        if (index % kIndexCancelStride == 0 && isCancelled())
            return false;
        for (const QString &hash : m_data.hashes(index))
            m_filesByHash[hash].append(index);
        // Two files with one path: the later one is the file that path names.
        m_filesByPath.insert(QDir::cleanPath(m_data.downloadPath(index)), index);
    }
    return true;
}

bool FolderScannerTask::listCandidates(QVector<Candidate> &candidates, qint64 &total)
{
    const QString root = QDir::cleanPath(QDir(m_data.folder()).absolutePath());
    // Links inside the folder are followed, so a directory is entered once by its real path: a link to an
    // ancestor would otherwise walk the same tree again and again. The real path of a folder
    // reached without a link is its parent's plus its name, which spares a lookup per folder.
    QSet<QString> visited;
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        return true;
    visited.insert(canonicalRoot);
    QVector<QPair<QString, QString>> pending{{root, canonicalRoot}};

    while (!pending.isEmpty()) {
        const QPair<QString, QString> dir = pending.takeLast();
        QDirIterator it(dir.first, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        QVector<QPair<QString, QString>> subdirs;
        while (it.hasNext()) {
            if (isCancelled())
                return false;
            const QString path = it.next();
            const QFileInfo info = it.fileInfo();
            // A link is followed only where it stays inside the folder: a copy found through
            // one that leads out would be recorded, and later deleted, outside the library.
            if (info.isSymLink() && !isBelow(info.canonicalFilePath(), canonicalRoot))
                continue;
            if (info.isDir()) {
                const QString canonical = info.isSymLink() ? info.canonicalFilePath()
                                                           : dir.second + QLatin1Char('/') + info.fileName();
                if (!canonical.isEmpty() && !visited.contains(canonical)) {
                    visited.insert(canonical);
                    subdirs.append({path, canonical});
                }
                continue;
            }
            // Devices, pipes and sockets are never a book, and a pipe would block the read. A
            // transfer's temporary file belongs to its download, verified or not.
            if (!info.isFile() || LibraryFile::isPartialName(path))
                continue;

            Candidate candidate;
            candidate.path = path;
            candidate.size = info.size();
            candidate.knownFile = m_filesByPath.value(path, -1);
            if (candidate.knownFile >= 0) {
                const QDateTime recorded = m_data.recordedModified(candidate.knownFile);
                if (recorded.isValid()) {
                    if (sameModificationTime(recorded, info.lastModified().toMSecsSinceEpoch()))
                        continue;
                } else {
                    candidate.recordModified = true;
                }
            }
            total += candidate.size;
            candidates.append(candidate);
        }
        // Subfolders in listing order, depth first.
        for (int i = subdirs.size() - 1; i >= 0; --i)
            pending.append(subdirs.at(i));
    }
    return true;
}

void FolderScannerTask::addHashed(qint64 bytes, qint64 fileDone, qint64 listedSize)
{
    {
        QWriteLocker locker(&m_bytesLock);
        m_hashedBytes += bytes;
    }
    if (m_total > 0)
        reportProgress(double(m_done + qMin(fileDone, listedSize)) * 100.0 / double(m_total));
}

void FolderScannerTask::reportProgress(double progress)
{
    // The scanner shows whole percents; finer steps would only be more queued calls.
    const int percent = int(progress);
    if (percent == m_reportedPercent)
        return;
    m_reportedPercent = percent;
    // The updates behind this progress arrive first.
    flushUpdates();
    emit scanningProgress(progress);
}

void FolderScannerTask::queueUpdate(Update update)
{
    m_updates.append(std::move(update));
    if (m_updates.size() >= kMaxBatch || m_flushClock.elapsed() >= kMaxBatchDelayMs)
        flushUpdates();
}

void FolderScannerTask::flushUpdates()
{
    m_flushClock.restart();
    if (m_updates.isEmpty())
        return;
    emit filesUpdated(m_updates);
    m_updates.clear();
}
