#pragma once

#include "downloads/fileowner.h"
#include "downloads/transferfigures.h"
#include "downloads/transferratemeter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonValue>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class FileActions;
class QTimer;

// One downloadable file of a product: what the service says about it joined with what is
// known of its copy on the local disk.
class LibraryFile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString localDir READ localDir WRITE setLocalDir NOTIFY localDirChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString serverFileName READ serverFileName WRITE setServerFileName)
    Q_PROPERTY(QString localFileName READ localFileName WRITE setLocalFileName NOTIFY localFileNameChanged)
    Q_PROPERTY(QString localFileHash READ localFileHash WRITE setLocalFileHash)
    Q_PROPERTY(QString foundFilePath READ foundFilePath WRITE setFoundFilePath STORED false)
    Q_PROPERTY(QString errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(int bundleId READ bundleId WRITE setBundleId)
    Q_PROPERTY(QDateTime lastModified READ lastModified WRITE setLastModified)
    Q_PROPERTY(QDateTime localLastModified READ localLastModified WRITE setLocalLastModified)
    Q_PROPERTY(qint64 totalSize READ totalSize WRITE setTotalSize)
    Q_PROPERTY(qint64 dlSize READ dlSize WRITE setDlSize)
    Q_PROPERTY(double downloadProgress READ downloadProgress WRITE setDownloadProgress)
    Q_PROPERTY(qint64 downloadedSize READ downloadedSize WRITE setDownloadedSize)
    Q_PROPERTY(QString hashesMap READ hashesMap WRITE setHashesMap)
    // While Downloading: bytes per second, seconds left (-1 unknown) and both as display text.
    Q_PROPERTY(qint64 transferRate READ transferRate NOTIFY transferRateChanged STORED false)
    Q_PROPERTY(int timeLeft READ timeLeft NOTIFY timeLeftChanged STORED false)
    Q_PROPERTY(QString transferText READ transferText NOTIFY transferTextChanged STORED false)

public:
    enum Status {
        Remote = 0,
        Local = 1,
        Downloaded = 2,
        UpdateAvailable = 3,
        Queued = 4,
        Downloading = 5,
        DownloadPaused = 6,
        DownloadError = 7
    };
    Q_ENUM(Status)

    // Every change of status it asks for, and what it reports or asks, goes through actions.
    LibraryFile(FileOwner *item, FileActions &actions);
    ~LibraryFile() override;

    FileOwner *item() const { return m_item; }

    QString localDir() const { return m_localDir; }
    void setLocalDir(const QString &dir);
    Status status() const { return m_status; }
    QString serverFileName() const { return m_serverFileName; }
    void setServerFileName(const QString &name);
    QString localFileName() const { return m_localFileName; }
    void setLocalFileName(const QString &name);
    QString localFileHash() const { return m_localFileHash; }
    void setLocalFileHash(const QString &hash);
    QString foundFilePath() const { return m_foundFilePath; }
    void setFoundFilePath(const QString &path);
    QString errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const QString &message);
    int bundleId() const { return m_bundleId; }
    void setBundleId(int id);
    QDateTime lastModified() const { return m_lastModified; }
    void setLastModified(const QDateTime &time);
    QDateTime localLastModified() const { return m_localLastModified; }
    void setLocalLastModified(const QDateTime &time);
    qint64 totalSize() const { return m_totalSize; }
    void setTotalSize(qint64 size);
    qint64 dlSize() const { return m_dlSize; }
    void setDlSize(qint64 size);
    double downloadProgress() const { return m_downloadProgress; }
    void setDownloadProgress(double progress);
    qint64 downloadedSize() const { return m_downloadedSize; }
    void setDownloadedSize(qint64 size);
    QString hashesMap() const;
    void setHashesMap(const QString &text);

    qint64 transferRate() const { return m_transfer.rate; }
    int timeLeft() const { return m_transfer.secondsLeft; }
    QString transferText() const;
    // How often the rate is sampled while Downloading; a seam for tests.
    static void setRateSampleIntervalMs(int ms);

    QMap<QString, QDateTime> hashes() const { return m_hashes; }
    void setHashes(const QMap<QString, QDateTime> &hashes);
    // Takes the digests a reply names; false, with the known ones kept, when it names none.
    bool updateChecksums(const QJsonArray &checksums);
    // Whether the local copy's digest is one the service named; with none named, any is.
    bool localHashMatches() const { return matchesDigest(m_localFileHash); }
    bool matchesDigest(const QString &hash) const;

    QString downloadPath() const;
    // Where a transfer writes until the copy has verified: beside downloadPath(), so that a
    // dropped transfer never leaves a short file under the book's own name.
    QString partialPath() const;
    static QString partialPathOf(const QString &path);
    static bool isPartialName(const QString &path);
    QString productFolder() const;
    QString filePath() const;
    // Bytes of a partial copy at partialPath() (or, left by an older version, at downloadPath())
    // that a download continues from: the recorded resume point while the copy holds it, else
    // the length of a copy shorter than totalSize (left by a run that was stopped or killed); 0
    // when there is none. What is kept is only trusted until the digest check: a mismatch
    // downloads the file again from byte 0, once.
    qint64 resumableSize() const;
    QByteArray productId() const;
    static QString sanitizeFileName(const QString &name);
    // File systems take names of 255 bytes; the rest leaves room for ".old-001" and the like.
    static constexpr int kMaxNameBytes = 240;
    // Texts from the service (names, publishers, file names) are kept whole up to this many
    // characters, far more than a window shows; beyond it a hostile reply would only cost
    // memory and time in every view, search and save.
    static constexpr int kMaxTextLength = 1024;
    static constexpr int kMaxUrlLength = 8192;
    static QString boundedText(const QString &text, int maxLength = kMaxTextLength);
    // A product's folder below the library folder; a product that shares its name with an
    // earlier one gets a folder of its own, named with its id.
    static QString productFolderOf(const QString &publisher, const QString &title, const QString &productId,
                                   bool ownFolder);

    void clearLocalFile();
    bool renameOldFile();
    void updateRename();
    void updateReplace();
    // Ends a replacing download: a verified copy takes the old one's place, anything else
    // gives the old copy back. Returns the status the file ends in.
    Status endReplace(bool verified);
    // A scan found the copy at dir/fileName with the digest hash; false, with nothing changed,
    // when the digest names an older version than the one recorded.
    bool updateLocalFile(const QString &dir, const QString &fileName, const QString &hash);
    // Makes the product's folder under the library folder; false (with the error message set)
    // when it cannot be made.
    bool prepareFolder(const QString &libraryDirectory);
    // Deletes the local copy as the settings say (trash or for good); false when it stays.
    bool removeLocalCopy();
    // True when path lies below a folder the customer chose for the library, and so does what
    // it names when it is a link: a saved record or a planted link must not aim a delete
    // anywhere else.
    bool mayRemove(const QString &path) const;

    QJsonValue toJson() const;
    void fromJson(const QJsonValue &value);

    Q_INVOKABLE void startDownload();
    Q_INVOKABLE void pauseDownload();
    Q_INVOKABLE void resumeDownload();
    Q_INVOKABLE void cancelDownload();
    Q_INVOKABLE void openInDefaultViewer();
    Q_INVOKABLE void showInFolder();
    Q_INVOKABLE void deleteFile();
    Q_INVOKABLE void askAndDeleteFile();
    Q_INVOKABLE void updateDownload();

