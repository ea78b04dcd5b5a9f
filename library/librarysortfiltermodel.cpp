#include "librarysortfiltermodel.h"

#include "itemfilesmodel.h"
#include "libraryitem.h"
#include "onlinelibrary.h"

#include <QVector>

#include <algorithm>
#include <utility>

namespace {

struct SortKey {
    const char *name;
    int role;
    Qt::SortOrder order;
};

const SortKey kSortKeys[] = {
    {"purchasedNewest", OnlineLibrary::DatePurchasedRole, Qt::DescendingOrder},
    {"purchasedOldest", OnlineLibrary::DatePurchasedRole, Qt::AscendingOrder},
    {"titleAZ", OnlineLibrary::TitleRole, Qt::AscendingOrder},
    {"titleZA", OnlineLibrary::TitleRole, Qt::DescendingOrder},
    {"publisherAZ", OnlineLibrary::PublisherRole, Qt::AscendingOrder},
    {"publisherZA", OnlineLibrary::PublisherRole, Qt::DescendingOrder},
    {"ruleSystemAZ", OnlineLibrary::RuleSystemRole, Qt::AscendingOrder},
    {"ruleSystemZA", OnlineLibrary::RuleSystemRole, Qt::DescendingOrder},
    {"reverseInitialIndex", Qt::InitialSortOrderRole, Qt::DescendingOrder},
};

// Character codes, case-sensitive, no locale: the keys compare as stored.
// Returns -1 for a role that is not a key of the items.
int compareKeys(int role, const LibraryItem *a, const LibraryItem *b)
{
    switch (role) {
    case OnlineLibrary::TitleRole:
        return a->title() < b->title();
    case OnlineLibrary::PublisherRole:
        return a->publisher() < b->publisher();
    case OnlineLibrary::RuleSystemRole:
        return a->ruleSystem() < b->ruleSystem();
    case OnlineLibrary::DatePurchasedRole:
        return a->datePurchased() < b->datePurchased();
    case OnlineLibrary::TitleBadgeRole:
        return a->titleBadge() < b->titleBadge();
    case OnlineLibrary::SelectedForSyncRole:
        return a->selectedForSync() < b->selectedForSync();
    default:
        return -1;
    }
}

// The item's text getter for a text sort role, or null.
QString (LibraryItem::*textKeyOf(int role))() const
{
    switch (role) {
    case OnlineLibrary::TitleRole:
        return &LibraryItem::title;
    case OnlineLibrary::PublisherRole:
        return &LibraryItem::publisher;
    case OnlineLibrary::RuleSystemRole:
        return &LibraryItem::ruleSystem;
    case OnlineLibrary::DatePurchasedRole:
        return &LibraryItem::datePurchased;
    default:
        return nullptr;
    }
}

bool isItemKey(int role)
{
    return role == OnlineLibrary::TitleRole || role == OnlineLibrary::PublisherRole
        || role == OnlineLibrary::RuleSystemRole || role == OnlineLibrary::DatePurchasedRole
        || role == OnlineLibrary::TitleBadgeRole || role == OnlineLibrary::SelectedForSyncRole;
}

// Up to this many rows coming or going, the views update in place rather than being rebuilt.
constexpr int kFewRows = 200;
// Past this many items changed at once, the kept results are dropped rather than patched.
constexpr int kManyChanged = 500;
// Results kept for the texts typed before the current one.
constexpr int kKeptSteps = 32;

enum RowFlag : quint8 {
    HasFiles = 1,
    AnyDownloaded = 2,
    AnyNotDownloaded = 4,
    AnyUpdateAvailable = 8,
};

} // namespace

LibrarySortFilterModel::LibrarySortFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    setSortCaseSensitivity(Qt::CaseSensitive);
    setSortLocaleAware(false);
    connect(this, &LibrarySortFilterModel::filterStringChanged, this,
            &LibrarySortFilterModel::updateFilteredSelected);
    setSortRole(OnlineLibrary::DatePurchasedRole);
    sort(0, Qt::DescendingOrder);
}

LibrarySortFilterModel::~LibrarySortFilterModel() = default;

