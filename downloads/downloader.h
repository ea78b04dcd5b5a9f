#pragma once

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

// The transfer of one LibraryFile: file task, polling, ranged GET into a pre-allocated file,
// MD5 verification. Its parent is the file.
class Downloader : public QObject
{
    Q_OBJECT
public:
    explicit Downloader(LibraryFile *file);
    ~Downloader() override;

    void start();
    void pause();
    void cancel();

    QString downloaderId() const { return m_downloaderId; }

    // Seam for tests: the interval between two polls of a file task.
    static void setPollIntervalMs(int ms);
    static int pollIntervalMs();

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
};
