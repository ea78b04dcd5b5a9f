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

// Looks for a newer published version of the program, offers it through the QML update dialog,
// downloads the installer and starts it. The manifest names a program that will run, so both
// are fetched only over https (or from this machine).
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

public:
    static constexpr int kMaxRedirects = 20;   // the common value for web browsers
    static constexpr qint64 kMaxManifestSize = 64 * 1024;
    // Far above any installer of this program, far below filling a disk.
    static constexpr qint64 kMaxInstallerSize = qint64(1) << 30;

    ApplicationUpdater(QNetworkAccessManager *manager, const QUrl &manifestUrl, QObject *parent = nullptr);
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
    // The installer runs: the application should quit so that it can replace the program.
    void installerStarted();

private:
    bool sendCheck(const QUrl &url);
    void onCheckFinished(QNetworkReply *reply);
    void failCheck(const QString &reason);
    void download(const QUrl &url);
    void onDownloadReadyRead(QNetworkReply *reply);
    void onDownloadProgress(QNetworkReply *reply, qint64 received, qint64 total);
    void onDownloadFinished(QNetworkReply *reply);
    void launchInstaller();
    void failDownload(const QString &reason);
    void dropDownload();
    void removeFile();
    void setDownloadError(const QString &text);
    void invokeDialog(const char *method);

    QNetworkAccessManager *const m_manager;
    const QUrl m_manifestUrl;
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
    qint64 m_maxInstallerSize = kMaxInstallerSize;
};
