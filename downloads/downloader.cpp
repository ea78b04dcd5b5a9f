#include "downloader.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "api/secretmask.h"
#include "app/core/constants.h"
#include "downloads/hashingwriter.h"
#include "downloads/libraryfile.h"
#include "downloads/md5digest.h"
#include "downloads/ratelimiter.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QStorageInfo>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent>

#include <cstdio>
#include <memory>

namespace {

int g_pollIntervalMs = Downloader::kPollIntervalMs;
int g_linkLifetimeSecs = Downloader::kLinkLifetimeSecs;
int g_stallTimeoutMs = Downloader::kStallTimeoutMs;
int g_firstRetryDelayMs = Downloader::kFirstRetryDelayMs;

// Qt's HTTP stack slows down badly with an unbounded read buffer; 1 MiB keeps loopback
// transfers at the speed of the socket and the memory use flat.
constexpr qint64 kReadBufferSize = 1024 * 1024;
// Received data waiting to be written and hashed; reading stops while it is full, so a slow
// disk or digest cannot make memory grow without limit.
constexpr qint64 kWriteRingSize = 8 * 1024 * 1024;
// The ring of a small file is no larger than the file.
constexpr qint64 kMinWriteRingSize = 64 * 1024;
// Progress reaches the file at most this often; a view shows no finer steps.
constexpr qint64 kProgressIntervalMs = 50;
constexpr qint64 kHashBlockSize = 1024 * 1024;


void logInfo(const QString &text)
{
    qDebug().noquote() << QStringLiteral("INFO: ") + text;
}

void logError(const QString &text)
{
    qDebug().noquote() << QStringLiteral("ERROR: ") + text;
}

QString newDownloaderId()
{
    return QUuid::createUuid().toString(QUuid::WithBraces);
}

// Whether the volume holding path has room for bytes more, so that a lack of space shows
// now rather than part-way through. The file is not sized ahead: its length on disk is what
// has arrived, which is how a later run knows where to resume.
bool hasRoom(const QString &path, qint64 bytes, QString *errorText)
{
    if (bytes <= 0)
        return true;
    const QStorageInfo volume(QFileInfo(path).absolutePath());
    if (volume.isValid() && volume.bytesAvailable() >= 0 && volume.bytesAvailable() < bytes) {
        *errorText = QStringLiteral("%1 bytes needed, %2 available").arg(bytes).arg(volume.bytesAvailable());
        return false;
    }
    return true;
}

// The folder that downloads go below, as the file's download path joins it: an empty text is
// the root of the file system ("/" as the settings keep it) and "E:" the root of a drive.
QString libraryRoot(const QString &dir)
{
    QString root = QDir::cleanPath(dir + QLatin1Char('/'));
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root;
}

bool isInside(const QString &path, const QString &dir)
{
    const QString root = libraryRoot(dir);
    const QString cleanPath = QDir::cleanPath(path);
    return cleanPath.startsWith(root) && cleanPath.size() > root.size();
}

// "bytes FIRST-LAST/TOTAL" or "bytes */TOTAL"; a part that is absent or unreadable stays -1.
void parseContentRange(const QByteArray &value, qint64 *first, qint64 *last, qint64 *total)
{
    *first = *last = *total = -1;
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes "))
        return;
    const QByteArray range = text.mid(6).trimmed();
    const int slash = range.indexOf('/');
    bool ok = false;
    if (slash < 0)
        return;
    const qint64 size = range.mid(slash + 1).toLongLong(&ok);
    if (ok && size >= 0)
        *total = size;
    const QByteArray span = range.left(slash);
    const int dash = span.indexOf('-');
    if (dash <= 0)
        return;
    const qint64 from = span.left(dash).toLongLong(&ok);
    if (!ok || from < 0)
        return;
    const qint64 to = span.mid(dash + 1).toLongLong(&ok);
    if (!ok || to < from)
        return;
    *first = from;
    *last = to;
}

QString httpStatusText(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
    return reason.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : QStringLiteral("%1 %2").arg(status).arg(reason);
}

void logWarning(const QString &text)
{
    qDebug().noquote() << QStringLiteral("WARNING: ") + text;
}

// Puts a verified copy in the place of the final name, replacing what is there in one step
// where the system allows it.
bool moveOver(const QString &from, const QString &to)
{
#ifdef Q_OS_UNIX
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#else
    if (QFile::rename(from, to))
        return true;
    return QFile::remove(to) && QFile::rename(from, to);
#endif
}

} // namespace

