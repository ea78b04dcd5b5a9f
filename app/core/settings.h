#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QSettings;

class Settings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString libraryDirectory READ libraryDirectory WRITE setLibraryDirectory NOTIFY libraryDirectoryChanged)
    Q_PROPERTY(int simultaneousDownloads READ simultaneousDownloads WRITE setSimultaneousDownloads NOTIFY simultaneousDownloadsChanged)
    Q_PROPERTY(bool checkUpdateOnStart READ checkUpdateOnStart WRITE setCheckUpdateOnStart NOTIFY checkUpdateOnStartChanged)
    Q_PROPERTY(UpdateBookPolicy updateBookPolicy READ updateBookPolicy WRITE setUpdateBookPolicy NOTIFY updateBookPolicyChanged)
    Q_PROPERTY(bool showThumbnails READ showThumbnails WRITE setShowThumbnails NOTIFY showThumbnailsChanged)
    Q_PROPERTY(bool loggingEnabled READ loggingEnabled WRITE setLoggingEnabled NOTIFY loggingEnabledChanged)
    Q_PROPERTY(bool showDeleteConfirmation READ showDeleteConfirmation WRITE setShowDeleteConfirmation NOTIFY showDeleteConfirmationChanged)
    Q_PROPERTY(bool deletePermanently READ deletePermanently WRITE setDeletePermanently NOTIFY deletePermanentlyChanged)
    Q_PROPERTY(bool equalRowHeight READ equalRowHeight WRITE setEqualRowHeight NOTIFY equalRowHeightChanged)
    Q_PROPERTY(bool downloadLimitOn READ downloadLimitOn WRITE setDownloadLimitOn NOTIFY downloadLimitChanged)
    Q_PROPERTY(int downloadLimitValue READ downloadLimitValue WRITE setDownloadLimitValue NOTIFY downloadLimitChanged)
    Q_PROPERTY(bool downloadLimitInMiB READ downloadLimitInMiB WRITE setDownloadLimitInMiB NOTIFY downloadLimitChanged)

public:
    enum UpdateBookPolicy { AskEachTime = 0, RenameOldFiles = 1, ReplaceOldFiles = 2 };
    Q_ENUM(UpdateBookPolicy)

    explicit Settings(QObject *parent = nullptr);

    QString libraryDirectory() const { return m_libraryDirectory; }
    int simultaneousDownloads() const { return m_simultaneousDownloads; }
    bool checkUpdateOnStart() const { return m_checkUpdateOnStart; }
    // A stored policy this version does not know reads as asking each time; it is saved back as stored.
    UpdateBookPolicy updateBookPolicy() const;
    bool showThumbnails() const { return m_showThumbnails; }
    bool loggingEnabled() const { return m_loggingEnabled; }
    bool showDeleteConfirmation() const;
    bool deletePermanently() const { return m_deletePermanently; }
    bool equalRowHeight() const { return m_equalRowHeight; }
    // The speed limit of all downloads together: its value stays while it is off.
    bool downloadLimitOn() const { return m_downloadLimitOn; }
    int downloadLimitValue() const { return m_downloadLimitValue; }
    bool downloadLimitInMiB() const { return m_downloadLimitInMiB; }
    // Bytes per second; 0 when off.
    qint64 downloadLimitBytes() const;

    void setLibraryDirectory(QString dir);
    void setSimultaneousDownloads(int n);
    void setCheckUpdateOnStart(bool on);
    void setUpdateBookPolicy(UpdateBookPolicy policy);
    void setShowThumbnails(bool on);
    void setLoggingEnabled(bool on);
    void setShowDeleteConfirmation(bool on);
    void setDeletePermanently(bool on);
    void setEqualRowHeight(bool on);
    void setDownloadLimitOn(bool on);
    void setDownloadLimitValue(int value);
    void setDownloadLimitInMiB(bool inMiB);

    static QString defaultLibraryDirectory();

    // Every folder the customer chose for the library or had scanned, the current library
    // folder first: files are only ever deleted below one of them.
    QStringList libraryFolders() const;
    void addLibraryFolder(const QString &dir);

    // Sign-in secrets, under their settings keys: kept in the desktop's secret service when one
    // runs, else in the settings file, readable by the user alone. A secret found in the file
    // while a secret service runs moves there, once. Removal clears both.
    static QString readSecret(const QString &key);
    static void writeSecret(const QString &key, const QString &value);
    static void removeSecret(const QString &key);

    // Writes `store` to disk readable by the user alone: it also holds the sign-in keys. False
    // when the file does not hold what was written (a full disk, a read-only folder).
    static bool protectStore(QSettings &store);
    // What the user is told when the store could not be written.
    static QString storeFailureText(const QSettings &store);
    // Removes what an interrupted write of the store left behind.
    static void removeStoreLeftovers();

public slots:
    void save();
    void load();

signals:
    // A write of the settings did not reach the disk; the message says so.
    void storeFailed(const QString &message);
    void libraryDirectoryChanged(QString newDir);
    void simultaneousDownloadsChanged(int simultaneousDownloads);
    void checkUpdateOnStartChanged(bool checkUpdateOnStart);
    void updateBookPolicyChanged(UpdateBookPolicy updateBookPolicy);
    void showThumbnailsChanged(bool);
    void loggingEnabledChanged(bool);
    void showDeleteConfirmationChanged(bool);
    void deletePermanentlyChanged(bool);
    void equalRowHeightChanged(bool);
    void downloadLimitChanged();

private:
    QString m_libraryDirectory;
    QStringList m_chosenFolders;
    int m_updateBookPolicy = AskEachTime;
    qint32 m_simultaneousDownloads = 3;
    bool m_checkUpdateOnStart = true;
    bool m_showThumbnails = true;
    bool m_loggingEnabled = true;
    bool m_deletePermanently = false;
    bool m_equalRowHeight = false;
    bool m_downloadLimitOn = false;
    int m_downloadLimitValue = 1;
    bool m_downloadLimitInMiB = true;
};
