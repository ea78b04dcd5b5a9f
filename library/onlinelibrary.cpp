#include "onlinelibrary.h"

#include "binarystorereader.h"
#include "downloads/bytecount.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "itemfilesmodel.h"
#include "libraryitem.h"
#include "libraryitemrelay.h"
#include "storefile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <QtEndian>

#include <limits>

namespace {

// The binary form's header: tag "qbjs", format version 1, then the size of the top-level value.
const int kBinaryHeaderSize = 12;
const quint32 kBinaryTag = 0x736a6271;  // "qbjs" read little-endian

// QJsonDocument::toBinaryData gives up (empty or truncated output) on documents beyond the
// format's size limit; such bytes must never replace a good library.
bool binaryDataComplete(const QByteArray &bytes)
{
    if (bytes.size() < kBinaryHeaderSize)
        return false;
    const auto *raw = reinterpret_cast<const uchar *>(bytes.constData());
    return qFromLittleEndian<quint32>(raw) == kBinaryTag && qFromLittleEndian<quint32>(raw + 4) == 1
        && qint64(qFromLittleEndian<quint32>(raw + 8)) + 8 == bytes.size();
}

QByteArray toBinary(const QJsonDocument &document)
{
    // The binary writer gives nothing at all for an empty array; this is the form it reads
    // back as one: header, then an array value with no entries and its table right after it.
    if (document.isArray() && document.array().isEmpty()) {
        static const char empty[] = "qbjs\x01\0\0\0\x0c\0\0\0\0\0\0\0\x0c\0\0\0";
        return QByteArray(empty, sizeof(empty) - 1);
    }
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
    return document.toBinaryData();
QT_WARNING_POP
}

int g_saveDelayMs = OnlineLibrary::kSaveDelayMs;

// The longest the background save copies items before letting the event loop run: well
// within one frame.
const qint64 kSnapshotSliceNs = 4 * 1000 * 1000;
// Saved forms of items freed per event-loop turn after a write.
const int kReleaseStride = 256;

// A saved library is four levels deep; Qt's readers recurse once per level and a hostile
// store nested some hundred thousand levels would overflow the stack inside them.
const int kMaxStoreDepth = 64;
// Damaged stores kept aside, newest first; older ones are removed.
const int kKeptDamagedStores = 3;

bool textDepthWithin(const QByteArray &bytes, int limit)
{
    int depth = 0;
    bool inString = false;
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    for (; p < end; ++p) {
        const char c = *p;
        if (inString) {
            if (c == '\\')
                ++p;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

} // namespace

OnlineLibrary::OnlineLibrary(FileActions &actions, QObject *parent)
    : QAbstractListModel(parent)
    , m_actions(actions)
    , m_saveTimer(new QTimer(this))
    , m_sliceTimer(new QTimer(this))
    , m_relay(new LibraryItemRelay(this))
    , m_releaseTimer(new QTimer(this))
{
    listenToItems();
    m_saveTimer->setSingleShot(true);
    connect(m_saveTimer, &QTimer::timeout, this, &OnlineLibrary::startBackgroundSave);
    m_sliceTimer->setSingleShot(true);
    m_sliceTimer->setInterval(0);
    connect(m_sliceTimer, &QTimer::timeout, this, &OnlineLibrary::snapshotSlice);
    connect(&m_writeWatcher, &QFutureWatcherBase::finished, this, &OnlineLibrary::onBackgroundSaveWritten);
    m_releaseTimer->setSingleShot(true);
    m_releaseTimer->setInterval(0);
    connect(m_releaseTimer, &QTimer::timeout, this, &OnlineLibrary::releaseSlice);
}

OnlineLibrary::~OnlineLibrary()
{
    if (m_saveTimer->isActive() || m_snapshotting || m_saveQueued)
        save();
    else
        settleSaves();
    dropItems();
}

void OnlineLibrary::setSaveDelay(int ms)
{
    g_saveDelayMs = ms;
}

bool OnlineLibrary::isSavePending() const
{
    return m_saveTimer->isActive() || m_snapshotting || m_saveQueued || m_writeWatcher.isRunning();
}

void OnlineLibrary::saveDelayed()
{
    // Not restarted by later changes: a running transfer changes its file all the time.
    if (m_bulk || m_saveTimer->isActive())
        return;
    m_saveTimer->start(g_saveDelayMs);
}

int OnlineLibrary::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

QVariant OnlineLibrary::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_items.size())
        return QVariant();
    LibraryItem *item = m_items.at(index.row()).data();
    switch (role) {
    case TitleRole:
        return item->title();
    case PublisherRole:
        return item->publisher();
    case ThumbURLRole:
        return item->thumbURL();
    case CoverURLRole:
        return item->coverURL();
    case RuleSystemRole:
        return item->ruleSystem();
    case FilesModelRole:
        return QVariant::fromValue(item->filesModel());
    case TitleBadgeRole:
        return int(item->titleBadge());
    case DatePurchasedRole:
        return item->datePurchased();
    case SelectedForSyncRole:
        return item->selectedForSync();
    case DownloadedDateRole:
        return item->displayDownloadedDate();
    case LastModifiedRole:
        return item->displayLastModified();
    case LibraryItemObjectRole:
        return QVariant::fromValue(item);
    case Qt::InitialSortOrderRole:
        return index.row();
    default:
        return QVariant();
    }
}

bool OnlineLibrary::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role == SelectedForSyncRole && index.isValid() && index.row() < m_items.size())
        m_items.at(index.row())->setSelectedForSync(value.toBool());
    return true;
}

