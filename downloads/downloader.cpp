#include "downloader.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "app/applicationservices.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QStorageInfo>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent>

#include <functional>

#ifdef Q_OS_LINUX
#include <cerrno>
#endif

namespace {

int g_pollIntervalMs = Downloader::kPollIntervalMs;
int g_linkLifetimeSecs = Downloader::kLinkLifetimeSecs;

// Qt's HTTP stack slows down badly with an unbounded read buffer; 1 MiB keeps loopback
// transfers at the speed of the socket and the memory use flat.
constexpr qint64 kReadBufferSize = 1024 * 1024;
// Reading stops while this much written data still waits for the digest, so a slow
// hash cannot make memory grow without limit.
constexpr qint64 kMaxHashBacklog = 16 * 1024 * 1024;
constexpr qint64 kHashBlockSize = 1024 * 1024;

const char kDateFormat[] = "yyyy-MM-ddThh:mm:ss";
const char kLogDateFormat[] = "yyyy-MM-dd hh:mm:ss";

void logInfo(const QString &text)
{
    qDebug().noquote() << QStringLiteral("INFO: ") + text;
}

void logError(const QString &text)
{
    qDebug().noquote() << QStringLiteral("ERROR: ") + text;
}

QString jsonText(const QJsonValue &value)
{
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    if (value.isNull() || value.isUndefined())
        return QStringLiteral("null");
    return value.toVariant().toString();
}

QString newDownloaderId()
{
    return QUuid::createUuid().toString(QUuid::WithBraces);
}

DownloadManager *downloadManager()
{
    ApplicationServices *services = ApplicationServices::instance();
    return services ? services->downloadManager() : nullptr;
}

// Sizes the file to its full length and makes sure the volume has room for it, so a lack of
// space shows now rather than part-way through. Blocks are not reserved with fallocate():
// writing into reserved-but-unwritten extents costs several times the plain write here.
bool allocateFile(QFile &file, qint64 size, QString *errorText)
{
    if (size < 0) {
        *errorText = QStringLiteral("Unknown content length");
        return false;
    }
    if (size == 0)
        return true;
    const QStorageInfo volume(QFileInfo(file.fileName()).absolutePath());
    if (volume.isValid() && volume.bytesAvailable() >= 0 && volume.bytesAvailable() < size) {
        *errorText = QStringLiteral("%1 bytes needed, %2 available").arg(size).arg(volume.bytesAvailable());
        return false;
    }
    if (file.resize(size))
        return true;
    *errorText = file.errorString();
    return false;
}

bool isInside(const QString &path, const QString &dir)
{
    const QString cleanDir = QDir::cleanPath(QDir(dir).absolutePath());
    const QString cleanPath = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return !dir.isEmpty() && cleanPath.startsWith(cleanDir + QLatin1Char('/'))
        && cleanPath.size() > cleanDir.size() + 1;
}

} // namespace

// Hashes a prefix already on disk and then every chunk handed to it, in order, on the
// thread pool. One task runs at a time; chunks that arrive meanwhile form the next batch.
class Downloader::StreamHasher : public QObject
{
public:
    StreamHasher(QObject *parent, const QString &path, qint64 prefixLength, std::function<void()> onBatchDone)
        : QObject(parent)
        , m_covered(prefixLength)
        , m_onBatchDone(std::move(onBatchDone))
    {
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] { onTaskFinished(); });
        if (prefixLength > 0) {
            auto state = m_state;
            m_busy = true;
            m_watcher.setFuture(QtConcurrent::run([state, path, prefixLength] {
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly)) {
                    state->ok = false;
                    return;
                }
                qint64 left = prefixLength;
                while (left > 0) {
                    const QByteArray block = file.read(qMin(left, kHashBlockSize));
                    if (block.isEmpty()) {
                        state->ok = false;
                        return;
                    }
                    state->hash.addData(block);
                    left -= block.size();
                }
            }));
        }
    }

    void feed(const QByteArray &chunk)
    {
        m_pending.append(chunk);
        m_backlog += chunk.size();
        m_covered += chunk.size();
        launchIfIdle();
    }

    qint64 backlog() const { return m_backlog; }
    // Bytes from the start of the file that the digest will cover.
    qint64 covered() const { return m_covered; }

    // Hands over the digest once every fed byte is hashed; empty when the prefix could not be read.
    void finish(std::function<void(QString)> done)
    {
        m_onFinished = std::move(done);
        m_onBatchDone = nullptr;
        if (!m_busy)
            deliver();
    }

    // Drops every callback; a running task finishes on its own.
    void abandon()
    {
        m_onBatchDone = nullptr;
        m_onFinished = nullptr;
        m_pending.clear();
        QObject::disconnect(&m_watcher, nullptr, this, nullptr);
        deleteLater();
    }

