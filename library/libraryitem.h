#pragma once

#include "downloads/fileowner.h"
#include "library/binarystorereader.h"
#include "library/libraryitembadge.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

class FileActions;
class FolderScannerTaskData;
class ItemFilesModel;
class LibraryItemRelay;

// One purchased product: its details from the service, its badge, its selection flag and its files.
class LibraryItem final : public FileOwner
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QString publisher READ publisher WRITE setPublisher)
    Q_PROPERTY(QString thumbURL READ thumbURL WRITE setThumbURL)
    Q_PROPERTY(QString coverURL READ coverURL WRITE setCoverURL)
    Q_PROPERTY(QString ruleSystem READ ruleSystem WRITE setRuleSystem)
    Q_PROPERTY(QString productId READ productId WRITE setProductId)
    Q_PROPERTY(int archived READ archived WRITE setArchived)
    Q_PROPERTY(LibraryItemBadge::Badge titleBadge READ titleBadge WRITE setTitleBadge)
    Q_PROPERTY(QDateTime newBadgeTime READ newBadgeTime WRITE setNewBadgeTime)
    Q_PROPERTY(QString datePurchased READ datePurchased WRITE setDatePurchased)
    Q_PROPERTY(QString downloadedDate READ downloadedDate WRITE setDownloadedDate NOTIFY downloadedDateUpdated)
    Q_PROPERTY(bool selectedForSync READ selectedForSync WRITE setSelectedForSync NOTIFY selectedForSyncChanged)

public:
    // The item and its files act through actions.
    explicit LibraryItem(FileActions &actions, QObject *parent = nullptr);
    ~LibraryItem() override;

    QString title() const override { return m_title; }
    void setTitle(const QString &title) { m_title = title; invalidateSearchText(); }
    QString publisher() const override { return m_publisher; }
    void setPublisher(const QString &publisher) { m_publisher = publisher; invalidateSearchText(); }
    QString thumbURL() const { return m_thumbURL; }
    void setThumbURL(const QString &url) { m_thumbURL = url; invalidateSearchText(); }
    QString coverURL() const { return m_coverURL; }
    void setCoverURL(const QString &url) { m_coverURL = url; invalidateSearchText(); }
    QString ruleSystem() const { return m_ruleSystem; }
    void setRuleSystem(const QString &ruleSystem) { m_ruleSystem = ruleSystem; invalidateSearchText(); }
    QString productId() const override { return m_productId; }
    void setProductId(const QString &id) { m_productId = id; }
    int archived() const { return m_archived; }
    void setArchived(int archived) { m_archived = archived; }
    LibraryItemBadge::Badge titleBadge() const { return m_titleBadge; }
    void setTitleBadge(LibraryItemBadge::Badge badge);
    QDateTime newBadgeTime() const { return m_newBadgeTime; }
    void setNewBadgeTime(const QDateTime &time) { m_newBadgeTime = time; }
    QString datePurchased() const override { return m_datePurchased; }
    void setDatePurchased(const QString &date) { m_datePurchased = date; invalidateSearchText(); }
    QString downloadedDate() const { return m_downloadedDate; }
    void setDownloadedDate(const QString &date) { m_downloadedDate = date; invalidateSearchText(); }
    bool selectedForSync() const { return m_selectedForSync; }
    void setSelectedForSync(bool selected);

    // The item's folder below the library folder, "publisher/title". A product whose folder
    // another product had first keeps one of its own, with its id added, so that no two
    // products ever share a file; the choice is saved, so the folder never moves once used.
    QString productFolder() const override;
    bool ownFolder() const { return m_ownFolder; }
    void setOwnFolder(bool own) { m_ownFolder = own; }

    // Made on first use: a saved item whose files are all plain remote ones keeps them in
    // their compact saved form until something asks for them.
    ItemFilesModel *filesModel() const;
    LibraryFile *fileAt(int row) const override;
    void fileQueued() override;
    // Files still in their saved form, all of them remote.
    bool filesPending() const { return m_filesPending; }
    int pendingFileCount() const { return m_pendingFileCount; }
    // Records the item's files for a folder scan; files still in saved form stay so.
    void collectFileHashes(FolderScannerTaskData &data) const;
    // Where the item's announcements go besides its own signals (the library's listener).
    void setRelay(LibraryItemRelay *relay);
    // Its files that were saved while queued take their places in the download queue again.
    void rejoinQueue();

    void refreshTitleBadge() override;
    void applyProduct(const QJsonObject &product);
    void setRulesInfo(bool success, QJsonValue product);
    void requestTitleInfo() override;
    void fromJson(const QJsonValue &value);
    // The same from an object of a binary store read in place.
    void fromSaved(const BinaryStoreReader &store, BinaryStoreReader::Value object);
    QJsonValue toJson() const;
    void stampDownloadedDate() override;
    void clearDownloadedDate() override;
    QString displayDownloadedDate() const;
    QString displayLastModified() const;

    // The text forms of every library role joined by kSearchSeparator, kept until a field
    // that feeds them changes, so that a search does not rebuild them per row and keystroke.
    const QString &searchText() const;
    void invalidateSearchText() override
    {
        m_searchTextValid = false;
        ++m_searchTextVersion;
    }
    // Changes whenever the search text may have changed, so that answers about it can be kept.
    quint32 searchTextVersion() const { return m_searchTextVersion; }
    static const QChar kSearchSeparator;

    // The clock behind the badge rules; tests replace it (nullptr restores the system clock).
    using Clock = QDateTime (*)();
    static void setClock(Clock clock);
    static QDateTime currentDateTime();

    Q_INVOKABLE void downloadAllFiles();
    Q_INVOKABLE void updateAllFiles();
    Q_INVOKABLE void openOneFile();

public slots:
    void setFilesInfo(bool success, QJsonValue product);

signals:
    void filesInfoUpdated(LibraryItem *item);
    void rulesInfoUpdated(LibraryItem *item);
    void itemBadgeUpdated(LibraryItem *item);
    void downloadedDateUpdated(LibraryItem *item);
    void selectedForSyncChanged();

private:
    void applySavedField(const QString &key, const QJsonValue &field);
    void keepPendingFiles(const BinaryStoreReader &store, BinaryStoreReader::Value files);
    void finishLoading();
    void relayFileSignals() const;
    QJsonValue savedFiles() const;

    QString m_title;
    QString m_publisher;
    QString m_thumbURL;
    QString m_coverURL;
    QString m_ruleSystem;
    QString m_productId;
    int m_archived = 0;
    LibraryItemBadge::Badge m_titleBadge = LibraryItemBadge::None;
    QDateTime m_newBadgeTime;
    QString m_datePurchased;
    QString m_downloadedDate;
    bool m_selectedForSync = false;
    bool m_ownFolder = false;
    FileActions &m_actions;
    mutable ItemFilesModel *m_filesModel = nullptr;
    LibraryItemRelay *m_relay = nullptr;
    // The saved files as a standalone binary document, with what the library and the search
    // read of them before they exist.
    mutable QByteArray m_pendingFiles;
    mutable bool m_filesPending = false;
    int m_pendingFileCount = 0;
    QDateTime m_pendingFirstModified;
    mutable QString m_searchText;
    mutable bool m_searchTextValid = false;
    quint32 m_searchTextVersion = 0;
};
