#pragma once

#include "downloads/transferfigures.h"

#include <QAbstractListModel>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QMultiHash>

class FileActions;
class FolderScannerTaskData;
class LibraryFile;
class FileOwner;

// The files of one product as a list model, with flags summarising their statuses.
class ItemFilesModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool downloadAllEnabled READ downloadAllEnabled WRITE setDownloadAllEnabled NOTIFY downloadAllEnabledChanged)
    Q_PROPERTY(bool oneFileDownloaded READ oneFileDownloaded WRITE setOneFileDownloaded NOTIFY oneFileDownloadedChanged)
    Q_PROPERTY(bool allFilesDownloaded READ allFilesDownloaded WRITE setAllFilesDownloaded NOTIFY allFilesDownloadedChanged)
    Q_PROPERTY(bool anyFilesDownloaded READ anyFilesDownloaded WRITE setAnyFilesDownloaded NOTIFY anyFilesDownloadedChanged)
    Q_PROPERTY(bool anyFileIsDownloading READ anyFileIsDownloading WRITE setAnyFileIsDownloading NOTIFY anyFileIsDownloadingChanged)
    Q_PROPERTY(bool anyFileIsErrored READ anyFileIsErrored WRITE setAnyFileIsErrored NOTIFY anyFileIsErroredChanged)
    Q_PROPERTY(bool anyFileUpdateAvailable READ anyFileUpdateAvailable WRITE setAnyFileUpdateAvailable NOTIFY anyFileUpdateAvailableChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int contentY READ contentY WRITE setContentY NOTIFY contentYChanged)
    Q_PROPERTY(float totalDownloadProgress READ totalDownloadProgress NOTIFY totalDownloadingProgressChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    // Over the files transferring now: bytes per second, seconds left for every file queued or
    // transferring (-1 unknown), and both as display text.
    Q_PROPERTY(qint64 transferRate READ transferRate NOTIFY transferRateChanged)
    Q_PROPERTY(int timeLeft READ timeLeft NOTIFY timeLeftChanged)
    Q_PROPERTY(QString transferText READ transferText NOTIFY transferTextChanged)

public:
    enum Roles {
        ServerFileNameRole = Qt::UserRole + 1,
        LocalFileNameRole,
        LocalDirRole,
        FileStatusRole,
        DownloadProgressRole,
        FileObjectRole
    };

    // Its files are made with actions, and every status it changes goes through them.
    ItemFilesModel(FileOwner *item, FileActions &actions);
    ~ItemFilesModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    bool downloadAllEnabled() const { return m_downloadAllEnabled; }
    void setDownloadAllEnabled(bool on);
    bool oneFileDownloaded() const { return m_oneFileDownloaded; }
    void setOneFileDownloaded(bool on);
    bool allFilesDownloaded() const { return m_allFilesDownloaded; }
    void setAllFilesDownloaded(bool on);
    bool anyFilesDownloaded() const { return m_anyFilesDownloaded; }
    void setAnyFilesDownloaded(bool on);
    bool anyFileIsDownloading() const { return m_anyFileIsDownloading; }
    void setAnyFileIsDownloading(bool on);
    bool anyFileIsErrored() const { return m_anyFileIsErrored; }
    void setAnyFileIsErrored(bool on);
    bool anyFileUpdateAvailable() const { return m_anyFileUpdateAvailable; }
    void setAnyFileUpdateAvailable(bool on);
    int count() const { return m_files.size(); }
    int contentY() const { return m_contentY; }
    void setContentY(int contentY);
    float totalDownloadProgress() const;
    QString lastError() const { return m_lastError; }
    qint64 transferRate() const { return m_transfer.rate; }
    int timeLeft() const { return m_transfer.secondsLeft; }
    QString transferText() const;

    // Files saved while queued take their places in the download queue again.
    void rejoinQueue();

    FileOwner *item() const { return m_item; }
    LibraryFile *fileAt(int row) const;
    const QList<LibraryFile *> &files() const { return m_files; }

    void loadSavedFiles(const QJsonValue &value);
    void mergeServiceFiles(const QJsonArray &files);
    QJsonValue toJson() const;
    qint64 totalSize() const;
    qint64 remainingBytes() const;
    // Adds the files a folder scan can recognise, those with checksums.
    void collectFileHashes(FolderScannerTaskData &data) const;

    Q_INVOKABLE void downloadAll();
    // A file recorded downloaded whose copy is gone (one stat each, no digest) is remote again,
    // so that the next download fetches it; says how many were.
    int forgetMissingCopies();
    Q_INVOKABLE void updateAll();
    Q_INVOKABLE void openOneFile();
    // The product's folder, found from the first file on disk.
    Q_INVOKABLE void showInFolder();

public slots:
    void onStatusChanged(LibraryFile *file);
    void onDownloadProgress(LibraryFile *file);

signals:
    void downloadAllEnabledChanged();
    void oneFileDownloadedChanged();
    void allFilesDownloadedChanged();
    void anyFilesDownloadedChanged();
    void anyFileIsDownloadingChanged();
    void anyFileIsErroredChanged();
    void anyFileUpdateAvailableChanged(bool b);
    void countChanged();
    void contentYChanged(int contentY);
    void totalDownloadingProgressChanged();
    void lastErrorChanged();
    void transferRateChanged();
    void timeLeftChanged();
    void transferTextChanged();

private:
    void recomputeFlags();
    void recomputeTransfer();
    void addFile(LibraryFile *file);

    FileOwner *const m_item;
    FileActions &m_actions;
    QList<LibraryFile *> m_files;
    // Files the service no longer lists: gone from the list, kept alive until the model goes
    // because a transfer or the download queue may still point at them.
    QList<LibraryFile *> m_droppedFiles;
    bool m_downloadAllEnabled = true;
    bool m_oneFileDownloaded = false;
    bool m_allFilesDownloaded = false;
    bool m_anyFilesDownloaded = false;
    bool m_anyFileIsDownloading = false;
    bool m_anyFileIsErrored = false;
    bool m_anyFileUpdateAvailable = false;
    int m_contentY = 0;
    QString m_lastError;
    TransferFigures m_transfer;
};