private:
    struct State {
        QCryptographicHash hash{QCryptographicHash::Md5};
        bool ok = true;
    };

    void launchIfIdle()
    {
        if (m_busy || m_pending.isEmpty())
            return;
        auto state = m_state;
        const QList<QByteArray> batch = std::move(m_pending);
        m_pending.clear();
        m_inFlight = 0;
        for (const QByteArray &chunk : batch)
            m_inFlight += chunk.size();
        m_busy = true;
        m_watcher.setFuture(QtConcurrent::run([state, batch] {
            for (const QByteArray &chunk : batch)
                state->hash.addData(chunk);
        }));
    }

    void onTaskFinished()
    {
        m_busy = false;
        m_backlog -= m_inFlight;
        m_inFlight = 0;
        launchIfIdle();
        if (!m_busy && m_onFinished) {
            deliver();
            return;
        }
        if (m_onBatchDone)
            m_onBatchDone();
    }

    void deliver()
    {
        auto done = std::move(m_onFinished);
        m_onFinished = nullptr;
        done(m_state->ok ? QString::fromLatin1(m_state->hash.result().toHex()) : QString());
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QFutureWatcher<void> m_watcher;
    QList<QByteArray> m_pending;
    qint64 m_backlog = 0;
    qint64 m_inFlight = 0;
    qint64 m_covered = 0;
    bool m_busy = false;
    std::function<void()> m_onBatchDone;
    std::function<void(QString)> m_onFinished;
};

Downloader::Downloader(LibraryFile *file)
    : QObject(file)
    , m_file(file)
    , m_localFile(file->downloadPath())
    , m_downloaderId(newDownloaderId())
    , m_pollTimer(new QTimer(this))
{
    m_pollTimer->setSingleShot(true);
    connect(m_pollTimer, &QTimer::timeout, this, &Downloader::pollLinkProgress);
    connect(this, &Downloader::downloadedProgress, file, &LibraryFile::onDownloadedProgress);
}

Downloader::~Downloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    if (m_linkRequest) {
        m_linkRequest->disconnect(this);
        m_linkRequest->abort();
    }
}

void Downloader::setPollIntervalMs(int ms)
{
    g_pollIntervalMs = ms;
}

int Downloader::pollIntervalMs()
{
    return g_pollIntervalMs;
}

void Downloader::setLinkLifetimeSecs(int secs)
{
    g_linkLifetimeSecs = secs;
}

int Downloader::linkLifetimeSecs()
{
    return g_linkLifetimeSecs;
}

QString Downloader::computeFileHash(const QString &path, QCryptographicHash::Algorithm algorithm)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(algorithm);
    while (!file.atEnd()) {
        const QByteArray block = file.read(kHashBlockSize);
        if (block.isEmpty() && file.error() != QFileDevice::NoError)
            return QString();
        hash.addData(block);
    }
    return QString::fromLatin1(hash.result().toHex());
}