Downloader::Downloader(LibraryFile *file, RemoteAPI *api, RateLimiter &limiter)
    : QObject(file)
    , m_file(file)
    , m_api(api)
    , m_limiter(limiter)
    , m_localPath(file->partialPath())
    , m_downloaderId(newDownloaderId())
    , m_pollTimer(new QTimer(this))
    , m_stallTimer(new QTimer(this))
    , m_retryTimer(new QTimer(this))
{
    m_pollTimer->setSingleShot(true);
    connect(m_pollTimer, &QTimer::timeout, this, &Downloader::pollLinkProgress);
    m_stallTimer->setSingleShot(true);
    connect(m_stallTimer, &QTimer::timeout, this, &Downloader::onStalled);
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, &Downloader::retry);
    connect(&m_limiter, &RateLimiter::rateChanged, this, [this] {
        if (m_reply)
            m_reply->setReadBufferSize(m_limiter.readBufferSize(kReadBufferSize));
    });
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

void Downloader::setStallTimeoutMs(int ms)
{
    g_stallTimeoutMs = ms;
}

int Downloader::stallTimeoutMs()
{
    return g_stallTimeoutMs;
}

void Downloader::setFirstRetryDelayMs(int ms)
{
    g_firstRetryDelayMs = ms;
}

int Downloader::firstRetryDelayMs()
{
    return g_firstRetryDelayMs;
}

bool Downloader::isInsideLibrary(const QString &path, const QString &dir)
{
    return isInside(path, dir);
}

QString Downloader::computeFileHash(const QString &path, QCryptographicHash::Algorithm algorithm)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    std::unique_ptr<Md5Digest> md5;
    std::unique_ptr<QCryptographicHash> hash;
    if (algorithm == QCryptographicHash::Md5)
        md5 = std::make_unique<Md5Digest>();
    else
        hash = std::make_unique<QCryptographicHash>(algorithm);
    while (!file.atEnd()) {
        const QByteArray block = file.read(kHashBlockSize);
        if (block.isEmpty() && file.error() != QFileDevice::NoError)
            return QString();
        if (md5)
            md5->addData(block);
        else
            hash->addData(block);
    }
    return md5 ? md5->hexResult() : QString::fromLatin1(hash->result().toHex());
}

