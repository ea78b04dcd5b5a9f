#include "downloader.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "app/constants.h"
#include "downloads/libraryfile.h"
#include "downloads/md5digest.h"

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

#include <atomic>
#include <functional>
#include <memory>


#ifdef Q_OS_LINUX
#include <cerrno>
#endif

namespace {

int g_pollIntervalMs = Downloader::kPollIntervalMs;
int g_linkLifetimeSecs = Downloader::kLinkLifetimeSecs;

// Qt's HTTP stack slows down badly with an unbounded read buffer; 1 MiB keeps loopback
// transfers at the speed of the socket and the memory use flat.
constexpr qint64 kReadBufferSize = 1024 * 1024;
// Reading stops while this much received data still waits to be written and hashed, so a
// slow disk or digest cannot make memory grow without limit.
constexpr qint64 kMaxWriteBacklog = 16 * 1024 * 1024;
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

// Writes the chunks handed to it in order and feeds them to the digest, on the thread pool, so
// the UI thread only moves data out of the reply. A prefix already on disk from an earlier
// attempt is hashed first. One task runs at a time; chunks that arrive meanwhile form the
// next batch.
class Downloader::FileWriter : public QObject
{
public:
    FileWriter(QObject *parent, std::unique_ptr<QFile> file, qint64 prefixLength, std::function<void()> onBatchDone)
        : QObject(parent)
        , m_onBatchDone(std::move(onBatchDone))
    {
        m_state.path = file->fileName();
        m_state.file = std::move(file);
        m_state.prefixLength = prefixLength;
        m_state.prefixPending = prefixLength > 0;
        m_state.position = prefixLength;
        m_position = prefixLength;
        m_end = prefixLength;
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] { onTaskFinished(); });
        if (m_state.prefixPending)
            launch();
    }

    ~FileWriter() override { stopTask(); }

    void write(const QByteArray &chunk)
    {
        if (m_state.failed || m_closed)
            return;
        m_pending.append(chunk);
        m_backlog += chunk.size();
        m_end += chunk.size();
        if (!m_busy)
            launch();
    }

    // Bytes handed over and not yet written and hashed.
    qint64 backlog() const { return m_backlog; }
    // Bytes on disk from the start of the file, as of the last finished batch.
    qint64 position() const { return m_position; }
    // The write position once every chunk handed over is on disk; also what the digest covers.
    qint64 end() const { return m_end; }
    bool idle() const { return !m_busy && m_pending.isEmpty(); }
    bool failed() const { return m_state.failed; }
    bool noSpace() const { return m_state.noSpace; }
    QString errorString() const { return m_state.errorText; }

    // Lower-case hex digest of everything written; empty when the prefix could not be read.
    // Only meaningful when idle.
    QString digest() { return m_state.prefixOk ? m_state.hash.hexResult() : QString(); }

    // Stops the running batch after its current chunk and, with writeRest, writes what is
    // still waiting here on the calling thread, unhashed. Returns the bytes on disk; the
    // file is closed and the writer takes no more data.
    qint64 drain(bool writeRest)
    {
        stopTask();
        if (writeRest && !m_state.failed) {
            const QList<QByteArray> rest = m_state.batch.mid(m_state.done) + m_pending;
            for (const QByteArray &chunk : rest) {
                if (!writeChunk(m_state, chunk))
                    break;
            }
        }
        m_state.batch.clear();
        m_pending.clear();
        m_backlog = 0;
        m_position = m_state.position;
        m_end = m_position;
        close();
        m_closed = true;
        return m_position;
    }

    void close()
    {
        if (m_state.file)
            m_state.file->close();
    }

    // Drops the callback and the data not yet written; deleted once control returns to the loop.
    void abandon()
    {
        m_onBatchDone = nullptr;
        stopTask();
        close();
        deleteLater();
    }