QHash<int, QByteArray> OnlineLibrary::roleNames() const
{
    static const QHash<int, QByteArray> names = {
        {TitleRole, "title"},
        {PublisherRole, "publisher"},
        {ThumbURLRole, "thumbURL"},
        {CoverURLRole, "coverURL"},
        {RuleSystemRole, "ruleSystem"},
        {FilesModelRole, "filesModel"},
        {TitleBadgeRole, "titleBadge"},
        {DatePurchasedRole, "datePurchased"},
        {SelectedForSyncRole, "selectedForSync"},
        {DownloadedDateRole, "downloadedDate"},
        {LastModifiedRole, "lastModified"},
        {LibraryItemObjectRole, "libraryItemObject"},
    };
    return names;
}

void OnlineLibrary::setNoneSelected(bool none)
{
    if (m_noneSelected == none)
        return;
    m_noneSelected = none;
    emit selectedForSyncUpdated();
}

void OnlineLibrary::connectItem(LibraryItem *item)
{
    item->setRelay(m_relay);
}

void OnlineLibrary::listenToItems()
{
    const auto filesChanged = [this](LibraryItem *changed) {
        emitItemChanged(changed, {FilesModelRole, PublisherRole, DownloadedDateRole});
    };
    connect(m_relay, &LibraryItemRelay::filesInfoUpdated, this, filesChanged);
    connect(m_relay, &LibraryItemRelay::downloadedDateUpdated, this, filesChanged);
    connect(m_relay, &LibraryItemRelay::rulesInfoUpdated, this,
            [this](LibraryItem *changed) { emitItemChanged(changed, {RuleSystemRole}); });
    connect(m_relay, &LibraryItemRelay::itemBadgeUpdated, this,
            [this](LibraryItem *changed) { emitItemChanged(changed, {TitleBadgeRole}); });
    connect(m_relay, &LibraryItemRelay::selectedForSyncChanged, this, &OnlineLibrary::onItemSelectionChanged);
    connect(m_relay, &LibraryItemRelay::anyFileUpdateAvailableChanged, this, &OnlineLibrary::onUpdatedItemsChanged);
    connect(m_relay, &LibraryItemRelay::filesStateChanged, this, &OnlineLibrary::saveDelayed);
}