public slots:
    void onDownloadedProgress(double progress);

signals:
    void localDirChanged(QString localDir);
    void statusChanged(LibraryFile *file);
    void downloadProgress(LibraryFile *file);
    void localFileNameChanged();
    void errorMessageChanged();
    void transferRateChanged();
    void timeLeftChanged();
    void transferTextChanged();
    // The status, the local path or the resume point changed: the saved library is behind.
    void savedStateChanged();

private:
    // Every change of status is the download manager's (or, for a file outside a running
    // library, the idle actions'): a file only records and announces it.
    friend class DownloadManager;
    friend class IdleFileActions;
    void setStatus(Status status);
    // A copy was found on disk: downloaded, unless the service already has a newer version.
    void recordFoundCopy();
    // The copy is gone: remote, with nothing on disk to resume from.
    void forgetCopy();
    // Leaves a transfer the download manager has stopped: paused where a partial copy is
    // kept, remote otherwise.
    void stopDownload();

    void resetProgress();
    void startRateSampling();
    void stopRateSampling();
    void sampleRate();
    void setTransferFigures(qint64 rate, int secondsLeft);
    bool copyMatchesRecordedSize() const;
    void reportError(const QString &message);

    FileOwner *const m_item;
    FileActions &m_actions;
    QString m_localDir;
    Status m_status = Remote;
    QString m_serverFileName;
    QString m_localFileName;
    QString m_localFileHash;
    QString m_foundFilePath;
    QString m_errorMessage;
    qint32 m_bundleId = 0;
    QDateTime m_lastModified;
    QDateTime m_localLastModified;
    qint64 m_totalSize = 0;
    qint64 m_dlSize = 0;
    double m_downloadProgress = 0.0;
    qint64 m_downloadedSize = 0;
    QMap<QString, QDateTime> m_hashes;
    // The copy a replacing download will take the place of, while it runs.
    struct Replaced {
        bool active = false;
        QString localFileName;
        QString localFileHash;
        QString foundFilePath;
    } m_replaced;
    QTimer *m_rateTimer = nullptr;
    QElapsedTimer m_rateClock;
    TransferRateMeter m_rateMeter;
    TransferFigures m_transfer;
};

Q_DECLARE_METATYPE(LibraryFile *)
