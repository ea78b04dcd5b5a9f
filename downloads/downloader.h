#pragma once

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonValue>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

class LibraryFile;
class NetworkReplyWrapper;
class QJsonObject;
class QTimer;
template<typename T>
class QFutureWatcher;

// The transfer of one LibraryFile: file task, polling, ranged GET into a pre-allocated file,
// MD5 verification. Its parent is the file.
class Downloader : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 1000;
    static constexpr quint32 kMaxPollAttempts = 100;
    // The service keeps a download link usable for two hours after the task was created.
    static constexpr int kLinkLifetimeSecs = 7200;

    explicit Downloader(LibraryFile *file);
    ~Downloader() override;

    void start();
    void pause();
    void cancel();

    QString downloaderId() const { return m_downloaderId; }

    // Lower-case hex digest of the whole file; empty when it cannot be opened or read.
    static QString computeFileHash(const QString &path, QCryptographicHash::Algorithm algorithm);

    // Seams for tests: the interval between two polls of a file task and the age after which
    // a download link is requested again.
    static void setPollIntervalMs(int ms);
    static int pollIntervalMs();
    static void setLinkLifetimeSecs(int secs);
    static int linkLifetimeSecs();

signals:
    void downloadedProgress(double percent);

private slots:
    void download(QNetworkRequest request);
    void setError(QNetworkReply::NetworkError code);
    void onDownloadProgress(qlonglong received, qlonglong total);
    void onDownloadReadyRead();
    void proceedDownloadFinished();
    void onRequestDownloadLinkFinished(bool success, QJsonValue message);
    void onRequestLinkProgressFinished(bool success, QJsonValue message);

private:
    class StreamHasher;

    void requestLink();
    void handleLinkProgress(const QString &progress);
    void scheduleLinkPoll();
    void pollLinkProgress();
    void resumeFromOffset();
    void updateChecksums(const QJsonObject &object);
    bool startWriting(qint64 total);
    bool prepareFile(qint64 offset, qint64 size);
    bool writeAvailable(bool ignoreBacklog);
    void reportProgress();
    void reportFileError(const QString &fileName, const QString &errorText, QFileDevice::FileError kind);
    void verify(qint64 position);
    void finishVerification(const QString &hash);
    void failFile(const QString &message);
    void abandonReply();
    void abandonLinkRequest();
    void abandonHashing();
    void closeLocalFile();

    LibraryFile *const m_file;
    QPointer<NetworkReplyWrapper> m_linkRequest;
    QPointer<QNetworkReply> m_reply;
    QUrl m_downloadUrl;
    quint32 m_pollAttempts = 0;
    qint64 m_expectedSize = 0;
    QString m_fileTaskId;
    QFile m_localFile;
    QDateTime m_linkLastModified;
    QDateTime m_linkRequestedAt;
    QString m_downloaderId;

    QTimer *m_pollTimer = nullptr;
    // Digest of the bytes written so far, computed off the UI thread as they arrive.
    StreamHasher *m_hasher = nullptr;
    QPointer<QFutureWatcher<QString>> m_fileHashWatcher;
    bool m_readingPaused = false;
    double m_reportedProgress = -1.0;
};
