#include "librarysortfiltermodel.h"

#include "itemfilesmodel.h"
#include "libraryitem.h"
#include "onlinelibrary.h"

#include <QVector>

#include <algorithm>
#include <utility>

namespace {

QString codePoint(QChar c)
{
    return QStringLiteral("\\x{%1}").arg(c.unicode(), 0, 16);
}

// Text outside a set that a user may type: every character stands for itself.
QString literal(QChar c)
{
    // Halves of a surrogate pair cannot be written as code points; as raw text they pair up.
    return c.isLetterOrNumber() || c.isSurrogate() ? QString(c) : codePoint(c);
}

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

// Whether the pattern of this text, followed by more typed text, keeps its own pattern as the
// start: no escape, set or stray bracket can change meaning across the join, and no surrogate
// pair is split.
bool extendsCleanly(const QString &text)
{
    if (text.isEmpty() || text.back().isSurrogate())
        return false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('[') || c == QLatin1Char(']'))
            return false;
    }
    return true;
}

// Text that reads the same as a pattern: no wildcard, set or escape, and no separator.
bool isPlainText(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('\\') || c == LibraryItem::kSearchSeparator)
            return false;
    }
    return true;
}

// Up to this many rows coming or going, the view updates in place rather than being rebuilt.
constexpr int kFewRows = 200;

} // namespace

