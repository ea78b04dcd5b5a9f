#include "downloadmanager.h"

#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/bytecount.h"
#include "downloads/downloader.h"

#include <QTimer>
#include <QVariant>

namespace {

QVariant purchaseDate(const LibraryFile *file)
{
    return file->item() ? QVariant(file->item()->datePurchased()) : QVariant();
}

// What one file weighs in the batch: the service's size, or the announced length of the running
// transfer when the service gave none.
qint64 batchShare(const LibraryFile *file)
{
    return qMax<qint64>(0, qMax(file->totalSize(), file->dlSize()));
}

qint64 bytesDone(const LibraryFile *file)
{
    return ByteCount::fraction(file->downloadProgress(), batchShare(file));
}

} // namespace

DownloadManager::DownloadManager(RemoteAPI *api, Settings *settings, QObject *parent)
    : QObject(parent), m_api(api), m_settings(settings)
{
}

DownloadManager::~DownloadManager() = default;

bool DownloadManager::loggedIn() const
{
    return m_api->loggedIn();
}

void DownloadManager::setFileStatus(LibraryFile *file, LibraryFile::Status status)
{
    if (!file)
        return;
    const LibraryFile::Status current = file->status();
    if (current == status)
        return;
    if (status == LibraryFile::Downloaded && current == LibraryFile::DownloadError)
        return;
    const bool active = m_activeFiles.contains(file);

    if (status == LibraryFile::Queued) {
        // A running transfer is already past the queue.
        if (!active)
            queue(file);
        return;
    }
    if (status == LibraryFile::Downloading) {
        start(file);
        return;
    }

    if (current == LibraryFile::Queued) {
        m_queue.removeAll(file);
        updateDownloadsRemain();
    }
    if (current == LibraryFile::DownloadError)
        file->removeLocalCopy();
    if (Downloader *downloader = downloaderOf(file)) {
        if (status == LibraryFile::Remote)
            downloader->cancel();
        else if (status == LibraryFile::Downloaded)
            downloader->deleteLater();
        else if (status == LibraryFile::DownloadPaused)
            downloader->pause();
    }
    if (active)
        leaveActive(file, status);
    file->setStatus(status);
    updateSyncingProgress();
}

void DownloadManager::restoreQueued(LibraryFile *file)
{
    if (!file || file->status() != LibraryFile::Queued || m_activeFiles.contains(file) || m_queue.contains(file))
        return;
    queue(file);
}

void DownloadManager::markFound(LibraryFile *file)
{
    file->recordFoundCopy();
}

void DownloadManager::forgetCopy(LibraryFile *file)
{
    file->forgetCopy();
}

void DownloadManager::reportFileError(LibraryFile *file, const QString &message)
{
    emit fileErrorReported(file->item(), message);
}

void DownloadManager::queue(LibraryFile *file)
{
    enqueue(file);
    file->setStatus(LibraryFile::Queued);
    processQueue();
    updateDownloadsRemain();
    // The sum runs over the whole queue: once for a burst of queued files (a library loading
    // thousands of them), not once per file.
    scheduleSyncingProgress();
}

void DownloadManager::start(LibraryFile *file)
{
    if (file->status() == LibraryFile::Queued)
        m_queue.removeAll(file);
    activate(file);
    if (!file->prepareFolder(m_settings->libraryDirectory())) {
        leaveActive(file, LibraryFile::DownloadError);
        file->setStatus(LibraryFile::DownloadError);
        updateSyncingProgress();
        return;
    }
    Downloader *downloader = downloaderFor(file);
    file->setStatus(LibraryFile::Downloading);
    downloader->start();
    updateDownloadsRemain();
    updateSyncingProgress();
}

Downloader *DownloadManager::downloaderOf(const LibraryFile *file) const
{
    return m_downloaders.value(file);
}