void OnlineLibrary::emitItemChanged(const LibraryItem *item, const QVector<int> &roles)
{
    // Items not yet in the list (a refresh builds them before inserting) are announced by
    // their insertion; inside a reset the views re-read everything anyway.
    if (m_bulk)
        return;
    const auto it = m_rowIndex.constFind(item);
    if (it == m_rowIndex.constEnd() || it.value() >= m_items.size())
        return;
    const QModelIndex changed = index(it.value());
    emit dataChanged(changed, changed, roles);
}

void OnlineLibrary::onItemSelectionChanged(LibraryItem *item)
{
    m_selectedCount += item->selectedForSync() ? 1 : -1;
    emitItemChanged(item, {SelectedForSyncRole});
    if (!m_bulk)
        updateSelection();
}

void OnlineLibrary::updateSelection()
{
    emit selectedForSyncMayUpdated();
    const bool all = m_selectedCount == m_items.size();
    const bool none = m_selectedCount == 0;
    if (all == m_allSelected && none == m_noneSelected)
        return;
    m_allSelected = all;
    m_noneSelected = none;
    emit selectedForSyncUpdated();
}

void OnlineLibrary::dropItems()
{
    // An item may outlive the list (a save in the making holds it): it reports no more.
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
        item->setRelay(nullptr);
    m_refreshIndex.clear();
    // Oldest first: each item leaves the library's list of children, which is searched from
    // the front; releasing from the back would make dropping a large library quadratic.
    for (QSharedPointer<LibraryItem> &item : m_items)
        item.reset();
    m_items.clear();
    m_rowIndex.clear();
    m_selectedCount = 0;
}

void OnlineLibrary::clear()
{
    // A save under way would bring back the store removed below.
    settleSaves();
    if (!m_items.isEmpty())
        beginRemoveRows(QModelIndex(), 0, m_items.size() - 1);
    const bool hadRows = !m_items.isEmpty();
    dropItems();
    if (hadRows)
        endRemoveRows();
    m_libraryWasEmpty = true;
    QFile::remove(storePath());

    const bool hadUpdates = m_itemsWithUpdates > 0;
    m_itemsWithUpdates = 0;
    if (hadUpdates)
        emit anyItemUpdateAvailableChanged();
    updateSelection();
}

void OnlineLibrary::setBinaryStore(bool binary)
{
    m_binaryStore = binary;
}

void OnlineLibrary::setStoreName(const QString &name)
{
    m_storeName = name;
}

QString OnlineLibrary::storePath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + m_storeName
        + (m_binaryStore ? QStringLiteral(".dat") : QStringLiteral(".js"));
}

LibraryItem *OnlineLibrary::itemAt(int row) const
{
    // No shared-pointer copy: the sort and filter call this for every comparison.
    return row >= 0 && row < m_items.size() ? m_items.at(row).data() : nullptr;
}

namespace {

template<typename Predicate>
bool anyFileAt(LibraryItem *item, Predicate predicate)
{
    if (!item)
        return false;
    for (LibraryFile *file : item->filesModel()->files()) {
        if (predicate(file->status()))
            return true;
    }
    return false;
}

} // namespace

bool OnlineLibrary::anyFileDownloadedAt(int row) const
{
    // Files still in their saved form are all remote ones.
    if (LibraryItem *item = itemAt(row); item && item->filesPending())
        return false;
    return anyFileAt(itemAt(row), [](LibraryFile::Status s) {
        return s == LibraryFile::Downloaded || s == LibraryFile::UpdateAvailable;
    });
}

bool OnlineLibrary::anyFileNotDownloadedAt(int row) const
{
    if (LibraryItem *item = itemAt(row); item && item->filesPending())
        return item->pendingFileCount() > 0;
    return anyFileAt(itemAt(row), [](LibraryFile::Status s) {
        return s == LibraryFile::Remote || s == LibraryFile::Queued || s == LibraryFile::DownloadError
            || s == LibraryFile::DownloadPaused;
    });
}