void LibrarySortFilterModel::setSourceModel(QAbstractItemModel *model)
{
    if (sourceModel())
        disconnect(sourceModel(), nullptr, this, nullptr);
    dropRanks();
    dropSearchState();
    m_library = qobject_cast<OnlineLibrary *>(model);
    if (m_library) {
        // Connected ahead of the proxy's own handlers, so that stale places are gone before
        // the proxy re-sorts the rows a change touches.
        connect(m_library, &QAbstractItemModel::dataChanged, this, &LibrarySortFilterModel::onSourceDataChanged);
        const auto drop = [this] {
            dropRanks();
            dropSearchState();
        };
        connect(m_library, &QAbstractItemModel::rowsInserted, this, drop);
        connect(m_library, &QAbstractItemModel::rowsRemoved, this, drop);
        connect(m_library, &QAbstractItemModel::rowsMoved, this, drop);
        connect(m_library, &QAbstractItemModel::modelReset, this, drop);
        connect(m_library, &QAbstractItemModel::layoutChanged, this, drop);
    }
    QSortFilterProxyModel::setSourceModel(model);
    if (m_library)
        connect(m_library, &OnlineLibrary::selectedForSyncMayUpdated, this,
                &LibrarySortFilterModel::updateFilteredSelected);
}

QHash<int, QByteArray> LibrarySortFilterModel::roleNames() const
{
    return sourceModel() ? sourceModel()->roleNames() : QHash<int, QByteArray>();
}

void LibrarySortFilterModel::setSortRoleName(const QByteArray &key)
{
    m_sortKey = key;
    if (key.isEmpty()) {
        sort(-1);
        return;
    }
    for (const SortKey &known : kSortKeys) {
        if (key == known.name) {
            prepareRanks(known.role);
            setSortRole(known.role);
            sort(0, known.order);
            return;
        }
    }
    setSortRole(roleNames().key(key, -1));
    if (sortColumn() < 0)
        sort(0, sortOrder());
}

void LibrarySortFilterModel::setSortOrder(Qt::SortOrder order)
{
    prepareRanks(sortRole());
    sort(0, order);
}

void LibrarySortFilterModel::setFilterString(const QString &text)
{
    m_filterString = text;
    m_current = SearchPattern(text);
    if (m_library) {
        searchRows(text);
        applyFilterChange();
    } else {
        invalidateFilter();
    }
    emit filterStringChanged();
}

void LibrarySortFilterModel::setIsAllFilteredSelected(bool all)
{
    if (m_allFilteredSelected == all)
        return;
    m_allFilteredSelected = all;
    emit isAllFilteredSelectedChanged();
}

void LibrarySortFilterModel::setIsAnyFilteredSelected(bool any)
{
    if (m_anyFilteredSelected == any)
        return;
    m_anyFilteredSelected = any;
    emit isAnyFilteredSelectedChanged();
}

void LibrarySortFilterModel::setFilter(LibraryFilterType::EnFilterType filter)
{
    m_filter = filter;
    if (m_library) {
        syncAllRows();
        applyFilterChange();
    } else {
        prepareRanks(sortRole());
        invalidateFilter();
    }
}

int LibrarySortFilterModel::filesCount(int row) const
{
    if (!m_library)
        return 0;
    return m_library->filesCount(rowToSource(row));
}

QVariant LibrarySortFilterModel::get(int row, QByteArray role) const
{
    return data(index(row, 0), roleNames().key(role, -1));
}

void LibrarySortFilterModel::setAllSelected(bool selected)
{
    if (!sourceModel())
        return;
    m_bulkSelection = true;
    const int rows = rowCount();
    QList<QPersistentModelIndex> visible;
    visible.reserve(rows);
    for (int row = 0; row < rows; ++row)
        visible.append(mapToSource(index(row, 0)));
    for (const QPersistentModelIndex &source : qAsConst(visible))
        sourceModel()->setData(source, selected, OnlineLibrary::SelectedForSyncRole);
    m_bulkSelection = false;

    prepareRanks(sortRole());
    invalidate();
    updateFilteredSelected();
    m_allFilteredSelected = selected;
    emit isAllFilteredSelectedChanged();
}

void LibrarySortFilterModel::selectFiltered()
{
    setAllSelected(true);
}

void LibrarySortFilterModel::unselectFiltered()
{
    setAllSelected(false);
}

int LibrarySortFilterModel::indexByLibraryItem(LibraryItem *item) const
{
    if (!m_library)
        return -1;
    const int sourceRow = m_library->indexByLibraryItem(item);
    if (sourceRow < 0)
        return -1;
    return mapFromSource(m_library->index(sourceRow)).row();
}

int LibrarySortFilterModel::rowToSource(int row) const
{
    return mapToSource(index(row, 0)).row();
}

int LibrarySortFilterModel::size() const
{
    return rowCount();
}