Downloader *DownloadManager::downloaderFor(LibraryFile *file)
{
    if (Downloader *existing = downloaderOf(file))
        return existing;
    auto *downloader = new Downloader(file, m_api, m_limiter);
    connect(downloader, &Downloader::downloadedProgress, file, &LibraryFile::onDownloadedProgress);
    connect(downloader, &Downloader::bytesOnDiskChanged, file, &LibraryFile::setDownloadedSize);
    connect(downloader, &Downloader::lengthAnnounced, file, &LibraryFile::setDlSize);
    connect(downloader, &Downloader::checksumsReceived, file, &LibraryFile::updateChecksums);
    connect(downloader, &Downloader::finished, this,
            [this, file](const DownloadResult &result) { applyResult(file, result); });
    connect(downloader, &QObject::destroyed, this, [this, file] {
        const auto entry = m_downloaders.find(file);
        if (entry != m_downloaders.end() && entry->isNull())
            m_downloaders.erase(entry);
    });
    m_downloaders.insert(file, downloader);
    return downloader;
}

void DownloadManager::applyResult(LibraryFile *file, const DownloadResult &result)
{
    if (result.checked) {
        file->setLocalFileHash(result.digest);
        file->setLocalLastModified(result.localLastModified);
    }
    if (result.outcome == DownloadResult::Failed) {
        file->setErrorMessage(result.errorText);
        setFileStatus(file, LibraryFile::DownloadError);
        if (result.resumeFrom >= 0)
            file->setDownloadedSize(result.resumeFrom);
        return;
    }
    file->setLastModified(result.lastModified);
    setFileStatus(file, LibraryFile::Downloaded);
    // A copy no digest vouches for is not kept as downloaded. It has left the transfers by now,
    // so its failure is announced here, or the window would never hear of it.
    if (result.outcome == DownloadResult::Unconfirmed) {
        file->setErrorMessage(result.errorText);
        setFileStatus(file, LibraryFile::DownloadError);
        emit downloadFailedForItem(file->item());
    }
}

void DownloadManager::enqueue(LibraryFile *file)
{
    // Newest purchase first; equal dates keep the order in which they were queued.
    const QVariant date = purchaseDate(file);
    int low = 0;
    int high = m_queue.size();
    while (low < high) {
        const int middle = (low + high) / 2;
        const LibraryFile *entry = m_queue.at(middle);
        const QVariant entryDate = entry ? purchaseDate(entry) : QVariant();
        if (entry && entryDate < date)
            high = middle;
        else
            low = middle + 1;
    }
    m_queue.insert(low, file);
}

void DownloadManager::activate(LibraryFile *file)
{
    m_activeFiles.insert(file);
    connect(file, QOverload<LibraryFile *>::of(&LibraryFile::downloadProgress), this, &DownloadManager::updateSyncingProgress,
            Qt::UniqueConnection);
    if (!m_destroyWatch.contains(file)) {
        m_destroyWatch.insert(file, connect(file, &QObject::destroyed, this, [this, file] {
            forgetActiveFile(file);
        }));
    }
}

void DownloadManager::deactivate(LibraryFile *file)
{
    m_activeFiles.remove(file);
    disconnect(file, QOverload<LibraryFile *>::of(&LibraryFile::downloadProgress), this, &DownloadManager::updateSyncingProgress);
    disconnect(m_destroyWatch.take(file));
}

void DownloadManager::leaveActive(LibraryFile *file, LibraryFile::Status status)
{
    deactivate(file);
    if (status == LibraryFile::Downloaded)
        m_finishedBytes = ByteCount::add(m_finishedBytes, batchShare(file));
    if (status == LibraryFile::DownloadError)
        emit downloadFailedForItem(file->item());
    emit transferEnded(status);
    processQueue();
    updateDownloadsRemain();
    if (m_activeFiles.isEmpty() && m_queue.isEmpty())
        emit allDownloadsFinished();
}

void DownloadManager::forgetActiveFile(LibraryFile *file)
{
    m_destroyWatch.remove(file);
    m_activeFiles.remove(file);
    updateDownloadsRemain();
    updateSyncingProgress();
    if (m_activeFiles.isEmpty() && m_queue.isEmpty()) {
        emit allDownloadsFinished();
        return;
    }
    // Deferred: a file dies mostly while its library is torn down, which must not start others.
    QTimer::singleShot(0, this, &DownloadManager::processQueue);
}