bool OnlineLibrary::anyFileUpdateAvailableAt(int row) const
{
    if (LibraryItem *item = itemAt(row); item && item->filesPending())
        return false;
    return anyFileAt(itemAt(row), [](LibraryFile::Status s) { return s == LibraryFile::UpdateAvailable; });
}

qint64 OnlineLibrary::remainingBytes() const
{
    qint64 total = 0;
    for (const QSharedPointer<LibraryItem> &item : m_items)
        total = ByteCount::add(total, item->filesModel()->remainingBytes());
    return total;
}

qint64 OnlineLibrary::remainingBytesSelected() const
{
    qint64 total = 0;
    for (const QSharedPointer<LibraryItem> &item : m_items) {
        if (item->selectedForSync())
            total = ByteCount::add(total, item->filesModel()->remainingBytes());
    }
    return total;
}

void OnlineLibrary::forgetMissingCopies(bool selectedOnly)
{
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items)) {
        if (!selectedOnly || item->selectedForSync())
            item->filesModel()->forgetMissingCopies();
    }
}

void OnlineLibrary::collectFileHashes(FolderScannerTaskData &data) const
{
    // At least one file a product: most of the growth is spared.
    data.reserve(data.fileCount() + m_items.size());
    for (const QSharedPointer<LibraryItem> &item : m_items)
        item->collectFileHashes(data);
}

std::function<bool(FolderScannerTaskData &, qint64)> OnlineLibrary::fileHashCollector() const
{
    // A copy of the list, not of the products: taking it costs nothing. A product a refresh
    // drops meanwhile lives on in it; its files are gone by the time matches are applied.
    const QList<QSharedPointer<LibraryItem>> items = m_items;
    int next = 0;
    return [items, next](FolderScannerTaskData &data, qint64 budgetMs) mutable {
        QElapsedTimer clock;
        clock.start();
        if (next == 0)
            data.reserve(data.fileCount() + items.size());
        while (next < items.size()) {
            items.at(next++)->collectFileHashes(data);
            if (clock.elapsed() >= budgetMs)
                break;
        }
        return next >= items.size();
    };
}

int OnlineLibrary::filesCount(int row) const
{
    if (row < 0 || row >= m_items.size())
        return 0;
    const LibraryItem *item = m_items.at(row).data();
    return item->filesPending() ? item->pendingFileCount() : item->filesModel()->count();
}

void OnlineLibrary::selectAll()
{
    if (m_selectedCount == m_items.size())
        return;
    beginResetModel();
    m_bulk = true;
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
        item->setSelectedForSync(true);
    m_bulk = false;
    endResetModel();
    updateSelection();
}

void OnlineLibrary::deselectAll()
{
    // Nothing to clear: a reset would only cost the views their scroll position.
    if (m_selectedCount == 0)
        return;
    beginResetModel();
    m_bulk = true;
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
        item->setSelectedForSync(false);
    m_bulk = false;
    endResetModel();
    updateSelection();
}

int OnlineLibrary::indexByLibraryItem(const FileOwner *item) const
{
    return m_rowIndex.value(item, -1);
}

QVariant OnlineLibrary::get(int row, QByteArray role) const
{
    if (row < 0 || row >= m_items.size())
        return QVariant();
    return data(index(row), roleNames().key(role, -1));
}

void OnlineLibrary::downloadAll()
{
    const QList<QSharedPointer<LibraryItem>> items = m_items;
    for (const QSharedPointer<LibraryItem> &item : items)
        item->filesModel()->downloadAll();
}

void OnlineLibrary::downloadSelected()
{
    const QList<QSharedPointer<LibraryItem>> items = m_items;
    for (const QSharedPointer<LibraryItem> &item : items) {
        if (item->selectedForSync())
            item->filesModel()->downloadAll();
    }
}

