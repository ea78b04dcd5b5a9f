#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QTemporaryFile;

// Looks for a newer published version of the program and offers it through the QML update dialog.
// With a hand-over program it downloads the package and gives its path to that program, which
// installs it with the system's package installer; the package itself is never run. Without one
// (a distribution's build) it only points to the download page. The manifest names what will be
// installed, so both are fetched only over https (or from this machine).
class ApplicationUpdater : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool checking READ checking WRITE setChecking NOTIFY checkingChanged)
    Q_PROPERTY(bool downloading READ downloading WRITE setDownloading NOTIFY downloadingChanged)
    Q_PROPERTY(int progress READ progress WRITE setProgress NOTIFY progressChanged)
    // Empty while all is well; the dialog shows it in place of its downloading text.
    Q_PROPERTY(QString downloadError READ downloadError NOTIFY downloadErrorChanged)
    // Why the last check could not tell whether there is a newer version; empty when it could.
    Q_PROPERTY(QString checkError READ checkError NOTIFY checkErrorChanged)
    Q_PROPERTY(bool selfUpdate READ selfUpdate CONSTANT)

public:
    static constexpr int kMaxRedirects = 20;   // the common value for web browsers
    static constexpr qint64 kMaxManifestSize = 64 * 1024;
    // Far above any installer of this program, far below filling a disk.
    static constexpr qint64 kMaxInstallerSize = qint64(1) << 30;
    // What the reply may hold before it is written out; the socket waits beyond it.
    static constexpr qint64 kReadBufferSize = 256 * 1024;

    // handOver is started with the downloaded package's path; empty, nothing is downloaded.
    ApplicationUpdater(QNetworkAccessManager *manager, const QUrl &manifestUrl, const QString &handOver,
                       QObject *parent = nullptr);
    ~ApplicationUpdater() override;

    // The first live dialog attached stays.
    void setDialog(QObject *dialog);

    bool checking() const { return m_checking; }
    void setChecking(bool checking);
    bool downloading() const { return m_downloading; }
    void setDownloading(bool downloading);
    int progress() const { return m_progress; }
    void setProgress(int progress);
    QString downloadError() const { return m_downloadError; }
    QString checkError() const { return m_checkError; }
    bool selfUpdate() const { return !m_handOver.isEmpty(); }

    QString version() const { return m_version; }
    QDateTime date() const { return m_date; }
    QUrl downloadUrl() const { return m_downloadUrl; }

    // Test seam; zero or less restores kMaxInstallerSize.
    void setMaxInstallerSize(qint64 bytes);

public slots:
    void checkUpdates(bool notifyNoUpdates = false);
    void onYesClicked();
    void onNoClicked();
    void onCancelClicked();

signals:
    void checkingChanged();
    void downloadingChanged();
    void progressChanged();
    void downloadErrorChanged();
    void checkErrorChanged();
    // The hand-over runs: the application should quit so that the package can replace it.
    void installerStarted();
    // Without self-update, "Update Now" asks for the page the new version is offered on.
    void downloadPageRequested(const QUrl &url);

private:
    bool sendCheck(const QUrl &url);
    void onCheckFinished(QNetworkReply *reply);
    void failCheck(const QString &reason);
    void download(const QUrl &url);
    void onDownloadReadyRead(QNetworkReply *reply);
    void onDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total);
    void onDownloadFinished(QNetworkReply *reply);
    void handOver();
    void failDownload(const QString &reason);
    void dropDownload();
    void removeFile();
    void setDownloadError(const QString &text);
    void invokeDialog(const char *method);

    QNetworkAccessManager *const m_manager;
    const QUrl m_manifestUrl;
    const QString m_handOver;
    QString m_version;
    QDateTime m_date;
    QUrl m_downloadUrl;
    bool m_notifyNoUpdates = false;
    bool m_checking = false;
    bool m_downloading = false;
    int m_progress = 0;
    QString m_downloadError;
    QString m_checkError;
    std::unique_ptr<QTemporaryFile> m_file;
    QPointer<QNetworkReply> m_checkReply;
    QPointer<QNetworkReply> m_reply;
    QPointer<QObject> m_dialog;
    int m_redirects = 0;
    bool m_tooLarge = false;
    qint64 m_written = 0;
    qint64 m_maxInstallerSize = kMaxInstallerSize;
};