void LibrarySortFilterModel::updateFilteredSelected()
{
    if (m_bulkSelection || !sourceModel())
        return;
    bool all = true;
    bool any = false;
    const int rows = rowCount();
    // With no item or every item of the library selected, the visible rows need no walk.
    const int selectedCount = m_library ? m_library->selectedCount() : -1;
    if (selectedCount == 0 || (selectedCount > 0 && selectedCount == m_library->rowCount())) {
        setIsAllFilteredSelected(selectedCount > 0 || rows == 0);
        setIsAnyFilteredSelected(selectedCount > 0 && rows > 0);
        return;
    }
    for (int row = 0; row < rows && (all || !any); ++row) {
        const int sourceRow = mapToSource(index(row, 0)).row();
        const bool selected = m_library
            ? m_library->itemAt(sourceRow)->selectedForSync()
            : sourceModel()->index(sourceRow, 0).data(OnlineLibrary::SelectedForSyncRole).toBool();
        all = all && selected;
        any = any || selected;
    }
    setIsAllFilteredSelected(all);
    setIsAnyFilteredSelected(any);
}

void LibrarySortFilterModel::dropSearchState()
{
    m_shownKnown = false;
    m_rows.clear();
    m_steps.clear();
    m_keys.clear();
    m_liveKeys = 0;
}

bool LibrarySortFilterModel::matches(const SearchPattern &pattern, int sourceRow) const
{
    const QString &text = m_library->itemAt(sourceRow)->searchText();
    if (!pattern.needsFoldedText())
        return pattern.matches(text, QStringView(), false);
    const QStringView folded = foldedKey(sourceRow);
    return pattern.matches(text, folded, m_rows.at(sourceRow).keyAligned);
}

QStringView LibrarySortFilterModel::foldedKey(int sourceRow) const
{
    Row &row = m_rows[sourceRow];
    if (row.keyStart < 0) {
        // Garbage beyond the live texts is dropped before the buffer grows past twice them.
        if (m_keys.size() > 2 * m_liveKeys + 4096) {
            QString compact;
            compact.reserve(m_liveKeys + m_liveKeys / 4);
            for (Row &other : m_rows) {
                if (other.keyStart < 0)
                    continue;
                const int start = compact.size();
                compact.append(m_keys.constData() + other.keyStart, other.keyLength);
                other.keyStart = start;
            }
            m_keys = compact;
        }
        const QString &text = m_library->itemAt(sourceRow)->searchText();
        const QString folded = text.toCaseFolded();
        row.keyAligned = folded.size() == text.size();
        row.keyStart = m_keys.size();
        row.keyLength = folded.size();
        m_keys += folded;
        m_liveKeys += folded.size();
    }
    return QStringView(m_keys).mid(row.keyStart, row.keyLength);
}

void LibrarySortFilterModel::refreshRow(int sourceRow, const LibraryItem *item) const
{
    Row &row = m_rows[sourceRow];
    row.known = true;
    row.version = item->searchTextVersion();
    quint8 flags = 0;
    if (m_library->filesCount(sourceRow) > 0)
        flags |= HasFiles;
    if (m_library->anyFileDownloadedAt(sourceRow))
        flags |= AnyDownloaded;
    if (m_library->anyFileNotDownloadedAt(sourceRow))
        flags |= AnyNotDownloaded;
    if (m_library->anyFileUpdateAvailableAt(sourceRow))
        flags |= AnyUpdateAvailable;
    row.flags = flags;
    if (row.keyStart >= 0) {
        m_liveKeys -= row.keyLength;
        row.keyStart = -1;
        row.keyLength = 0;
    }
    // The kept results, and the answer for the current text, follow the item's new text.
    for (Step &step : m_steps) {
        const bool match = matches(step.pattern, sourceRow);
        const auto at = std::lower_bound(step.rows.begin(), step.rows.end(), sourceRow);
        const bool listed = at != step.rows.end() && *at == sourceRow;
        if (match && !listed)
            step.rows.insert(at, sourceRow);
        else if (!match && listed)
            step.rows.erase(at);
    }
    row.match = m_filterString.isEmpty() || matches(m_current, sourceRow);
}

LibrarySortFilterModel::Row &LibrarySortFilterModel::syncRow(int sourceRow) const
{
    if (m_rows.size() != m_library->rowCount()) {
        // Rows are numbered afresh: nothing known about them holds.
        m_steps.clear();
        m_keys.clear();
        m_liveKeys = 0;
        m_rows.fill(Row{}, m_library->rowCount());
        m_shownKnown = false;
    }
    // A row the source has announced a change of is no longer known; other changes are
    // found by the walk before each new search.
    if (!m_rows.at(sourceRow).known)
        refreshRow(sourceRow, m_library->itemAt(sourceRow));
    return m_rows[sourceRow];
}