void OnlineLibrary::onUpdatedItemsChanged(bool isUpdateAvailable)
{
    m_itemsWithUpdates += isUpdateAvailable ? 1 : -1;
    if (!m_bulk)
        emit anyItemUpdateAvailableChanged();
}

void OnlineLibrary::onTitlesRefreshResult(int page, QJsonArray array)
{
    if (page == 1 || m_refreshIndex.isEmpty()) {
        m_refreshIndex.clear();
        for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
            m_refreshIndex.insert(item->productId(), item);
    }

    int firstChanged = m_items.size();
    int lastChanged = 0;
    QList<QSharedPointer<LibraryItem>> newItems;

    for (const QJsonValue &element : qAsConst(array)) {
        const QJsonObject product = element.toObject();
        const QString productId = product.value(QLatin1String("products_id")).toString();
        // Without an id there is nothing to download or to match on the next refresh.
        if (productId.isEmpty())
            continue;
        QSharedPointer<LibraryItem> item = m_refreshIndex.value(productId);
        if (item) {
            const int row = m_rowIndex.value(item.data(), 0);
            firstChanged = qMin(firstChanged, row);
            lastChanged = qMax(lastChanged, row);
        } else {
            item = QSharedPointer<LibraryItem>(new LibraryItem(m_actions, this));
            item->setProductId(productId);
            if (!m_libraryWasEmpty)
                item->setTitleBadge(LibraryItemBadge::New);
            connectItem(item.data());
            newItems.append(item);
            // A product listed twice is one item.
            m_refreshIndex.insert(productId, item);
        }
        item->applyProduct(product);
    }

    if (lastChanged >= firstChanged)
        emit dataChanged(index(firstChanged), index(lastChanged), {TitleRole, ThumbURLRole});

    if (!newItems.isEmpty()) {
        beginInsertRows(QModelIndex(), m_items.size(), m_items.size() + newItems.size() - 1);
        for (const QSharedPointer<LibraryItem> &item : qAsConst(newItems)) {
            m_rowIndex.insert(item.data(), m_items.size());
            m_items.append(item);
        }
        endInsertRows();
    }
    // Before any file of a new product can start downloading; a renamed one may clash too.
    assignOwnFolders();
    // A kill in the middle of a long refresh keeps the pages that had arrived.
    saveDelayed();
}

void OnlineLibrary::onTitlesRefreshFinished()
{
    m_libraryWasEmpty = m_items.isEmpty();
    m_refreshIndex.clear();
    save();
}

QStringList OnlineLibrary::damagedStorePaths() const
{
    const QFileInfo store(storePath());
    QStringList names = store.dir().entryList({store.fileName() + QStringLiteral(".damaged-*")}, QDir::Files | QDir::Hidden);
    // The time stamp in the name sorts as text.
    names.sort();
    for (QString &name : names)
        name = store.dir().filePath(name);
    return names;
}

void OnlineLibrary::keepDamagedStore(const QString &path, const QString &reason)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-") + stamp + QStringLiteral("-%1").arg(n);
    if (QFile::rename(path, aside)) {
        qWarning().noquote() << QStringLiteral("WARNING: OnlineLibrary: saved library %1 %2; kept aside as %3")
                                    .arg(QDir::toNativeSeparators(path), reason, QDir::toNativeSeparators(aside));
        const QStringList kept = damagedStorePaths();
        for (int i = 0; i < kept.size() - kKeptDamagedStores; ++i)
            QFile::remove(kept.at(i));
    } else {
        qWarning().noquote() << QStringLiteral("WARNING: OnlineLibrary: saved library %1 %2; it could not be kept aside")
                                    .arg(QDir::toNativeSeparators(path), reason);
    }
}