private:
    struct State {
        std::unique_ptr<QFile> file;
        QString path;
        Md5Digest hash;
        qint64 prefixLength = 0;
        bool prefixPending = false;
        bool prefixOk = true;
        qint64 position = 0;
        // The batch the running task works through, and how many of its chunks are done.
        QList<QByteArray> batch;
        int done = 0;
        bool failed = false;
        bool noSpace = false;
        QString errorText;
        std::atomic_bool stop{false};
    };

    static bool writeChunk(State &state, const QByteArray &chunk)
    {
        if (state.file->write(chunk) == chunk.size()) {
            state.position += chunk.size();
            return true;
        }
#ifdef Q_OS_LINUX
        state.noSpace = errno == ENOSPC;
#endif
        state.failed = true;
        state.errorText = state.file->errorString();
        return false;
    }

    static void run(State &state)
    {
        if (state.prefixPending) {
            QFile prefix(state.path);
            qint64 left = state.prefixLength;
            state.prefixOk = prefix.open(QIODevice::ReadOnly);
            while (state.prefixOk && left > 0) {
                if (state.stop)
                    return;
                const QByteArray block = prefix.read(qMin(left, kHashBlockSize));
                state.prefixOk = !block.isEmpty();
                state.hash.addData(block);
                left -= block.size();
            }
            state.prefixPending = false;
        }
        for (; state.done < state.batch.size(); ++state.done) {
            if (state.stop)
                return;
            const QByteArray &chunk = state.batch.at(state.done);
            if (!writeChunk(state, chunk))
                return;
            state.hash.addData(chunk);
        }
    }

    void launch()
    {
        m_state.batch = std::move(m_pending);
        m_pending.clear();
        m_state.done = 0;
        m_busy = true;
        State *state = &m_state;
        m_watcher.setFuture(QtConcurrent::run([state] { run(*state); }));
    }

    // Waits for the running task, which stops after its current chunk; it never runs again.
    void stopTask()
    {
        QObject::disconnect(&m_watcher, nullptr, this, nullptr);
        m_state.stop = true;
        m_watcher.waitForFinished();
        m_busy = false;
    }

    void onTaskFinished()
    {
        m_busy = false;
        for (int i = 0; i < m_state.done; ++i)
            m_backlog -= m_state.batch.at(i).size();
        m_state.batch.clear();
        m_position = m_state.position;
        if (m_state.failed) {
            m_pending.clear();
            m_backlog = 0;
        } else if (!m_pending.isEmpty()) {
            launch();
        }
        if (m_onBatchDone)
            m_onBatchDone();
    }

    State m_state;
    QFutureWatcher<void> m_watcher;
    QList<QByteArray> m_pending;
    qint64 m_backlog = 0;
    qint64 m_position = 0;
    qint64 m_end = 0;
    bool m_busy = false;
    bool m_closed = false;
    std::function<void()> m_onBatchDone;
};

