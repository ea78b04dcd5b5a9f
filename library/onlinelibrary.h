#pragma once


#include <QAbstractListModel>
#include <QFutureWatcher>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QMultiHash>
#include <QSharedPointer>
#include <QVector>

#include <functional>
#include <memory>

class FileActions;
class FileOwner;
class FolderScannerTaskData;
class LibraryFile;
class LibraryItem;
class LibraryItemRelay;
class QTimer;

// Every product of the signed-in customer, in the order they became known, with the saved library.
class OnlineLibrary : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool noneSelected READ noneSelected WRITE setNoneSelected NOTIFY selectedForSyncUpdated)
    Q_PROPERTY(bool anyItemUpdateAvailable READ anyItemUpdateAvailable NOTIFY anyItemUpdateAvailableChanged)

public:
    enum Roles {
        TitleRole = Qt::UserRole + 1,
        PublisherRole,
        ThumbURLRole,
        CoverURLRole,
        RuleSystemRole,
        FilesModelRole,
        TitleBadgeRole,
        DatePurchasedRole,
        SelectedForSyncRole,
        DownloadedDateRole,
        LastModifiedRole,
        LibraryItemObjectRole
    };

    // Its items and their files act through actions.
    explicit OnlineLibrary(FileActions &actions, QObject *parent = nullptr);
    ~OnlineLibrary() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    bool noneSelected() const { return m_noneSelected; }
    void setNoneSelected(bool none);
    bool allSelected() const { return m_allSelected; }
    // Kept current before selectedForSyncMayUpdated() is emitted, unlike the two flags.
    int selectedCount() const { return m_selectedCount; }
    bool anyItemUpdateAvailable() const { return m_itemsWithUpdates > 0; }

    void clear();
    void setBinaryStore(bool binary);
    bool binaryStore() const { return m_binaryStore; }
    // The store's file name before its extension, "library" unless set; another program on the
    // same profile keeps its own library beside this one.
    void setStoreName(const QString &name);
    QString storePath() const;
    // Damaged stores kept aside beside the store, oldest first.
    QStringList damagedStorePaths() const;

    // Changes are saved this long after the first one, so that a kill loses at most that much.
    static constexpr int kSaveDelayMs = 2000;
    // Lets tests wait less than the two seconds of the delayed save.
    static void setSaveDelay(int ms);
    // A change not yet on disk: the delay runs, or the delayed save is still under way.
    bool isSavePending() const;

    LibraryItem *itemAt(int row) const;
    bool anyFileDownloadedAt(int row) const;
    bool anyFileNotDownloadedAt(int row) const;
    bool anyFileUpdateAvailableAt(int row) const;
    qint64 remainingBytes() const;
    qint64 remainingBytesSelected() const;
    // Before work is queued: files recorded downloaded whose copies are gone become remote.
    void forgetMissingCopies(bool selectedOnly);
    // What a folder scan needs of every file with checksums, copied as the files are now.
    void collectFileHashes(FolderScannerTaskData &data) const;
    // The same a slice at a time, each call adding products for about budgetMs (at least one)
    // and saying whether all are in. It walks the products of this moment and keeps them alive
    // until it goes, so it must not outlive the library.
    std::function<bool(FolderScannerTaskData &data, qint64 budgetMs)> fileHashCollector() const;

    Q_INVOKABLE int filesCount(int row) const;
    Q_INVOKABLE void selectAll();
    Q_INVOKABLE int indexByLibraryItem(const FileOwner *item) const;
    Q_INVOKABLE QVariant get(int row, QByteArray role) const;

    // Files saved while queued take their places in the download queue again: once the
    // library is loaded and its products have their folders.
    void rejoinQueue();

public slots:
    void downloadAll();
    void downloadSelected();
    void deselectAll();
    void onUpdatedItemsChanged(bool isUpdateAvailable);
    void onTitlesRefreshResult(int page, QJsonArray array);
    void onTitlesRefreshFinished();
    // Writes the library now and waits for it (at quit, after a refresh).
    void save();
    // Saves a moment later; further changes before then ride along with the same save. The
    // items are copied on this thread in short slices and written on a worker thread.
    void saveDelayed();
    void load();

signals:
    void selectedForSyncUpdated();
    void selectedForSyncMayUpdated();
    void anyItemUpdateAvailableChanged();
    // A save left the saved library as it was; the next one tries again.
    void saveFailed(const QString &message);

private:
    void connectItem(LibraryItem *item);
    void listenToItems();
    void emitItemChanged(const LibraryItem *item, const QVector<int> &roles);
    void onItemSelectionChanged(LibraryItem *item);
    void updateSelection();
    void dropItems();
    // Gives every product whose folder an earlier product already has a folder of its own.
    void assignOwnFolders();
    // Drops the items and makes count new ones in a reset; fill(item, row) loads each.
    template<typename Fill>
    void replaceItems(int count, Fill fill);
    void keepDamagedStore(const QString &path, const QString &reason);
    void removeSaveLeftovers() const;
    void startBackgroundSave();
    void snapshotSlice();
    void onBackgroundSaveWritten();
    void releaseSlice();
    // Drops a save in the making and waits for a write under way, so nothing lands later.
    void settleSaves();

    // What one store write needs; the values are the items' saved forms.
    struct StoreWrite {
        QString path;
        bool binary = true;
        QVector<QJsonValue> values;
    };
    // Empty when written; otherwise why the saved library stays as it was.
    static QString writeStore(const StoreWrite &write);
    void reportSaveFailure(const QString &path, const QString &error);

    FileActions &m_actions;
    QTimer *m_saveTimer = nullptr;
    // The background save: the items still to copy, the copy so far, the write under way.
    QTimer *m_sliceTimer = nullptr;
    LibraryItemRelay *m_relay = nullptr;
    QList<QSharedPointer<LibraryItem>> m_snapshotItems;
    StoreWrite m_snapshot;
    bool m_snapshotting = false;
    bool m_saveQueued = false;
    QFutureWatcher<QString> m_writeWatcher;
    // The written copy comes back to be freed here a slice at a time: freed at once by the
    // writer, its many small blocks made the allocator's next tidy-up a stall of this thread.
    std::shared_ptr<QVector<QJsonValue>> m_handedBack;
    QVector<QJsonValue> m_releasing;
    QTimer *m_releaseTimer = nullptr;
    QList<QSharedPointer<LibraryItem>> m_items;
    // Keyed by the owner the download side reports with; only compared, never followed.
    QMap<const FileOwner *, int> m_rowIndex;
    QHash<QString, QSharedPointer<LibraryItem>> m_refreshIndex;
    bool m_libraryWasEmpty = true;
    bool m_binaryStore = true;
    QString m_storeName = QStringLiteral("library");
    bool m_allSelected = false;
    bool m_noneSelected = true;
    int m_itemsWithUpdates = 0;
    int m_selectedCount = 0;
    // Set while many items change at once (load, select all): the per-item reactions wait
    // and run once at the end instead of once per item.
    bool m_bulk = false;
};