void OnlineLibrary::save()
{
    m_saveTimer->stop();
    settleSaves();
    StoreWrite write{storePath(), m_binaryStore, {}};
    write.values.reserve(m_items.size());
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
        write.values.append(item->toJson());
    reportSaveFailure(write.path, writeStore(write));
}

void OnlineLibrary::releaseSlice()
{
    m_releasing.resize(qMax(0, m_releasing.size() - kReleaseStride));
    if (m_releasing.isEmpty())
        m_releasing = QVector<QJsonValue>();
    else
        m_releaseTimer->start();
}

void OnlineLibrary::settleSaves()
{
    m_sliceTimer->stop();
    m_snapshotting = false;
    m_saveQueued = false;
    m_snapshotItems.clear();
    m_snapshot.values.clear();
    m_writeWatcher.waitForFinished();
}

void OnlineLibrary::startBackgroundSave()
{
    if (m_snapshotting || m_writeWatcher.isRunning()) {
        m_saveQueued = true;
        return;
    }
    m_saveQueued = false;
    // The list is shared, not copied; the items it holds stay alive until they are copied.
    m_snapshotItems = m_items;
    m_snapshot = StoreWrite{storePath(), m_binaryStore, {}};
    m_snapshot.values.reserve(m_snapshotItems.size());
    m_snapshotting = true;
    snapshotSlice();
}

void OnlineLibrary::snapshotSlice()
{
    if (!m_snapshotting)
        return;
    QElapsedTimer clock;
    clock.start();
    const int count = m_snapshotItems.size();
    int next = m_snapshot.values.size();
    while (next < count) {
        m_snapshot.values.append(m_snapshotItems.at(next++)->toJson());
        if (clock.nsecsElapsed() > kSnapshotSliceNs)
            break;
    }
    if (next < count) {
        m_sliceTimer->start();
        return;
    }
    // An item changed after its copy was taken asks for another save, so nothing is lost.
    m_snapshotting = false;
    m_snapshotItems.clear();
    StoreWrite write = std::move(m_snapshot);
    m_snapshot = StoreWrite();
    auto handBack = std::make_shared<QVector<QJsonValue>>();
    m_handedBack = handBack;
    m_writeWatcher.setFuture(QtConcurrent::run([write = std::move(write), handBack]() mutable {
        const QString warning = writeStore(write);
        *handBack = std::move(write.values);
        return warning;
    }));
}

void OnlineLibrary::onBackgroundSaveWritten()
{
    reportSaveFailure(storePath(), m_writeWatcher.future().result());
    if (m_handedBack) {
        m_releasing += *m_handedBack;
        m_handedBack.reset();
        m_releaseTimer->start();
    }
    if (m_saveQueued)
        startBackgroundSave();
}

QString OnlineLibrary::writeStore(const StoreWrite &write)
{
    QJsonArray array;
    for (const QJsonValue &value : write.values)
        array.append(value);
    const QJsonDocument document(array);

    QByteArray bytes;
    if (write.binary) {
        bytes = toBinary(document);
        if (!binaryDataComplete(bytes))
            return QStringLiteral("the library is too large for its format");
    } else {
        bytes = document.toJson(QJsonDocument::Indented);
    }
    return StoreFile::write(write.path, bytes);
}

void OnlineLibrary::reportSaveFailure(const QString &path, const QString &error)
{
    if (error.isEmpty())
        return;
    qWarning().noquote() << QStringLiteral("WARNING: OnlineLibrary: could not save %1: %2; the saved library stays as it was")
                                .arg(QDir::toNativeSeparators(path), error);
    emit saveFailed(tr("The library could not be saved to %1: %2").arg(QDir::toNativeSeparators(path), error));
}

void OnlineLibrary::removeSaveLeftovers() const
{
    // A save interrupted by a kill leaves its temporary copy beside the store.
    const QFileInfo store(storePath());
    const QRegularExpression temporary(QStringLiteral("^") + QRegularExpression::escape(m_storeName)
                                       + QStringLiteral("\\.(dat|js)\\.[A-Za-z0-9]{6}$"));
    const QStringList names = store.dir().entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (temporary.match(name).hasMatch())
            QFile::remove(store.dir().filePath(name));
    }
}