QRegularExpression LibrarySortFilterModel::searchExpression(const QString &text)
{
    // Wildcards as the classic wildcard matcher reads them: a backslash is a literal backslash
    // that also makes a following * ? [ or ] literal and doubles itself before any other
    // character; a ']' outside a set, or a set that is never closed, spoils the whole pattern.
    enum Kind { Literal, AnyRun, AnyOne, Set };
    struct Token {
        Kind kind;
        QChar c;
        bool negated;
        QString members;
    };
    const QRegularExpression nothing(QStringLiteral("("));
    const QString wildcard = QLatin1Char('*') + text + QLatin1Char('*');
    QVector<Token> tokens;
    bool escaping = false;
    const int length = wildcard.size();
    for (int i = 0; i < length;) {
        const QChar c = wildcard.at(i++);
        if (c == QLatin1Char('\\')) {
            tokens.append({Literal, c, false, QString()});
            escaping = true;
            continue;
        }
        if (escaping) {
            escaping = false;
            if (c != QLatin1Char('*') && c != QLatin1Char('?') && c != QLatin1Char('[') && c != QLatin1Char(']'))
                tokens.append({Literal, QLatin1Char('\\'), false, QString()});
            tokens.append({Literal, c, false, QString()});
            continue;
        }
        if (c == QLatin1Char('*')) {
            tokens.append({AnyRun, c, false, QString()});
        } else if (c == QLatin1Char('?')) {
            tokens.append({AnyOne, c, false, QString()});
        } else if (c == QLatin1Char(']')) {
            return nothing;
        } else if (c == QLatin1Char('[')) {
            Token set{Set, c, false, QString()};
            if (i < length && wildcard.at(i) == QLatin1Char('^')) {
                set.negated = true;
                ++i;
            }
            if (i < length && wildcard.at(i) == QLatin1Char(']'))
                set.members += wildcard.at(i++);
            while (i < length && wildcard.at(i) != QLatin1Char(']'))
                set.members += wildcard.at(i++);
            if (i >= length)
                return nothing;
            ++i;
            tokens.append(set);
        } else {
            tokens.append({Literal, c, false, QString()});
        }
    }

    // Leading and trailing runs add nothing to an unanchored search.
    int first = 0;
    int last = tokens.size();
    while (first < last && tokens.at(first).kind == AnyRun)
        ++first;
    while (last > first && tokens.at(last - 1).kind == AnyRun)
        --last;

    const QString separator = codePoint(LibraryItem::kSearchSeparator);
    const QString anyOne = QStringLiteral("[^") + separator + QLatin1Char(']');
    QString pattern;
    for (int t = first; t < last; ++t) {
        const Token &token = tokens.at(t);
        switch (token.kind) {
        case Literal:
            pattern += literal(token.c);
            break;
        case AnyRun:
            pattern += anyOne + QLatin1Char('*');
            break;
        case AnyOne:
            pattern += anyOne;
            break;
        case Set: {
            // A '-' between two members makes a range; a backwards range counts forwards.
            QString body;
            const QString &members = token.members;
            for (int k = 0; k < members.size(); ++k) {
                QChar from = members.at(k);
                if (k + 2 < members.size() && members.at(k + 1) == QLatin1Char('-')) {
                    QChar to = members.at(k + 2);
                    if (to < from)
                        std::swap(from, to);
                    body += codePoint(from) + QLatin1Char('-') + codePoint(to);
                    k += 2;
                } else {
                    body += codePoint(from);
                }
            }
            pattern += QStringLiteral("(?!") + separator + QStringLiteral(")[") + (token.negated ? QStringLiteral("^") : QString())
                + body + QLatin1Char(']');
            break;
        }
        }
    }

    QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption
                                               | QRegularExpression::DontCaptureOption);
    expression.optimize();
    return expression;
}

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
    dropMatches();
    m_library = qobject_cast<OnlineLibrary *>(model);
    if (m_library) {
        // Connected ahead of the proxy's own handlers, so that stale places are gone before
        // the proxy re-sorts the rows a change touches.
        connect(m_library, &QAbstractItemModel::dataChanged, this, &LibrarySortFilterModel::onSourceDataChanged);
        const auto drop = [this] {
            dropRanks();
            dropMatches();
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
    const QString before = m_filterString;
    const QRegularExpression beforeExpression = m_searchExpression;
    m_filterString = text;
    m_searchExpression = text.isEmpty() ? QRegularExpression() : searchExpression(text);
    m_plainSearch = !text.isEmpty() && isPlainText(text);
    m_plainMatcher.setPattern(m_plainSearch ? text.toCaseFolded() : QString());
    m_plainMatcher.setCaseSensitivity(Qt::CaseSensitive);
    const int change = reuseMatches(before, beforeExpression);
    if (change == 0) {
        // The same rows pass: the view has nothing to redo.
    } else if (change > 0 && change <= kFewRows) {
        invalidateFilter();
    } else {
        // A full rebuild: removing thousands of scattered rows one interval at a time costs far
        // more than filtering and sorting the whole library again.
        prepareRanks(sortRole());
        invalidate();
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
    prepareRanks(sortRole());
    invalidateFilter();
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

int LibrarySortFilterModel::reuseMatches(const QString &before, const QRegularExpression &beforeExpression)
{
    const int rows = m_library ? m_library->rowCount() : 0;
    if (m_matches.size() != rows || !m_searchExpression.isValid() || !beforeExpression.isValid()) {
        m_matches.fill(Match{0, 0}, rows);
        return -1;
    }
    // A match of the longer pattern contains a match of the shorter one, so typing on can only
    // drop rows and deleting back can only add them.
    qint8 keep = 0;
    if (m_filterString.size() > before.size() && m_filterString.startsWith(before) && extendsCleanly(before))
        keep = 2;
    else if (before.size() > m_filterString.size() && before.startsWith(m_filterString) && extendsCleanly(m_filterString))
        keep = 1;
    for (Match &match : m_matches) {
        if (match.known != keep)
            match.known = 0;
    }
    if (keep == 0)
        return -1;
    // Compared row by row with what is shown, as an item may have changed without a signal.
    const QModelIndex root;
    int changed = 0;
    for (int row = 0; row < rows; ++row) {
        if (filterAcceptsRow(row, root) != mapFromSource(m_library->index(row)).isValid())
            ++changed;
    }
    return changed;
}

bool LibrarySortFilterModel::matchesSearch(int sourceRow) const
{
    if (!m_searchExpression.isValid())
        return false;
    if (m_library) {
        LibraryItem *item = m_library->itemAt(sourceRow);
        if (!item)
            return false;
        Match *known = sourceRow < m_matches.size() ? &m_matches[sourceRow] : nullptr;
        if (known && known->known != 0 && known->version == item->searchTextVersion())
            return known->known == 1;
        const bool match = m_plainSearch ? m_plainMatcher.indexIn(foldedSearchText(sourceRow, item)) >= 0
                                         : m_searchExpression.match(item->searchText()).hasMatch();
        if (known)
            *known = Match{item->searchTextVersion(), qint8(match ? 1 : 2)};
        return match;
    }
    const QModelIndex source = sourceModel()->index(sourceRow, 0);
    const QList<int> roles = sourceModel()->roleNames().keys();
    for (int role : roles) {
        const QVariant value = source.data(role);
        if (value.canConvert<QString>() && m_searchExpression.match(value.toString()).hasMatch())
            return true;
    }
    return false;
}

const QString &LibrarySortFilterModel::foldedSearchText(int sourceRow, const LibraryItem *item) const
{
    if (m_folded.size() != m_library->rowCount())
        m_folded.fill(Folded{0, false, QString()}, m_library->rowCount());
    Folded &folded = m_folded[sourceRow];
    if (!folded.known || folded.version != item->searchTextVersion())
        folded = Folded{item->searchTextVersion(), true, item->searchText().toCaseFolded()};
    return folded.text;
}

bool LibrarySortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    Q_UNUSED(sourceParent)
    if (m_library) {
        switch (m_filter) {
        case LibraryFilterType::DOWNLOADED:
            if (!m_library->anyFileDownloadedAt(sourceRow))
                return false;
            break;
        case LibraryFilterType::NOT_DOWNLOADED:
            if (!m_library->anyFileNotDownloadedAt(sourceRow))
                return false;
            break;
        case LibraryFilterType::UPDATE_AVAILABLE:
            if (!m_library->anyFileUpdateAvailableAt(sourceRow))
                return false;
            break;
        case LibraryFilterType::ALL:
            break;
        }
        if (m_library->filesCount(sourceRow) == 0)
            return false;
    }
    if (m_filterString.isEmpty())
        return true;
    return matchesSearch(sourceRow);
}

bool LibrarySortFilterModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int role = sortRole();
    if (role == Qt::InitialSortOrderRole)
        return left.row() < right.row();
    if (m_library) {
        if (role == m_rankRole && left.row() < m_ranks.size() && right.row() < m_ranks.size())
            return m_ranks.at(left.row()) < m_ranks.at(right.row());
        const LibraryItem *a = m_library->itemAt(left.row());
        const LibraryItem *b = m_library->itemAt(right.row());
        if (a && b) {
            const int less = compareKeys(role, a, b);
            if (less >= 0)
                return less;
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

void LibrarySortFilterModel::onSourceDataChanged(const QModelIndex &, const QModelIndex &, const QVector<int> &roles)
{
    if (m_rankRole >= 0 && (roles.isEmpty() || roles.contains(m_rankRole)))
        dropRanks();
    // Every role's text takes part in the search.
    dropMatches();
}