void LibrarySortFilterModel::syncAllRows()
{
    if (m_library->rowCount() == 0)
        return;
    syncRow(0);
    // Items may change without a signal, so every row is looked at; past a handful of
    // changes the kept results are cheaper to drop than to patch.
    QVector<int> changed;
    const int rows = m_rows.size();
    for (int row = 0; row < rows; ++row) {
        const Row &state = m_rows.at(row);
        if (!state.known || m_library->itemAt(row)->searchTextVersion() != state.version)
            changed.append(row);
    }
    if (changed.size() > kManyChanged)
        m_steps.clear();
    for (int row : qAsConst(changed))
        refreshRow(row, m_library->itemAt(row));
}

bool LibrarySortFilterModel::passesTab(const Row &row) const
{
    if (!(row.flags & HasFiles))
        return false;
    switch (m_filter) {
    case LibraryFilterType::DOWNLOADED:
        return row.flags & AnyDownloaded;
    case LibraryFilterType::NOT_DOWNLOADED:
        return row.flags & AnyNotDownloaded;
    case LibraryFilterType::UPDATE_AVAILABLE:
        return row.flags & AnyUpdateAvailable;
    case LibraryFilterType::ALL:
        break;
    }
    return true;
}

void LibrarySortFilterModel::searchRows(const QString &text)
{
    const int rows = m_library->rowCount();
    if (rows == 0) {
        m_steps.clear();
        return;
    }
    syncAllRows();

    if (text.isEmpty()) {
        m_steps.clear();
        for (Row &row : m_rows)
            row.match = true;
        return;
    }
    // The kept texts that start the new one stay; the deepest of them is where to start.
    // Every match of the longer text contains a match of the shorter one, unless the join
    // changes what the shorter one's last characters mean.
    while (!m_steps.isEmpty() && !text.startsWith(m_steps.constLast().pattern.text()))
        m_steps.removeLast();
    const Step *base = nullptr;
    for (int s = m_steps.size() - 1; s >= 0 && !base; --s) {
        if (m_steps.at(s).pattern.text() == text || m_steps.at(s).pattern.extendsCleanly())
            base = &m_steps.at(s);
    }
    if (!base || base->pattern.text() != text) {
        Step step{m_current, {}};
        if (base) {
            step.rows.reserve(base->rows.size());
            for (int row : base->rows) {
                if (matches(m_current, row))
                    step.rows.append(row);
            }
        } else {
            for (int row = 0; row < rows; ++row) {
                if (matches(m_current, row))
                    step.rows.append(row);
            }
        }
        if (m_steps.size() >= kKeptSteps)
            m_steps.removeFirst();
        m_steps.append(step);
        base = &m_steps.constLast();
    }
    for (Row &row : m_rows)
        row.match = false;
    for (int row : base->rows)
        m_rows[row].match = true;
}

void LibrarySortFilterModel::applyFilterChange()
{
    const int rows = m_library->rowCount();
    if (!m_shownKnown) {
        // What the proxy shows was decided before these rows were numbered.
        for (int row = 0; row < rows; ++row)
            m_rows[row].shown = mapFromSource(m_library->index(row)).isValid();
        m_shownKnown = true;
    }
    int changes = 0;
    for (int row = 0; row < rows && changes <= kFewRows; ++row) {
        const Row &state = m_rows.at(row);
        if ((state.match && passesTab(state)) != state.shown)
            ++changes;
    }
    if (changes == 0)
        return;
    if (changes <= kFewRows) {
        invalidateFilter();
        return;
    }
    // Many rows scattered over the view: the proxy would remove and insert them one run at a
    // time, and a rebuild makes the views throw away every delegate. Instead the rows from the
    // first place that changes go in one run and the rows shown from there come back sorted
    // in another: the proxy walks the rows once each way, the rows above that place (often
    // all the views show) stay as they are, and the views recycle their delegates for the
    // rows that come in.
    prepareRanks(sortRole());
    const int kept = unchangedRows();
    const int shown = rowCount();
    for (int place = kept; place < shown; ++place)
        m_rows[rowToSource(place)].cut = true;
    m_cutting = true;
    invalidateFilter();
    m_cutting = false;
    for (Row &row : m_rows)
        row.cut = false;
    invalidateFilter();
}

bool LibrarySortFilterModel::comesBefore(int sourceA, int sourceB) const
{
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    if (sortColumn() < 0)
        return ascending ? sourceA < sourceB : sourceA > sourceB;
    const QModelIndex a = m_library->index(sourceA, sortColumn());
    const QModelIndex b = m_library->index(sourceB, sortColumn());
    return ascending ? lessThan(a, b) : lessThan(b, a);
}