void OnlineLibrary::load()
{
    removeSaveLeftovers();
    const QString path = storePath();
    const QFileInfo info(path);
    if (!info.exists())
        return;
    // A pipe would block the open for ever, and a folder or device is no store either.
    if (!info.isFile()) {
        keepDamagedStore(path, QStringLiteral("is not a regular file"));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;

    if (m_binaryStore) {
        // Read where it lies in the page cache: the items copy what they keep, and a copy of
        // the whole store would only add to the peak. Saves replace the file by renaming a new
        // one over it, so the mapped bytes stay as they are while they are read.
        const qint64 size = file.size();
        const uchar *mapped = size > 0 && size <= std::numeric_limits<int>::max() ? file.map(0, size) : nullptr;
        const QByteArray bytes = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(size))
                                        : file.readAll();
        const BinaryStoreReader store(bytes, kMaxStoreDepth);
        if (store.verdict() == BinaryStoreReader::TooDeep) {
            // Some systems refuse to rename a file that is mapped.
            file.close();
            keepDamagedStore(path, QStringLiteral("is nested too deeply"));
            return;
        }
        const bool valid = store.verdict() == BinaryStoreReader::Valid && store.type(store.root()) == QJsonValue::Array;
        if (!valid) {
            file.close();
            keepDamagedStore(path, QStringLiteral("failed validation"));
        }
        const BinaryStoreReader::Value root = valid ? store.root() : BinaryStoreReader::Value();
        replaceItems(valid ? store.count(root) : 0, [&](LibraryItem *item, int row) {
            item->fromSaved(store, store.at(root, row));
        });
        return;
    }

    QByteArray bytes = file.readAll();
    file.close();
    if (!textDepthWithin(bytes, kMaxStoreDepth)) {
        keepDamagedStore(path, QStringLiteral("is nested too deeply"));
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        keepDamagedStore(path, QStringLiteral("does not parse (%1)").arg(error.errorString()));
        return;
    }
    // The document holds its own copy: the raw bytes need not share the peak with the items.
    bytes = QByteArray();
    const QJsonArray array = document.array();
    replaceItems(array.size(), [&](LibraryItem *item, int row) { item->fromJson(array.at(row)); });
}

template<typename Fill>
void OnlineLibrary::replaceItems(int count, Fill fill)
{
    const bool hadUpdates = m_itemsWithUpdates > 0;
    beginResetModel();
    m_bulk = true;
    dropItems();
    m_itemsWithUpdates = 0;

    m_items.reserve(count);
    for (int row = 0; row < count; ++row) {
        QSharedPointer<LibraryItem> item(new LibraryItem(m_actions, this));
        connectItem(item.data());
        fill(item.data(), row);
        m_rowIndex.insert(item.data(), m_items.size());
        m_items.append(item);
    }

    m_libraryWasEmpty = m_items.isEmpty();
    assignOwnFolders();
    m_bulk = false;
    endResetModel();
    if (hadUpdates || m_itemsWithUpdates > 0)
        emit anyItemUpdateAvailableChanged();
    updateSelection();
}

void OnlineLibrary::assignOwnFolders()
{
    // In row order, and rows only ever grow at the end: the product that had a folder first
    // keeps it, and with it the paths of what it downloaded there.
    QSet<QString> taken;
    taken.reserve(m_items.size());
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items)) {
        if (item->ownFolder())
            continue;
        const QString folder = item->productFolder();
        if (taken.contains(folder))
            item->setOwnFolder(true);
        else
            taken.insert(folder);
    }
}

void OnlineLibrary::rejoinQueue()
{
    for (const QSharedPointer<LibraryItem> &item : qAsConst(m_items))
        item->rejoinQueue();
}
