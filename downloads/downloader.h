#pragma once

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

class LibraryFile;
class NetworkReplyWrapper;
class RemoteAPI;
class QJsonObject;
class QTimer;
template<typename T>
class QFutureWatcher;

// The transfer of one LibraryFile: file task, polling, ranged GET into a pre-allocated file,
// MD5 verification. Its parent is the file; the download manager makes it and decides what
// its outcome means for the file's status.
class Downloader : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 1000;
    static constexpr quint32 kMaxPollAttempts = 100;
    // The service keeps a download link usable for two hours after the task was created.
    static constexpr int kLinkLifetimeSecs = 7200;

    Downloader(LibraryFile *file, RemoteAPI *api);
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
    // The copy on disk matches the service's digest.
    void succeeded();
    // The transfer ended without a usable copy; the file's error message says why.
    void failed();

private slots:
    void download(QNetworkRequest request);
    void setError(QNetworkReply::NetworkError code);
    void onDownloadProgress(qlonglong received, qlonglong total);
    void onDownloadReadyRead();
    void proceedDownloadFinished();
    void onRequestDownloadLinkFinished(bool success, QJsonValue message);
    void onRequestLinkProgressFinished(bool success, QJsonValue message);

private:
    class FileWriter;

    void requestLink();
    void handleLinkProgress(const QString &progress);
    void scheduleLinkPoll();
    void pollLinkProgress();
    void awaitLinkReply(NetworkReplyWrapper *wrapper, void (Downloader::*handler)(bool, QJsonValue));
    void resumeFromOffset();
    void updateChecksums(const QJsonObject &object);
    bool startWriting(qint64 total);
    bool prepareFile(qint64 offset, qint64 size);
    bool writeAvailable(bool ignoreBacklog);
    void onWriterProgress();
    void reportWriteFailure();
    void reportProgress(bool final = false);
    void reportFileError(const QString &fileName, const QString &errorText, QFileDevice::FileError kind);
    void verify(qint64 position);
    void finishVerification(const QString &hash);
    void failFile(const QString &message);
    void abandonReply();
    void abandonLinkRequest();
    void abandonHashing();

    LibraryFile *const m_file;
    RemoteAPI *const m_api;
    QPointer<NetworkReplyWrapper> m_linkRequest;
    QPointer<QNetworkReply> m_reply;
    QUrl m_downloadUrl;
    quint32 m_pollAttempts = 0;
    qint64 m_expectedSize = 0;
    QString m_fileTaskId;
    // downloadPath of the file; the open handle belongs to m_writer.
    QString m_localPath;
    QDateTime m_linkLastModified;
    QDateTime m_linkRequestedAt;
    QString m_downloaderId;

    QTimer *m_pollTimer = nullptr;
    // Writes and hashes the transfer's data off the UI thread; exists while the file is open.
    FileWriter *m_writer = nullptr;
    // Size of the local file once prepared; progress is the share of it written.
    qint64 m_fileSize = 0;
    // The reply has finished well; verification waits for the writer to catch up.
    bool m_finishing = false;
    QPointer<QFutureWatcher<QString>> m_fileHashWatcher;
    bool m_readingPaused = false;
    double m_reportedProgress = -1.0;
    QElapsedTimer m_progressClock;
};
