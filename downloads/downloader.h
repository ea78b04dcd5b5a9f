#pragma once

#include "downloads/downloadresult.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDevice>
#include <QJsonValue>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

class HashingWriter;
class LibraryFile;
class NetworkReplyWrapper;
class RateLimiter;
class RemoteAPI;
class QJsonObject;
class QTimer;
template<typename T>
class QFutureWatcher;

// The transfer of one LibraryFile: file task, polling, ranged GET into a pre-allocated file,
// MD5 verification. It reads the file and writes nothing into it: what it learns travels by
// signals, and it ends with one result. Its parent is the file; the download manager makes
// it and decides what the result means for the file.
class Downloader : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 1000;
    static constexpr quint32 kMaxPollAttempts = 100;
    // The service keeps a download link usable for two hours after the task was created.
    static constexpr int kLinkLifetimeSecs = 7200;
    // A transfer that receives nothing for this long is taken as dropped and resumed.
    static constexpr int kStallTimeoutMs = 30000;
    // A dropped, stalled or 5xx-answered transfer is resumed this many times in a row without
    // progress before the file fails; the pauses between them double from the first one.
    static constexpr int kMaxRetries = 5;
    static constexpr int kFirstRetryDelayMs = 1000;

    Downloader(LibraryFile *file, RemoteAPI *api, RateLimiter &limiter);
    ~Downloader() override;

    void start();
    void pause();
    void cancel();

    QString downloaderId() const { return m_downloaderId; }

    // Whether path lies below the library folder dir as a download path joins it: an empty dir
    // is the root of the file system, "E:" the root of a drive.
    static bool isInsideLibrary(const QString &path, const QString &dir);

    // Lower-case hex digest of the whole file; empty when it cannot be opened or read.
    static QString computeFileHash(const QString &path, QCryptographicHash::Algorithm algorithm);

    // Seams for tests: the interval between two polls of a file task and the age after which
    // a download link is requested again.
    static void setPollIntervalMs(int ms);
    static int pollIntervalMs();
    static void setLinkLifetimeSecs(int secs);
    static int linkLifetimeSecs();
    // Seams for tests: how long a silent connection is waited for and the first retry pause.
    static void setStallTimeoutMs(int ms);
    static int stallTimeoutMs();
    static void setFirstRetryDelayMs(int ms);
    static int firstRetryDelayMs();

signals:
    void downloadedProgress(double percent);
    // The bytes on disk the transfer continues from, and the length the server announced
    // (0: unknown).
    void bytesOnDiskChanged(qint64 bytes);
    void lengthAnnounced(qint64 length);
    // The service named the digests of the file.
    void checksumsReceived(const QJsonArray &checksums);
    void finished(const DownloadResult &result);

private slots:
    void download(QNetworkRequest request);
    void setError(QNetworkReply::NetworkError code);
    void onDownloadProgress(qlonglong received, qlonglong total);
    void onDownloadReadyRead();
    void proceedDownloadFinished();
    void onRequestDownloadLinkFinished(bool success, QJsonValue message);
    void onRequestLinkProgressFinished(bool success, QJsonValue message);

private:
    // What the server's answer to the current request allows.
    enum class Answer { Pending, Accepted, HttpError, RangeNotSatisfiable, Unusable };

    void requestLink();
    void handleLinkProgress(const QString &progress);
    void scheduleLinkPoll();
    void pollLinkProgress();
    void awaitLinkReply(NetworkReplyWrapper *wrapper, void (Downloader::*handler)(bool, QJsonValue));
    void resumeFromOffset();
    void startTransfer();
    void restartFromZero(const QString &reason);
    void updateChecksums(const QJsonObject &object);
    void readAnswer();
    void onMetaDataChanged();
    void onStalled();
    void finishRejected(QNetworkReply *reply);
    void retryOrFail(const QString &reason, const QString &failure);
    void retry();
    bool prepareFile(qint64 offset, qint64 length);
    // Moves what the reply holds to the writer; with all, even past a full ring.
    void writeAvailable(bool all);
    // A body longer than the service announced for the file is no copy of it: it stops at once.
    bool passesAnnouncedSize(qint64 end) const;
    void failOversized();
    void onWriterProgress();
    void reportWriteFailure();
    void removeEmptyFolders();
    void reportProgress(bool final = false);
    void reportFileError(const QString &fileName, const QString &errorText, QFileDevice::FileError kind);
    void verify(qint64 position);
    // A copy of the full size under the final name, checked before anything is fetched.
    void verifyFinalCopy();
    void hashInBackground(const QString &path);
    void adoptLegacyPartial(const QString &finalPath);
    void finishVerification(const QString &hash);
    void failFile(const QString &message, qint64 resumeFrom = -1);
    void abandonReply();
    void abandonLinkRequest();
    void abandonHashing();

    LibraryFile *const m_file;
    RemoteAPI *const m_api;
    RateLimiter &m_limiter;
    QPointer<NetworkReplyWrapper> m_linkRequest;
    QPointer<QNetworkReply> m_reply;
    QUrl m_downloadUrl;
    quint32 m_pollAttempts = 0;
    qint64 m_expectedSize = 0;
    QString m_fileTaskId;
    // The file's partialPath(), renamed to its downloadPath() once verified; the open handle
    // belongs to m_writer.
    QString m_localPath;
    bool m_verifyingFinalCopy = false;
    QDateTime m_linkLastModified;
    QDateTime m_linkRequestedAt;
    QString m_downloaderId;

    QTimer *m_pollTimer = nullptr;
    QTimer *m_stallTimer = nullptr;
    QTimer *m_retryTimer = nullptr;
    // Retries in a row that brought no new bytes, and the bytes on disk when the attempt began.
    int m_retries = 0;
    qint64 m_attemptStartBytes = 0;
    // The range start asked of the current request (0: the whole file).
    qint64 m_requestOffset = 0;
    Answer m_answer = Answer::Pending;
    // The file on disk holds bytes from before the current response: a digest mismatch then
    // earns one fresh download from byte 0 before the file fails.
    bool m_keptEarlierBytes = false;
    bool m_restartedFromZero = false;
    bool m_checkCopyFirst = false;
    // Bytes the progress fraction is measured against; 0 when unknown.
    qint64 m_progressTotal = 0;
    // Writes and hashes the transfer's data off the UI thread; exists while the file is open.
    HashingWriter *m_writer = nullptr;
    // The reply has finished well; verification waits for the writer to catch up.
    bool m_finishing = false;
    QPointer<QFutureWatcher<QString>> m_fileHashWatcher;
    bool m_readingPaused = false;
    double m_reportedProgress = -1.0;
    QElapsedTimer m_progressClock;
};