Downloader::Downloader(LibraryFile *file, RemoteAPI *api)
    : QObject(file)
    , m_file(file)
    , m_api(api)
    , m_localPath(file->downloadPath())
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

    if (!m_writer)
        m_localPath = m_file->downloadPath();
    // A partial copy that has gone from the disk cannot be continued.
    if (m_file->downloadedSize() > 0 && !QFileInfo(m_localPath).isFile())
        m_file->setDownloadedSize(0);

    const bool linkFresh = m_downloadUrl.isValid() && m_linkRequestedAt.isValid()
        && m_linkRequestedAt.secsTo(QDateTime::currentDateTimeUtc()) < linkLifetimeSecs();
    if (m_file->downloadedSize() > 0 && linkFresh) {
        // Everything arrived before the last attempt stopped: only the check is left.
        if (m_expectedSize > 0 && m_file->downloadedSize() >= m_expectedSize
            && QFileInfo(m_localPath).size() == m_expectedSize) {
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
                                                         Constants::ServiceDateFormat);
    if (m_file->downloadedSize() > 0 && m_linkLastModified.isValid() && lastModified != m_linkLastModified) {
        logInfo(QStringLiteral("Downloader %1: Will download from the start as Last modified: server: %3 <> current: %4. File: %2")
                    .arg(m_downloaderId, m_file->serverFileName(), lastModified.toString(Constants::PlainDateFormat),
                         m_linkLastModified.toString(Constants::PlainDateFormat)));
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
    awaitLinkReply(m_api->requestLinkProgress(m_fileTaskId), &Downloader::onRequestLinkProgressFinished);
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
    QNetworkAccessManager *manager = m_api->networkAccessManager();
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
    const bool opening = !m_writer;
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

void Downloader::reportProgress(bool final)
{
    if (m_expectedSize < 1 || !m_writer || m_fileSize < 1)
        return;
    const double fraction = double(m_writer->position()) / double(m_fileSize);
    // Written data and the network's progress signal arrive in either order; the file hears
    // each value once, the final 1.0 included, and no more often than a view can show.
    if (fraction == m_reportedProgress)
        return;
    if (!final && fraction < 1.0 && m_progressClock.isValid() && m_progressClock.elapsed() < kProgressIntervalMs)
        return;
    m_progressClock.start();
    m_reportedProgress = fraction;
    emit downloadedProgress(fraction);
}

bool Downloader::prepareFile(qint64 offset, qint64 size)
{
    if (m_writer)
        return true;
    const QString fileName = m_localPath;
    if (!QFileInfo::exists(fileName)) {
        offset = 0;
        m_file->setDownloadedSize(0);
        m_expectedSize = size;
    } else if (offset == 0) {
        m_expectedSize = size;
    } else if (m_expectedSize == 0) {
        m_expectedSize = QFileInfo(fileName).size();
    }

    if (!isInside(fileName, m_file->localDir()) || QFileInfo(fileName).isDir()) {
        reportFileError(fileName, QStringLiteral("Invalid file name"), QFileDevice::OpenError);
        return false;
    }
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        reportFileError(fileName, file->errorString(), QFileDevice::OpenError);
        return false;
    }
    if (file->size() != 0) {
        // Starting over: a longer older version must not leave its tail behind.
        if (offset < 1 && size > 0 && file->size() != size && !file->resize(size)) {
            reportFileError(fileName, file->errorString(), QFileDevice::ResizeError);
            return false;
        }
    } else {
        QString errorText;
        if (!allocateFile(*file, size, &errorText)) {
            reportFileError(fileName, errorText, QFileDevice::ResizeError);
            return false;
        }
    }
    if (offset >= 1 && !file->seek(offset)) {
        reportFileError(fileName, file->errorString(), QFileDevice::PositionError);
        return false;
    }
    m_fileSize = file->size();
    m_reportedProgress = -1.0;
    m_progressClock.invalidate();
    abandonHashing();
    m_writer = new FileWriter(this, std::move(file), qMax<qint64>(offset, 0), [this] { onWriterProgress(); });
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

void Downloader::reportWriteFailure()
{
    reportFileError(m_localPath, m_writer->errorString(), m_writer->noSpace() ? QFileDevice::ResizeError : QFileDevice::WriteError);
}

bool Downloader::writeAvailable(bool ignoreBacklog)
{
    if (!m_reply || !m_writer)
        return true;
    m_readingPaused = false;
    while (m_reply->bytesAvailable() > 0) {
        // Left in the reply, data holds back the socket: memory stays bounded while the disk
        // or the digest lags behind the network.
        if (!ignoreBacklog && m_writer->backlog() >= kMaxWriteBacklog) {
            m_readingPaused = true;
            break;
        }
        const QByteArray chunk = m_reply->read(qMin(m_reply->bytesAvailable(), kReadBufferSize));
        if (chunk.isEmpty())
            break;
        m_writer->write(chunk);
    }
    return true;
}

void Downloader::onWriterProgress()
{
    if (m_writer->failed()) {
        reportWriteFailure();
        return;
    }
    m_file->setDownloadedSize(m_writer->position());
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
    // The network's progress signal is rate-limited; waiting for it with a full read buffer
    // would stall the transfer, so the first data opens the file as well.
    if (!m_writer) {
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
    logInfo(QStringLiteral("Downloader %1: File downloaded. File: %2. Size: %3. Pos: %4")
                .arg(m_downloaderId, m_localPath, QString::number(m_expectedSize),
                     QString::number(m_writer ? m_writer->position() : 0)));
    writeAvailable(true);
    const int code = reply ? int(reply->error()) : int(QNetworkReply::UnknownNetworkError);
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
    if (truncated)
        m_file->setErrorMessage(tr("The connection closed before the whole file arrived."));
    emit failed();
    // The error status clears the size; the bytes on disk stay the resume point.
    m_file->setDownloadedSize(position);
    abandonHashing();
}

void Downloader::verify(qint64 position)
{
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
    auto *watcher = new QFutureWatcher<QString>(this);
    m_fileHashWatcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (m_fileHashWatcher != watcher)
            return;
        m_fileHashWatcher = nullptr;
        finishVerification(watcher->result());
    });
    const QString path = m_localPath;
    watcher->setFuture(QtConcurrent::run([path] { return computeFileHash(path, QCryptographicHash::Md5); }));
}

void Downloader::finishVerification(const QString &hash)
{
    // Paused or cancelled while the digest was computed.
    if (m_file->status() != LibraryFile::Downloading)
        return;
    const QString path = m_file->downloadPath();
    m_file->setLocalFileHash(hash);
    m_file->setLocalLastModified(QFileInfo(m_localPath).lastModified());
    if (RemoteAPI::localHashMatches(m_file)) {
        m_file->setLastModified(m_linkLastModified);
        emit succeeded();
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
    emit failed();
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
    emit failed();
}

void Downloader::pause()
{
    logInfo(QStringLiteral("Downloader %1: File downloading paused. File: %2").arg(m_downloaderId, m_file->serverFileName()));
    m_pollTimer->stop();
    if (m_reply || m_writer) {
        // Data not yet written is dropped: the resume asks for it again from what is on disk.
        if (m_writer)
            m_file->setDownloadedSize(m_writer->drain(false));
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
    const QFileInfo info(m_localPath);
    if (info.isFile() || info.isSymLink())
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