void Downloader::start()
{
    logInfo(QStringLiteral("Downloader %1: File downloading started. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_pollTimer->stop();
    m_retryTimer->stop();
    m_stallTimer->stop();
    m_retries = 0;
    m_restartedFromZero = false;
    m_keptEarlierBytes = false;
    m_checkCopyFirst = false;

    const QString finalPath = m_file->downloadPath();
    if (!m_writer) {
        m_localPath = m_file->partialPath();
        adoptLegacyPartial(finalPath);
    }
    const qint64 resumable = m_file->resumableSize();
    if (resumable != m_file->downloadedSize()) {
        if (resumable > 0)
            logInfo(QStringLiteral("Downloader %1: Partial file found on disk; resuming from byte %3. File: %2")
                        .arg(m_downloaderId, m_file->serverFileName(), QString::number(resumable)));
        emit bytesOnDiskChanged(resumable);
    }
    // A copy of the full size with no record of its own may be this very file: it is checked
    // against the service's digests before anything is fetched.
    const QFileInfo finalCopy(finalPath);
    m_checkCopyFirst = resumable == 0 && finalCopy.isFile() && m_file->totalSize() > 0
        && finalCopy.size() == m_file->totalSize();
    const QFileInfo copy(m_localPath);

    const bool linkFresh = m_downloadUrl.isValid() && m_linkRequestedAt.isValid()
        && m_linkRequestedAt.secsTo(QDateTime::currentDateTimeUtc()) < linkLifetimeSecs();
    if (m_file->downloadedSize() > 0 && linkFresh) {
        // Everything arrived before the last attempt stopped: only the check is left.
        if (m_expectedSize > 0 && m_file->downloadedSize() >= m_expectedSize && copy.size() == m_expectedSize) {
            m_keptEarlierBytes = true;
            verify(m_expectedSize);
            return;
        }
        startTransfer();
    } else {
        requestLink();
    }
}

void Downloader::requestLink()
{
    logInfo(QStringLiteral("Downloader %1: Download link requested. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_linkRequestedAt = QDateTime::currentDateTimeUtc();
    m_pollAttempts = 0;
    awaitLinkReply(m_api->requestDownloadLink(m_file->productId(), QByteArray::number(m_file->bundleId())),
                   &Downloader::onRequestDownloadLinkFinished);
}

void Downloader::awaitLinkReply(NetworkReplyWrapper *wrapper, void (Downloader::*handler)(bool, QJsonValue))
{
    m_linkRequest = wrapper;
    connect(wrapper, &NetworkReplyWrapper::replyFinished, this, handler);
}

void Downloader::onRequestDownloadLinkFinished(bool success, QJsonValue message)
{
    m_linkRequest = nullptr;
    if (!success) {
        logError(QStringLiteral("Downloader %1: Download link wasn't received. File: %2. Message: ").arg(m_downloaderId, m_file->serverFileName())
                 + SecretMask::loggedJson(message));
        failFile(tr("Failed to get download URL"));
        return;
    }
    logInfo(QStringLiteral("Downloader %1: Download link received. File: %2. Message: ").arg(m_downloaderId, m_file->serverFileName())
            + SecretMask::loggedJson(message));
    const QJsonObject object = message.toObject();
    updateChecksums(object);
    m_downloadUrl = QUrl(object.value(QLatin1String("download_url")).toString());
    m_fileTaskId = object.value(QLatin1String("file_tasks_id")).toString();
    const QDateTime lastModified = QDateTime::fromString(object.value(QLatin1String("last_modified")).toString().left(19),
                                                         Constants::ServiceDateFormat);
    if (m_file->downloadedSize() > 0 && m_linkLastModified.isValid() && lastModified != m_linkLastModified) {
        logInfo(QStringLiteral("Downloader %1: Will download from the start as Last modified: server: %3 <> current: %4. File: %2")
                    .arg(m_downloaderId, m_file->serverFileName(), lastModified.toString(Constants::PlainDateFormat),
                         m_linkLastModified.toString(Constants::PlainDateFormat)));
        // The sizes of the old version say nothing about the new one.
        emit bytesOnDiskChanged(0);
        emit lengthAnnounced(0);
        m_expectedSize = 0;
    }
    m_linkLastModified = lastModified;
    handleLinkProgress(object.value(QLatin1String("progress")).toString());
}

void Downloader::handleLinkProgress(const QString &progress)
{
    if (progress == QLatin1String("Complete")) {
        if (m_file->status() != LibraryFile::Downloading)
            return;
        if (m_checkCopyFirst && !m_file->hashes().isEmpty()) {
            m_checkCopyFirst = false;
            logInfo(QStringLiteral("Downloader %1: A copy of the full size is on disk; checking it first. File: %2")
                        .arg(m_downloaderId, m_file->serverFileName()));
            m_keptEarlierBytes = true;
            verifyFinalCopy();
            return;
        }
        startTransfer();
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
    awaitLinkReply(m_api->requestLinkProgress(m_fileTaskId), &Downloader::onRequestLinkProgressFinished);
}

void Downloader::onRequestLinkProgressFinished(bool success, QJsonValue message)
{
    m_linkRequest = nullptr;
    if (!success) {
        logError(QStringLiteral("Downloader %1: Download link progress wasn't received. File: %2. Message: ")
                     .arg(m_downloaderId, m_file->serverFileName())
                 + SecretMask::loggedJson(message));
        failFile(tr("Failed to get download URL"));
        return;
    }
    logInfo(QStringLiteral("Downloader %1: Download link progress received. File: %2. Message: ")
                .arg(m_downloaderId, m_file->serverFileName())
            + SecretMask::loggedJson(message));
    const QJsonObject object = message.toObject();
    updateChecksums(object);
    handleLinkProgress(object.value(QLatin1String("progress")).toString());
}

void Downloader::updateChecksums(const QJsonObject &object)
{
    const QJsonArray checksums = object.value(QLatin1String("checksums")).toArray();
    if (!checksums.isEmpty())
        emit checksumsReceived(checksums);
}

void Downloader::startTransfer()
{
    m_attemptStartBytes = m_file->downloadedSize();
    if (m_file->downloadedSize() < 1) {
        m_requestOffset = 0;
        download(QNetworkRequest(m_downloadUrl));
    } else {
        resumeFromOffset();
    }
}

void Downloader::resumeFromOffset()
{
    QNetworkRequest request(m_downloadUrl);
    m_requestOffset = m_file->downloadedSize();
    const QByteArray range = "bytes=" + QByteArray::number(m_requestOffset) + '-';
    request.setRawHeader("Range", range);
    logInfo(QStringLiteral("Downloader %1: File downloading resumed. File: %2. RangeHeader: ").arg(m_downloaderId, m_file->serverFileName())
            + QString::fromLatin1(range));
    download(request);
}

void Downloader::restartFromZero(const QString &reason)
{
    logInfo(QStringLiteral("Downloader %1: Downloading again from the start: %3. File: %2")
                .arg(m_downloaderId, m_file->serverFileName(), reason));
    m_restartedFromZero = true;
    abandonHashing();
    emit bytesOnDiskChanged(0);
    emit lengthAnnounced(0);
    m_expectedSize = 0;
    startTransfer();
}

void Downloader::download(QNetworkRequest request)
{
    abandonReply();
    QNetworkAccessManager *manager = m_api->networkAccessManager();
    // Download links commonly hand over to a content host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager->get(request);
    reply->setReadBufferSize(m_limiter.readBufferSize(kReadBufferSize));
    m_reply = reply;
    m_readingPaused = false;
    m_answer = Answer::Pending;
    m_stallTimer->start(stallTimeoutMs());
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    connect(reply, &QNetworkReply::finished, this, &Downloader::proceedDownloadFinished);
    connect(reply, &QNetworkReply::downloadProgress, this, &Downloader::onDownloadProgress);
    connect(reply, &QNetworkReply::readyRead, this, &Downloader::onDownloadReadyRead);
    connect(reply, &QNetworkReply::errorOccurred, this, &Downloader::setError);
    connect(reply, &QNetworkReply::metaDataChanged, this, &Downloader::onMetaDataChanged);
}

void Downloader::onMetaDataChanged()
{
    readAnswer();
}

// Decides from the status line what the body is for. Only a whole file (200) or the range
// asked for (206) is ever written; anything else leaves the file and the resume point alone.
void Downloader::readAnswer()
{
    if (m_answer != Answer::Pending || !m_reply)
        return;
    const QVariant statusCode = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusCode.isValid())
        return;
    const int status = statusCode.toInt();
    // A redirect being followed; the final answer comes later.
    if (status >= 300 && status < 400)
        return;
    const QVariant contentLength = m_reply->header(QNetworkRequest::ContentLengthHeader);
    qint64 length = contentLength.isValid() ? contentLength.toLongLong() : -1;
    qint64 offset = 0;
    if (status == 206) {
        qint64 first = -1;
        qint64 last = -1;
        qint64 total = -1;
        parseContentRange(m_reply->rawHeader("Content-Range"), &first, &last, &total);
        if (first != m_requestOffset || m_requestOffset < 1) {
            m_answer = Answer::Unusable;
            return;
        }
        offset = first;
        length = last - first + 1;
    } else if (status == 416) {
        m_answer = Answer::RangeNotSatisfiable;
        return;
    } else if (status != 200) {
        m_answer = Answer::HttpError;
        return;
    } else if (m_requestOffset > 0) {
        logInfo(QStringLiteral("Downloader %1: The server sent the whole file instead of the range; writing from the start. File: %2")
                    .arg(m_downloaderId, m_file->serverFileName()));
    }
    // The bytes before the range must still be there.
    if (offset > 0 && QFileInfo(m_localPath).size() < offset) {
        m_answer = Answer::Unusable;
        return;
    }
    if (length >= 0 && passesAnnouncedSize(offset + length)) {
        m_answer = Answer::Accepted;
        failOversized();
        return;
    }
    m_answer = Answer::Accepted;
    m_keptEarlierBytes = offset > 0;
    emit bytesOnDiskChanged(offset);
    emit lengthAnnounced(length >= 0 ? offset + length : 0);
    if (prepareFile(offset, length))
        writeAvailable(false);
}

void Downloader::onDownloadProgress(qlonglong received, qlonglong total)
{
    Q_UNUSED(received)
    readAnswer();
    if (m_answer == Answer::Accepted && total >= 1)
        reportProgress();
}

void Downloader::reportProgress(bool final)
{
    if (!m_writer)
        return;
    double fraction = 1.0;
    if (!final) {
        if (m_progressTotal < 1)
            return;
        // Below 1.0 until the file is checked: 1.0 means finished.
        fraction = qMin(double(m_writer->position()) / double(m_progressTotal), 0.999);
    }
    // Written data and the network's progress signal arrive in either order; the file hears
    // each value once, the final 1.0 included, and no more often than a view can show.
    if (fraction == m_reportedProgress)
        return;
    if (!final && m_progressClock.isValid() && m_progressClock.elapsed() < kProgressIntervalMs)
        return;
    m_progressClock.start();
    m_reportedProgress = fraction;
    emit downloadedProgress(fraction);
}

bool Downloader::prepareFile(qint64 offset, qint64 length)
{
    if (m_writer)
        return true;
    const QString fileName = m_localPath;
    if (!isInside(fileName, m_file->localDir()) || QFileInfo(fileName).isDir()) {
        reportFileError(fileName, QStringLiteral("Invalid file name"), QFileDevice::OpenError);
        return false;
    }
    const QFileInfo existing(fileName);
    // What the file holds already is written over, so only the growth needs room.
    const qint64 growth = length < 0 ? 0 : offset + length - (existing.isFile() ? existing.size() : 0);
    QString errorText;
    if (!hasRoom(fileName, growth, &errorText)) {
        reportFileError(fileName, errorText, QFileDevice::ResizeError);
        return false;
    }
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        reportFileError(fileName, file->errorString(), QFileDevice::OpenError);
        return false;
    }
    // Nothing may stay past the point the transfer continues from: a longer older copy would
    // otherwise keep its tail, and the file's length is the resume point of a later run.
    if (file->size() != offset && !file->resize(offset)) {
        reportFileError(fileName, file->errorString(), QFileDevice::ResizeError);
        return false;
    }
    if (offset >= 1 && !file->seek(offset)) {
        reportFileError(fileName, file->errorString(), QFileDevice::PositionError);
        return false;
    }
    m_expectedSize = length < 0 ? 0 : offset + length;
    m_progressTotal = m_expectedSize > 0 ? m_expectedSize : m_file->totalSize();
    m_reportedProgress = -1.0;
    m_progressClock.invalidate();
    abandonHashing();
    const qint64 ringSize = length < 0 ? kWriteRingSize : qBound(kMinWriteRingSize, length, kWriteRingSize);
    m_writer = new HashingWriter(std::move(file), offset, ringSize, this);
    connect(m_writer, &HashingWriter::progressed, this, &Downloader::onWriterProgress);
    return true;
}

void Downloader::reportFileError(const QString &fileName, const QString &errorText, QFileDevice::FileError kind)
{
    logError(QStringLiteral("Downloader %1: Error writing to file. File: %2. Error: %3").arg(m_downloaderId, fileName, errorText));
    QString message;
    if (kind == QFileDevice::OpenError) {
        const QString dir = m_file->localDir();
        const QFileInfo dirInfo(libraryRoot(dir));
        const QString shownDir = dir.isEmpty() ? QStringLiteral("/") : dir;
        if (!dirInfo.isDir())
            message = tr("Download directory %1 does not exist").arg(shownDir);
        else if (!dirInfo.isWritable())
            message = tr("Don't have permissions to write to directory %1").arg(shownDir);
        else
            message = tr("Can't create file in directory %1").arg(QFileInfo(fileName).absolutePath());
    } else if (kind == QFileDevice::ResizeError) {
        message = tr("File allocation error. Please check disk free space.");
    } else if (kind == QFileDevice::ResourceError) {
        message = tr("The disk is full: %1 could not be written. Free some space and download it again.")
                      .arg(QDir::toNativeSeparators(fileName));
    } else {
        message = tr("Uknown file error");
    }
    cancel();
    removeEmptyFolders();
    failFile(message);
}

// The product folders made for a file that could not be written go with it when empty.
void Downloader::removeEmptyFolders()
{
    const QString dir = m_file->localDir();
    QString folder = QFileInfo(m_localPath).absolutePath();
    for (int level = 0; level < 2 && isInside(folder, dir); ++level) {
        if (!QDir().rmdir(folder))
            break;
        folder = QFileInfo(folder).absolutePath();
    }
}

void Downloader::reportWriteFailure()
{
    reportFileError(m_localPath, m_writer->errorString(), m_writer->noSpace() ? QFileDevice::ResourceError : QFileDevice::WriteError);
}

void Downloader::writeAvailable(bool all)
{
    if (!m_reply || !m_writer)
        return;
    if (passesAnnouncedSize(m_writer->end() + m_reply->bytesAvailable())) {
        failOversized();
        return;
    }
    if (all) {
        m_limiter.charge(m_writer->readFrom(m_reply, true));
        m_readingPaused = false;
        return;
    }
    const qint64 granted = m_limiter.take(m_reply->bytesAvailable());
    const qint64 taken = m_writer->readFrom(m_reply, false, granted);
    m_limiter.charge(taken - granted);
    // Left in the reply, data holds back the socket: memory stays bounded while the disk or
    // the digest lags behind the network, and the rate stays under the limit.
    m_readingPaused = m_reply->bytesAvailable() > 0;
    if (m_readingPaused && taken == granted)
        m_limiter.waitTurn(this, [this] {
            if (m_readingPaused)
                writeAvailable(false);
        });
}

bool Downloader::passesAnnouncedSize(qint64 end) const
{
    return m_file->totalSize() > 0 && end > m_file->totalSize();
}

void Downloader::failOversized()
{
    const QString announced = QString::number(m_file->totalSize());
    logError(QStringLiteral("Downloader %1: The server sent more than the announced %3 bytes; stopped and removed. File: %2")
                 .arg(m_downloaderId, m_localPath, announced));
    cancel();
    removeEmptyFolders();
    failFile(tr("Download error: the server sent more than the file's size of %1 bytes.").arg(announced), 0);
}

void Downloader::onWriterProgress()
{
    if (m_writer->failed()) {
        reportWriteFailure();
        return;
    }
    emit bytesOnDiskChanged(m_writer->position());
    if (m_finishing) {
        if (m_writer->idle()) {
            m_finishing = false;
            reportProgress(true);
            verify(m_writer->position());
        } else {
            reportProgress();
        }
        return;
    }
    reportProgress();
    if (m_readingPaused)
        writeAvailable(false);
}

void Downloader::onDownloadReadyRead()
{
    if (!m_reply)
        return;
    m_stallTimer->start(stallTimeoutMs());
    readAnswer();
    if (m_answer == Answer::Accepted) {
        writeAvailable(false);
    } else if (m_answer != Answer::Pending && m_reply) {
        // The body of an answer that is not the file; it is not wanted anywhere.
        m_reply->skip(m_reply->bytesAvailable());
    }
}

// A silent connection is dropped and resumed, unless the silence is this side's own: reading
// waits while the disk or the digest catches up.
void Downloader::onStalled()
{
    if (!m_reply)
        return;
    if (m_readingPaused || (m_writer && !m_writer->idle())) {
        m_stallTimer->start(stallTimeoutMs());
        return;
    }
    logWarning(QStringLiteral("Downloader %1: No data for %3 ms; dropping the connection. File: %2")
                   .arg(m_downloaderId, m_file->serverFileName(), QString::number(stallTimeoutMs())));
    disconnect(m_reply, nullptr, this, nullptr);
    if (m_writer && m_answer == Answer::Accepted) {
        writeAvailable(true);
        if (!m_reply)
            return;   // stopped: past the announced size
        const qint64 position = m_writer->drain(true);
        if (m_writer->failed()) {
            reportWriteFailure();
            return;
        }
        emit bytesOnDiskChanged(position);
    }
    abandonReply();
    abandonHashing();
    retryOrFail(QStringLiteral("no data"), tr("Download error: the connection stalled."));
}

void Downloader::proceedDownloadFinished()
{
    QNetworkReply *reply = m_reply;
    m_stallTimer->stop();
    if (!reply)
        return;
    readAnswer();
    if (m_answer != Answer::Accepted) {
        m_reply = nullptr;
        finishRejected(reply);
        return;
    }
    logInfo(QStringLiteral("Downloader %1: File downloaded. File: %2. Size: %3. Pos: %4")
                .arg(m_downloaderId, m_localPath, QString::number(m_expectedSize),
                     QString::number(m_writer ? m_writer->position() : 0)));
    writeAvailable(true);
    if (!m_reply)
        return;   // stopped: past the announced size
    const int code = int(reply->error());
    const QString replyError = reply->errorString();
    m_reply = nullptr;
    m_readingPaused = false;
    // Where the file ends once the writer has caught up.
    qint64 position = m_writer ? m_writer->end() : 0;
    // A connection closed early can end without a network error. Such a file is incomplete:
    // hashing it would only fail and throw away the bytes that a resume can keep.
    const bool truncated = code == QNetworkReply::NoError && m_file->dlSize() > 0 && position < m_file->dlSize();
    const bool complete = code == QNetworkReply::NoError && position > 0 && !truncated;
    if (!complete && m_writer) {
        // The partial file is the resume point: everything received goes to disk now.
        position = m_writer->drain(true);
        if (m_writer->failed()) {
            reportWriteFailure();
            return;
        }
    }

    if (position != m_file->dlSize() && position != m_expectedSize) {
        logError(QStringLiteral("Downloader %1: File downloading WARNING. File: %2. Network reply: %3. Size: %4. Pos: %5")
                     .arg(m_downloaderId, m_localPath, QString::number(code), QString::number(m_expectedSize),
                          QString::number(position)));
    }
    if (complete) {
        m_finishing = true;
        if (m_writer->idle())
            onWriterProgress();
        return;
    }
    logError(QStringLiteral("Downloader %1: File downloading error. File: %2. Network reply: %3. Size: %4. Pos: %5")
                 .arg(m_downloaderId, m_localPath, QString::number(code), QString::number(m_expectedSize),
                      QString::number(position)));
    emit bytesOnDiskChanged(position);
    abandonHashing();
    if (truncated || code == QNetworkReply::RemoteHostClosedError)
        retryOrFail(QStringLiteral("connection closed early"), tr("The connection closed before the whole file arrived."));
    else
        retryOrFail(replyError, replyError);
}

// The answer was not the file: nothing was written, the resume point stands.
void Downloader::finishRejected(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString errorText = reply->errorString();
    if (m_answer == Answer::Pending && status == 0) {
        // No answer at all: refused, reset or timed out on the way.
        logError(QStringLiteral("Downloader %1: File downloading error. File: %2. Network reply: %3")
                     .arg(m_downloaderId, m_localPath, QString::number(int(reply->error()))));
        retryOrFail(errorText, errorText);
        return;
    }
    const QString statusText = httpStatusText(reply);
    logError(QStringLiteral("Downloader %1: File downloading error. File: %2. HTTP status: %3")
                 .arg(m_downloaderId, m_localPath, statusText));
    if (m_answer == Answer::RangeNotSatisfiable) {
        qint64 first = -1;
        qint64 last = -1;
        qint64 total = -1;
        parseContentRange(reply->rawHeader("Content-Range"), &first, &last, &total);
        const QFileInfo copy(m_localPath);
        if (total > 0 && copy.isFile() && copy.size() == total && m_requestOffset >= total) {
            logInfo(QStringLiteral("Downloader %1: The whole file is on disk already; checking it. File: %2")
                        .arg(m_downloaderId, m_file->serverFileName()));
            emit bytesOnDiskChanged(total);
            emit lengthAnnounced(total);
            m_expectedSize = total;
            m_keptEarlierBytes = true;
            verify(total);
            return;
        }
    }
    if ((m_answer == Answer::RangeNotSatisfiable || m_answer == Answer::Unusable) && !m_restartedFromZero) {
        restartFromZero(statusText);
        return;
    }
    const QString failure = tr("Download error: %1").arg(statusText);
    if (status >= 500)
        retryOrFail(statusText, failure);
    else
        retryOrFail(QString(), failure);
}

// Resumes from the bytes on disk after a pause that grows with each attempt in a row that
// brought nothing new; an empty reason means the failure is final at once.
void Downloader::retryOrFail(const QString &reason, const QString &failure)
{
    const qint64 onDisk = m_file->downloadedSize();
    if (onDisk > m_attemptStartBytes)
        m_retries = 0;
    if (reason.isEmpty() || m_retries >= kMaxRetries) {
        if (!reason.isEmpty())
            logError(QStringLiteral("Downloader %1: Giving up after %3 retries. File: %2")
                         .arg(m_downloaderId, m_file->serverFileName(), QString::number(m_retries)));
        // The error status clears the size; the bytes on disk stay the resume point.
        failFile(failure, onDisk);
        return;
    }
    ++m_retries;
    const int delay = firstRetryDelayMs() << (m_retries - 1);
    logWarning(QStringLiteral("Downloader %1: Transfer interrupted (%3); retry %4 of %5 in %6 ms from byte %7. File: %2")
                   .arg(m_downloaderId, m_file->serverFileName(), reason, QString::number(m_retries),
                        QString::number(kMaxRetries), QString::number(delay), QString::number(onDisk)));
    m_retryTimer->start(delay);
}

void Downloader::retry()
{
    if (m_file->status() != LibraryFile::Downloading)
        return;
    startTransfer();
}

void Downloader::adoptLegacyPartial(const QString &finalPath)
{
    // Earlier versions wrote under the final name: a copy there that the file resumes from (a
    // recorded resume point, or shorter than the file) is such a partial file.
    if (QFileInfo::exists(m_localPath) || m_file->resumableSize() <= 0)
        return;
    if (QFile::rename(finalPath, m_localPath))
        logInfo(QStringLiteral("Downloader %1: Partial file of an earlier version moved to %3. File: %2")
                    .arg(m_downloaderId, m_file->serverFileName(), m_localPath));
    else
        // Continued where it is rather than started again beside it.
        m_localPath = finalPath;
}

void Downloader::verifyFinalCopy()
{
    m_verifyingFinalCopy = true;
    abandonHashing();
    hashInBackground(m_file->downloadPath());
}

void Downloader::verify(qint64 position)
{
    m_verifyingFinalCopy = false;
    QString digest;
    if (m_writer) {
        m_writer->close();
        // The streamed digest stands for the file only when the written bytes cover it exactly.
        if (m_writer->idle() && !m_writer->failed() && m_writer->end() == position
            && position == QFileInfo(m_localPath).size())
            digest = m_writer->digest();
    }
    abandonHashing();
    if (!digest.isEmpty()) {
        finishVerification(digest);
        return;
    }
    hashInBackground(m_localPath);
}

void Downloader::hashInBackground(const QString &path)
{
    auto *watcher = new QFutureWatcher<QString>(this);
    m_fileHashWatcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (m_fileHashWatcher != watcher)
            return;
        m_fileHashWatcher = nullptr;
        finishVerification(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([path] { return computeFileHash(path, QCryptographicHash::Md5); }));
}

void Downloader::finishVerification(const QString &hash)
{
    // Paused or cancelled while the digest was computed.
    if (m_file->status() != LibraryFile::Downloading)
        return;
    const QString path = m_file->downloadPath();
    const QString checked = m_verifyingFinalCopy ? path : m_localPath;
    DownloadResult result;
    result.checked = true;
    result.digest = hash;
    result.localLastModified = QFileInfo(checked).lastModified();
    if (m_file->matchesDigest(hash)) {
        if (checked != path && !moveOver(checked, path)) {
            logError(QStringLiteral("Downloader %1: Could not rename %3 to its final name. File: %2")
                         .arg(m_downloaderId, path, checked));
            result.errorText = tr("The download could not be renamed to %1.").arg(QDir::toNativeSeparators(path));
            emit finished(result);
            return;
        }
        result.lastModified = m_linkLastModified;
        if (m_reportedProgress != 1.0) {
            m_reportedProgress = 1.0;
            emit downloadedProgress(1.0);
        }
        if (m_file->hashes().isEmpty()) {
            // Logged first: the failure this copy turns into is reported after this line.
            logInfo(QStringLiteral("Downloader %1: File's server hash list is empty. File: %2. Hash: local: %3")
                        .arg(m_downloaderId, path, hash));
            result.outcome = DownloadResult::Unconfirmed;
            result.errorText = tr("File hash not returned from server");
            emit finished(result);
            return;
        }
        result.outcome = DownloadResult::Verified;
        const QString serverHashes = m_file->hashesMap();
        emit finished(result);
        logInfo(QStringLiteral("Downloader %1: File's hash matches. File: %2. Hash: local: %3; server: %4")
                    .arg(m_downloaderId, path, hash, serverHashes));
        return;
    }
    logError(QStringLiteral("Downloader %1: File's hash doesn't match! File: %2. Hash: local: %3 <> server: %4")
                 .arg(m_downloaderId, path, hash, m_file->hashesMap()));
    if (m_keptEarlierBytes && !m_restartedFromZero && m_downloadUrl.isValid()) {
        // Bytes kept from before may belong to another version or another run.
        restartFromZero(QStringLiteral("the copy built on earlier bytes does not match"));
        return;
    }
    result.errorText = tr("Download error: hash doesn't match.");
    emit finished(result);
}

void Downloader::setError(QNetworkReply::NetworkError code)
{
    // The outcome is decided when the reply finishes, which follows: a dropped connection is
    // resumed, and the body of an error answer was never written.
    logError(QStringLiteral("Downloader %1: File downloading error. File: %2. URL: %3. Network reply: %4")
                 .arg(m_downloaderId, m_file->serverFileName(), m_downloadUrl.toString(), QString::number(int(code))));
}

void Downloader::failFile(const QString &message, qint64 resumeFrom)
{
    DownloadResult result;
    result.errorText = message;
    result.resumeFrom = resumeFrom;
    emit finished(result);
}

void Downloader::pause()
{
    logInfo(QStringLiteral("Downloader %1: File downloading paused. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_pollTimer->stop();
    m_stallTimer->stop();
    m_retryTimer->stop();
    if (m_reply || m_writer) {
        // Data not yet written is dropped: the resume asks for it again from what is on disk.
        if (m_writer)
            emit bytesOnDiskChanged(m_writer->drain(false));
        abandonReply();
    }
    abandonLinkRequest();
    abandonHashing();
}

void Downloader::cancel()
{
    m_pollTimer->stop();
    m_stallTimer->stop();
    m_retryTimer->stop();
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
    const QFileInfo info(m_localPath);
    if ((info.isFile() || info.isSymLink()) && m_file->mayRemove(m_localPath))
        QFile::remove(m_localPath);
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

// Ends the writer (closing the local file) and any digest of the file being computed.
void Downloader::abandonHashing()
{
    m_finishing = false;
    if (m_writer) {
        m_writer->abandon();
        m_writer = nullptr;
    }
    if (m_fileHashWatcher) {
        m_fileHashWatcher->disconnect(this);
        m_fileHashWatcher->deleteLater();
        m_fileHashWatcher = nullptr;
    }
}