void Downloader::start()
{
    logInfo(QStringLiteral("Downloader %1: File downloading started. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_pollTimer->stop();

    if (!m_localFile.isOpen())
        m_localFile.setFileName(m_file->downloadPath());
    // A partial copy that has gone from the disk cannot be continued.
    if (m_file->downloadedSize() > 0 && !QFileInfo(m_localFile.fileName()).isFile())
        m_file->setDownloadedSize(0);

    const bool linkFresh = m_downloadUrl.isValid() && m_linkRequestedAt.isValid()
        && m_linkRequestedAt.secsTo(QDateTime::currentDateTimeUtc()) < linkLifetimeSecs();
    if (m_file->downloadedSize() > 0 && linkFresh) {
        // Everything arrived before the last attempt stopped: only the check is left.
        if (m_expectedSize > 0 && m_file->downloadedSize() >= m_expectedSize
            && QFileInfo(m_localFile.fileName()).size() == m_expectedSize) {
            verify(m_expectedSize);
            return;
        }
        resumeFromOffset();
    } else {
        requestLink();
    }
}

void Downloader::requestLink()
{
    logInfo(QStringLiteral("Downloader %1: Download link requested. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_linkRequestedAt = QDateTime::currentDateTimeUtc();
    ApplicationServices *services = ApplicationServices::instance();
    RemoteAPI *api = services ? services->remoteAPI() : nullptr;
    NetworkReplyWrapper *wrapper = api ? api->requestDownloadLink(m_file->productId(), QByteArray::number(m_file->bundleId())) : nullptr;
    m_pollAttempts = 0;
    if (!wrapper) {
        failFile(tr("Failed to get download URL"));
        return;
    }
    m_linkRequest = wrapper;
    connect(wrapper, &NetworkReplyWrapper::replyFinished, this, &Downloader::onRequestDownloadLinkFinished);
}

void Downloader::onRequestDownloadLinkFinished(bool success, QJsonValue message)
{
    m_linkRequest = nullptr;
    if (!success) {
        logError(QStringLiteral("Downloader %1: Download link wasn't received. File: %2. Message: ").arg(m_downloaderId, m_file->serverFileName())
                 + jsonText(message));
        failFile(tr("Failed to get download URL"));
        return;
    }
    logInfo(QStringLiteral("Downloader %1: Download link received. File: %2. Message: ").arg(m_downloaderId, m_file->serverFileName())
            + jsonText(message));
    const QJsonObject object = message.toObject();
    updateChecksums(object);
    m_downloadUrl = QUrl(object.value(QLatin1String("download_url")).toString());
    m_fileTaskId = object.value(QLatin1String("file_tasks_id")).toString();
    const QDateTime lastModified = QDateTime::fromString(object.value(QLatin1String("last_modified")).toString().left(19),
                                                         QLatin1String(kDateFormat));
    if (m_file->downloadedSize() > 0 && m_linkLastModified.isValid() && lastModified != m_linkLastModified) {
        logInfo(QStringLiteral("Downloader %1: Will download from the start as Last modified: server: %3 <> current: %4. File: %2")
                    .arg(m_downloaderId, m_file->serverFileName(), lastModified.toString(QLatin1String(kLogDateFormat)),
                         m_linkLastModified.toString(QLatin1String(kLogDateFormat))));
        m_file->setDownloadedSize(0);
    }
    m_linkLastModified = lastModified;
    handleLinkProgress(object.value(QLatin1String("progress")).toString());
}

void Downloader::handleLinkProgress(const QString &progress)
{
    if (progress == QLatin1String("Complete")) {
        if (m_file->status() != LibraryFile::Downloading)
            return;
        if (m_file->downloadedSize() < 1)
            download(QNetworkRequest(m_downloadUrl));
        else
            resumeFromOffset();
        return;
    }
    if (m_pollAttempts >= kMaxPollAttempts) {
        failFile(tr("Failed to get download URL"));
        return;
    }
    ++m_pollAttempts;
    scheduleLinkPoll();
}

void Downloader::scheduleLinkPoll()
{
    logInfo(QStringLiteral("Downloader %1: Waiting for download link response; attempt: %3. File: %2")
                .arg(m_downloaderId, m_file->serverFileName(), QString::number(m_pollAttempts)));
    m_pollTimer->start(pollIntervalMs());
}

void Downloader::pollLinkProgress()
{
    if (m_file->status() != LibraryFile::Downloading)
        return;
    ApplicationServices *services = ApplicationServices::instance();
    RemoteAPI *api = services ? services->remoteAPI() : nullptr;
    NetworkReplyWrapper *wrapper = api ? api->requestLinkProgress(m_fileTaskId) : nullptr;
    if (!wrapper) {
        failFile(tr("Failed to get download URL"));
        return;
    }
    m_linkRequest = wrapper;
    connect(wrapper, &NetworkReplyWrapper::replyFinished, this, &Downloader::onRequestLinkProgressFinished);
}

void Downloader::onRequestLinkProgressFinished(bool success, QJsonValue message)
{
    m_linkRequest = nullptr;
    if (!success) {
        logError(QStringLiteral("Downloader %1: Download link progress wasn't received. File: %2. Message: ")
                     .arg(m_downloaderId, m_file->serverFileName())
                 + jsonText(message));
        failFile(tr("Failed to get download URL"));
        return;
    }
    logInfo(QStringLiteral("Downloader %1: Download link progress received. File: %2. Message: ")
                .arg(m_downloaderId, m_file->serverFileName())
            + jsonText(message));
    const QJsonObject object = message.toObject();
    updateChecksums(object);
    handleLinkProgress(object.value(QLatin1String("progress")).toString());
}

void Downloader::updateChecksums(const QJsonObject &object)
{
    const QJsonArray checksums = object.value(QLatin1String("checksums")).toArray();
    if (!checksums.isEmpty())
        RemoteAPI::updateFileChecksums(checksums, m_file);
}

void Downloader::resumeFromOffset()
{
    QNetworkRequest request(m_downloadUrl);
    const QByteArray range = "bytes=" + QByteArray::number(m_file->downloadedSize()) + '-';
    request.setRawHeader("Range", range);
    logInfo(QStringLiteral("Downloader %1: File downloading resumed. File: %2. RangeHeader: ").arg(m_downloaderId, m_file->serverFileName())
            + QString::fromLatin1(range));
    download(request);
}

void Downloader::download(QNetworkRequest request)
{
    abandonReply();
    ApplicationServices *services = ApplicationServices::instance();
    QNetworkAccessManager *manager = services ? services->networkAccessManager() : nullptr;
    if (!manager) {
        failFile(tr("Uknown file error"));
        return;
    }
    // Download links commonly hand over to a content host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager->get(request);
    reply->setReadBufferSize(kReadBufferSize);
    m_reply = reply;
    m_readingPaused = false;
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    connect(reply, &QNetworkReply::finished, this, &Downloader::proceedDownloadFinished);
    connect(reply, &QNetworkReply::downloadProgress, this, &Downloader::onDownloadProgress);
    connect(reply, &QNetworkReply::readyRead, this, &Downloader::onDownloadReadyRead);
    connect(reply, &QNetworkReply::errorOccurred, this, &Downloader::setError);
}

void Downloader::onDownloadProgress(qlonglong received, qlonglong total)
{
    Q_UNUSED(received)
    if (startWriting(total) && total >= 1)
        reportProgress();
}

bool Downloader::startWriting(qint64 total)
{
    qint64 offset = m_file->downloadedSize();
    const bool opening = !m_localFile.isOpen();
    if (opening && offset > 0 && m_reply
        && m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200) {
        // The server ignored the range and sends the whole file.
        offset = 0;
        m_file->setDownloadedSize(0);
    }
    if (m_file->dlSize() == 0)
        m_file->setDlSize(offset + total);
    if (!prepareFile(offset, total))
        return false;
    return !opening || writeAvailable(false);
}

void Downloader::reportProgress()
{
    if (m_expectedSize < 1 || !m_localFile.isOpen())
        return;
    const qint64 size = m_localFile.size();
    if (size < 1)
        return;
    const double fraction = double(m_localFile.pos()) / double(size);
    // Written data and the network's progress signal arrive in either order; the file hears
    // each value once, the final 1.0 included.
    if (fraction == m_reportedProgress)
        return;
    m_reportedProgress = fraction;
    emit downloadedProgress(fraction);
}

bool Downloader::prepareFile(qint64 offset, qint64 size)
{
    if (m_localFile.isOpen())
        return true;
    if (!m_localFile.exists()) {
        offset = 0;
        m_file->setDownloadedSize(0);
        m_expectedSize = size;
    } else if (offset == 0) {
        m_expectedSize = size;
    } else if (m_expectedSize == 0) {
        m_expectedSize = m_localFile.size();
    }

    const QString fileName = m_localFile.fileName();
    if (!isInside(fileName, m_file->localDir()) || QFileInfo(fileName).isDir()) {
        reportFileError(fileName, QStringLiteral("Invalid file name"), QFileDevice::OpenError);
        return false;
    }
    if (!m_localFile.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        reportFileError(fileName, m_localFile.errorString(), QFileDevice::OpenError);
        return false;
    }
    if (m_localFile.size() != 0) {
        // Starting over: a longer older version must not leave its tail behind.
        if (offset < 1 && size > 0 && m_localFile.size() != size && !m_localFile.resize(size)) {
            reportFileError(fileName, m_localFile.errorString(), QFileDevice::ResizeError);
            return false;
        }
    } else {
        QString errorText;
        if (!allocateFile(m_localFile, size, &errorText)) {
            reportFileError(fileName, errorText, QFileDevice::ResizeError);
            return false;
        }
    }
    if (offset >= 1 && !m_localFile.seek(offset)) {
        reportFileError(fileName, m_localFile.errorString(), QFileDevice::PositionError);
        return false;
    }
    m_reportedProgress = -1.0;
    abandonHashing();
    m_hasher = new StreamHasher(this, fileName, qMax<qint64>(offset, 0), [this] {
        if (m_readingPaused)
            writeAvailable(false);
    });
    return true;
}

void Downloader::reportFileError(const QString &fileName, const QString &errorText, QFileDevice::FileError kind)
{
    logError(QStringLiteral("Downloader %1: Error writing to file. File: %2. Error: %3").arg(m_downloaderId, fileName, errorText));
    QString message;
    if (kind == QFileDevice::OpenError) {
        const QString dir = m_file->property("localDir").toString();
        const QFileInfo dirInfo(dir);
        if (!dirInfo.isDir())
            message = tr("Download directory %1 does not exist").arg(dir);
        else if (!dirInfo.isWritable())
            message = tr("Don't have permissions to write to directory %1").arg(dir);
        else
            message = tr("Can't create file in directory %1").arg(QFileInfo(fileName).absolutePath());
    } else if (kind == QFileDevice::ResizeError) {
        message = tr("File allocation error. Please check disk free space.");
    } else {
        message = tr("Uknown file error");
    }
    cancel();
    failFile(message);
}

bool Downloader::writeAvailable(bool ignoreBacklog)
{
    if (!m_reply || !m_localFile.isOpen())
        return true;
    m_readingPaused = false;
    while (m_reply->bytesAvailable() > 0) {
        if (!ignoreBacklog && m_hasher && m_hasher->backlog() >= kMaxHashBacklog) {
            m_readingPaused = true;
            break;
        }
        const QByteArray chunk = m_reply->read(kReadBufferSize);
        if (chunk.isEmpty())
            break;
        if (m_localFile.write(chunk) != chunk.size()) {
#ifdef Q_OS_LINUX
            const bool noSpace = errno == ENOSPC;
#else
            const bool noSpace = false;
#endif
            reportFileError(m_localFile.fileName(), m_localFile.errorString(),
                            noSpace ? QFileDevice::ResizeError : QFileDevice::WriteError);
            return false;
        }
        if (m_hasher)
            m_hasher->feed(chunk);
    }
    m_file->setDownloadedSize(m_localFile.pos());
    reportProgress();
    return true;
}

void Downloader::onDownloadReadyRead()
{
    // The network's progress signal is rate-limited; waiting for it with a full read buffer
    // would stall the transfer, so the first data opens the file as well.
    if (!m_localFile.isOpen()) {
        if (m_reply) {
            const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
            startWriting(length.isValid() ? length.toLongLong() : -1);
        }
        return;
    }
    writeAvailable(false);
}

void Downloader::proceedDownloadFinished()
{
    QNetworkReply *reply = m_reply;
    const qint64 reportedPosition = m_localFile.isOpen() ? m_localFile.pos() : 0;
    logInfo(QStringLiteral("Downloader %1: File downloaded. File: %2. Size: %3. Pos: %4")
                .arg(m_downloaderId, m_localFile.fileName(), QString::number(m_expectedSize), QString::number(reportedPosition)));
    if (!writeAvailable(true))
        return;
    const qint64 position = m_localFile.isOpen() ? m_localFile.pos() : 0;
    const int code = reply ? int(reply->error()) : int(QNetworkReply::UnknownNetworkError);
    m_reply = nullptr;
    m_readingPaused = false;

    if (position != m_file->dlSize() && position != m_expectedSize) {
        logError(QStringLiteral("Downloader %1: File downloading WARNING. File: %2. Network reply: %3. Size: %4. Pos: %5")
                     .arg(m_downloaderId, m_localFile.fileName(), QString::number(code), QString::number(m_expectedSize),
                          QString::number(position)));
    }
    // A connection closed early can end without a network error. Such a file is incomplete:
    // hashing it would only fail and throw away the bytes that a resume can keep.
    const bool truncated = code == QNetworkReply::NoError && m_file->dlSize() > 0 && position < m_file->dlSize();
    if (code == QNetworkReply::NoError && position > 0 && !truncated) {
        verify(position);
        return;
    }
    logError(QStringLiteral("Downloader %1: File downloading error. File: %2. Network reply: %3. Size: %4. Pos: %5")
                 .arg(m_downloaderId, m_localFile.fileName(), QString::number(code), QString::number(m_expectedSize),
                      QString::number(position)));
    if (truncated)
        m_file->setErrorMessage(tr("The connection closed before the whole file arrived."));
    if (DownloadManager *manager = downloadManager())
        manager->setFileStatus(m_file, LibraryFile::DownloadError);
    // The error status clears the size; the bytes on disk stay the resume point.
    m_file->setDownloadedSize(position);
    abandonHashing();
    closeLocalFile();
}

void Downloader::verify(qint64 position)
{
    const qint64 fileSize = m_localFile.isOpen() ? m_localFile.size() : QFileInfo(m_localFile.fileName()).size();
    closeLocalFile();
    // The streamed digest stands for the file only when the written bytes cover it exactly.
    if (m_hasher && m_hasher->covered() == position && position == fileSize) {
        StreamHasher *hasher = m_hasher;
        hasher->finish([this](const QString &digest) {
            abandonHashing();
            if (digest.isEmpty())
                verify(-1);
            else
                finishVerification(digest);
        });
        return;
    }
    abandonHashing();
    auto *watcher = new QFutureWatcher<QString>(this);
    m_fileHashWatcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (m_fileHashWatcher != watcher)
            return;
        m_fileHashWatcher = nullptr;
        finishVerification(watcher->result());
    });
    const QString path = m_localFile.fileName();
    watcher->setFuture(QtConcurrent::run([path] { return computeFileHash(path, QCryptographicHash::Md5); }));
}

void Downloader::finishVerification(const QString &hash)
{
    // Paused or cancelled while the digest was computed.
    if (m_file->status() != LibraryFile::Downloading)
        return;
    DownloadManager *manager = downloadManager();
    const QString path = m_file->downloadPath();
    m_file->setLocalFileHash(hash);
    m_file->setLocalLastModified(QFileInfo(m_localFile.fileName()).lastModified());
    if (RemoteAPI::localHashMatches(m_file)) {
        m_file->setLastModified(m_linkLastModified);
        if (manager)
            manager->setFileStatus(m_file, LibraryFile::Downloaded);
        if (m_file->hashes().isEmpty()) {
            logInfo(QStringLiteral("Downloader %1: File's server hash list is empty. File: %2. Hash: local: %3")
                        .arg(m_downloaderId, path, m_file->localFileHash()));
            failFile(tr("File hash not returned from server"));
        } else {
            logInfo(QStringLiteral("Downloader %1: File's hash matches. File: %2. Hash: local: %3; server: %4")
                        .arg(m_downloaderId, path, m_file->localFileHash(), m_file->hashesMap()));
        }
        return;
    }
    m_file->setErrorMessage(tr("Download error: hash doesn't match."));
    logError(QStringLiteral("Downloader %1: File's hash doesn't match! File: %2. Hash: local: %3 <> server: %4")
                 .arg(m_downloaderId, path, m_file->localFileHash(), m_file->hashesMap()));
    if (manager)
        manager->setFileStatus(m_file, LibraryFile::DownloadError);
}

void Downloader::setError(QNetworkReply::NetworkError code)
{
    Q_UNUSED(code)
    logError(QStringLiteral("Downloader %1: File downloading error. File: %2. URL: %3")
                 .arg(m_downloaderId, m_file->serverFileName(), m_downloadUrl.toString()));
    failFile(m_reply ? m_reply->errorString() : tr("Uknown file error"));
}

void Downloader::failFile(const QString &message)
{
    m_file->setErrorMessage(message);
    if (DownloadManager *manager = downloadManager())
        manager->setFileStatus(m_file, LibraryFile::DownloadError);
}

void Downloader::pause()
{
    logInfo(QStringLiteral("Downloader %1: File downloading paused. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_pollTimer->stop();
    if (m_reply) {
        if (m_localFile.isOpen())
            m_file->setDownloadedSize(m_localFile.pos());
        closeLocalFile();
        abandonReply();
    }
    abandonLinkRequest();
    abandonHashing();
}

void Downloader::cancel()
{
    m_pollTimer->stop();
    if (m_reply) {
        logInfo(QStringLiteral("Downloader %1: File downloading cancelled. File: %2").arg(m_downloaderId, m_file->serverFileName()));
        abandonReply();
    }
    if (m_linkRequest) {
        QString request;
        QDebug(&request) << m_linkRequest.data();
        logInfo(QStringLiteral("Downloader %1: Download link retrieving cancelled. File: %2.").arg(m_downloaderId, m_file->serverFileName())
                + QStringLiteral(" Reply: ") + request.trimmed());
        abandonLinkRequest();
    }
    abandonHashing();
    closeLocalFile();
    const QFileInfo info(m_localFile.fileName());
    if (info.isFile() || info.isSymLink())
        QFile::remove(m_localFile.fileName());
    m_downloaderId = newDownloaderId();
}

void Downloader::abandonReply()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    m_readingPaused = false;
    if (!reply)
        return;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
}

void Downloader::abandonLinkRequest()
{
    NetworkReplyWrapper *request = m_linkRequest;
    m_linkRequest = nullptr;
    if (!request)
        return;
    disconnect(request, nullptr, this, nullptr);
    request->abort();
}

void Downloader::abandonHashing()
{
    if (m_hasher) {
        m_hasher->abandon();
        m_hasher = nullptr;
    }
    if (m_fileHashWatcher) {
        m_fileHashWatcher->disconnect(this);
        m_fileHashWatcher->deleteLater();
        m_fileHashWatcher = nullptr;
    }
}

void Downloader::closeLocalFile()
{
    if (m_localFile.isOpen())
        m_localFile.close();
}