void DownloadManager::processQueue()
{
    if (!loggedIn())
        return;
    // A file that fails to start frees its slot within this loop; no recursion per file.
    if (m_processing)
        return;
    m_processing = true;
    while (!m_queue.isEmpty() && m_activeFiles.size() < m_settings->simultaneousDownloads())
        startNext();
    m_processing = false;
}

void DownloadManager::startNext()
{
    while (!m_queue.isEmpty()) {
        const QPointer<LibraryFile> entry = m_queue.takeFirst();
        if (entry) {
            setFileStatus(entry, LibraryFile::Downloading);
            return;
        }
    }
}

void DownloadManager::stopAll()
{
    m_queue.clear();
    const QSet<LibraryFile *> active = m_activeFiles;
    for (LibraryFile *file : active) {
        deactivate(file);
        if (Downloader *downloader = downloaderOf(file))
            downloader->pause();
    }
    m_activeFiles.clear();
    m_finishedBytes = 0;
}

void DownloadManager::cancelAll()
{
    const QList<QPointer<LibraryFile>> queued = m_queue;
    m_queue.clear();
    for (const QPointer<LibraryFile> &file : queued) {
        if (file)
            halt(file);
    }
    const QSet<LibraryFile *> active = m_activeFiles;
    for (LibraryFile *file : active)
        deactivate(file);
    m_activeFiles.clear();
    for (LibraryFile *file : active)
        halt(file);
    m_finishedBytes = 0;
    m_syncTotalBytes = 0;
    updateSyncingProgress();
    updateDownloadsRemain();
}

void DownloadManager::halt(LibraryFile *file)
{
    if (Downloader *downloader = downloaderOf(file))
        downloader->pause();
    file->stopDownload();
}

int DownloadManager::downloadsRemain() const
{
    return m_activeFiles.size() + m_queue.size();
}

int DownloadManager::syncingProgress() const
{
    if (m_activeFiles.isEmpty() || m_syncTotalBytes < 1)
        return -1;
    return int(double(qBound(qint64(0), m_syncDoneBytes, m_syncTotalBytes)) * 100 / double(m_syncTotalBytes));
}

void DownloadManager::updateDownloadsRemain()
{
    const int remain = downloadsRemain();
    if (remain == m_remainCount)
        return;
    m_remainCount = remain;
    emit downloadsRemainChanged();
}

// A batch runs from the first file queued or started while nothing was pending to the moment
// nothing is queued or active again. Its total is the share of every file queued or active now
// plus the share of every file that finished as Downloaded during the batch; done is the
// finished shares plus the bytes already on disk of the pending files. A file that leaves for
// any other status simply stops counting, so a cancelled file lowers the total.
void DownloadManager::scheduleSyncingProgress()
{
    if (m_syncingProgressScheduled)
        return;
    m_syncingProgressScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_syncingProgressScheduled = false;
        updateSyncingProgress();
    });
}

void DownloadManager::updateSyncingProgress()
{
    if (m_activeFiles.isEmpty() && m_queue.isEmpty())
        m_finishedBytes = 0;

    qint64 total = m_finishedBytes;
    qint64 done = m_finishedBytes;
    for (const LibraryFile *file : qAsConst(m_activeFiles)) {
        total = ByteCount::add(total, batchShare(file));
        done = ByteCount::add(done, bytesDone(file));
    }
    for (const QPointer<LibraryFile> &file : qAsConst(m_queue)) {
        if (!file)
            continue;
        total = ByteCount::add(total, batchShare(file));
        done = ByteCount::add(done, bytesDone(file));
    }

    if (total == m_syncTotalBytes && done == m_syncDoneBytes)
        return;
    m_syncTotalBytes = total;
    m_syncDoneBytes = done;
    emit syncingProgressChanged();
}