int LibrarySortFilterModel::unchangedRows() const
{
    // The row about to be shown that comes first; no row at or below its place stays.
    int firstNew = -1;
    const int rows = m_rows.size();
    for (int row = 0; row < rows; ++row) {
        const Row &state = m_rows.at(row);
        if (!state.shown && state.match && passesTab(state) && (firstNew < 0 || comesBefore(row, firstNew)))
            firstNew = row;
    }
    const int shown = rowCount();
    int place = 0;
    for (; place < shown; ++place) {
        const int row = rowToSource(place);
        const Row &state = m_rows.at(row);
        if (!state.match || !passesTab(state) || (firstNew >= 0 && comesBefore(firstNew, row)))
            break;
    }
    return place;
}

bool LibrarySortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_library) {
        if (sourceRow < 0 || sourceRow >= m_library->rowCount())
            return false;
        Row &row = syncRow(sourceRow);
        row.shown = m_cutting ? row.shown && !row.cut : row.match && passesTab(row);
        return row.shown;
    }
    if (m_filterString.isEmpty())
        return true;
    const QRegularExpression &expression = m_current.expression();
    if (!expression.isValid())
        return false;
    const QModelIndex source = sourceModel()->index(sourceRow, 0, sourceParent);
    const QList<int> roles = sourceModel()->roleNames().keys();
    for (int role : roles) {
        const QVariant value = source.data(role);
        if (value.canConvert<QString>() && expression.match(value.toString()).hasMatch())
            return true;
    }
    return false;
}

bool LibrarySortFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int role = sortRole();
    if (role == Qt::InitialSortOrderRole)
        return left.row() < right.row();
    // Equal keys fall back on library order, whichever way round the rows are shown: the
    // proxy places rows that come in by halving, which keeps ties in order only when no two
    // rows compare equal.
    const auto tie = [&] { return sortOrder() == Qt::AscendingOrder ? left.row() < right.row() : left.row() > right.row(); };
    if (m_library) {
        if (role == m_rankRole && left.row() < m_ranks.size() && right.row() < m_ranks.size()) {
            const int a = m_ranks.at(left.row());
            const int b = m_ranks.at(right.row());
            return a != b ? a < b : tie();
        }
        const LibraryItem *a = m_library->itemAt(left.row());
        const LibraryItem *b = m_library->itemAt(right.row());
        if (a && b) {
            const int less = compareKeys(role, a, b);
            if (less > 0)
                return true;
            if (less == 0)
                return compareKeys(role, b, a) == 0 && tie();
        }
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

void LibrarySortFilterModel::prepareRanks(int role)
{
    if (!m_library || !isItemKey(role)) {
        dropRanks();
        return;
    }
    if (role == m_rankRole)
        return;
    const int rows = m_library->rowCount();
    QVector<const LibraryItem *> items(rows);
    for (int row = 0; row < rows; ++row) {
        items[row] = m_library->itemAt(row);
        if (!items[row]) {
            dropRanks();
            return;
        }
    }
    QVector<int> order(rows);
    for (int row = 0; row < rows; ++row)
        order[row] = row;
    m_ranks.resize(rows);
    // Text keys are gathered once: reading them from the items in every comparison costs a
    // cache miss and two reference-count updates each time.
    QString (LibraryItem::*textKey)() const = textKeyOf(role);
    if (textKey) {
        QVector<QString> keys(rows);
        for (int row = 0; row < rows; ++row)
            keys[row] = (items[row]->*textKey)();
        std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
        assignRanks(order, [&keys](int a, int b) { return keys[a] < keys[b]; });
    } else {
        auto less = [&](int a, int b) { return compareKeys(role, items[a], items[b]) > 0; };
        std::stable_sort(order.begin(), order.end(), less);
        assignRanks(order, less);
    }
    m_rankRole = role;
}

template<typename Less>
void LibrarySortFilterModel::assignRanks(const QVector<int> &order, Less less)
{
    // Equal keys share a rank, so that the proxy's stable sort keeps library order for ties in
    // both directions.
    int rank = 0;
    for (int i = 0; i < order.size(); ++i) {
        if (i > 0 && less(order[i - 1], order[i]))
            ++rank;
        m_ranks[order[i]] = rank;
    }
}

void LibrarySortFilterModel::onSourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                                 const QVector<int> &roles)
{
    if (m_rankRole >= 0 && (roles.isEmpty() || roles.contains(m_rankRole)))
        dropRanks();
    if (m_rows.size() != m_library->rowCount())
        return;
    const int last = std::min(bottomRight.row(), int(m_rows.size()) - 1);
    for (int row = std::max(0, topLeft.row()); row <= last; ++row)
        m_rows[row].known = false;
}
