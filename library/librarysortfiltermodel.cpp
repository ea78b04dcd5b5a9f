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

// The longest run of characters that every match of the wildcard text contains as typed
// (in any letter case); empty when escapes make that hard to tell.
QString longestLiteralRun(const QString &text)
{
    QString longest;
    QString run;
    const auto endRun = [&] {
        if (run.size() > longest.size())
            longest = run;
        run.clear();
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') || c == LibraryItem::kSearchSeparator)
            return QString();
        if (c == QLatin1Char('*') || c == QLatin1Char('?')) {
            endRun();
        } else if (c == QLatin1Char('[')) {
            endRun();
            // A set may begin with ']' or "^]"; it ends at the next ']'.
            int j = i + 1;
            if (j < text.size() && text.at(j) == QLatin1Char('^'))
                ++j;
            if (j < text.size() && text.at(j) == QLatin1Char(']'))
                ++j;
            while (j < text.size() && text.at(j) != QLatin1Char(']'))
                ++j;
            i = j;
        } else {
            run += c;
        }
    }
    endRun();
    return longest;
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

enum WildKind { Literal, AnyRun, AnyOne, Set };

struct WildToken {
    WildKind kind;
    QChar c;
    bool negated;
    QString members;
};

// The wildcard "*" + text + "*" as tokens, without the leading and trailing runs that add
// nothing to an unanchored search; false when the text spoils the pattern.
bool parseWildcard(const QString &text, QVector<WildToken> &tokens)
{
    // Wildcards as the classic wildcard matcher reads them: a backslash is a literal backslash
    // that also makes a following * ? [ or ] literal and doubles itself before any other
    // character; a ']' outside a set, or a set that is never closed, spoils the whole pattern.
    tokens.clear();
    const QString wildcard = QLatin1Char('*') + text + QLatin1Char('*');
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
            return false;
        } else if (c == QLatin1Char('[')) {
            WildToken set{Set, c, false, QString()};
            if (i < length && wildcard.at(i) == QLatin1Char('^')) {
                set.negated = true;
                ++i;
            }
            if (i < length && wildcard.at(i) == QLatin1Char(']'))
                set.members += wildcard.at(i++);
            while (i < length && wildcard.at(i) != QLatin1Char(']'))
                set.members += wildcard.at(i++);
            if (i >= length)
                return false;
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
    tokens = tokens.mid(first, last - first);
    return true;
}

} // namespace

QRegularExpression LibrarySortFilterModel::searchExpression(const QString &text)
{
    QVector<WildToken> tokens;
    if (!parseWildcard(text, tokens))
        return QRegularExpression(QStringLiteral("("));
    const QString separator = codePoint(LibraryItem::kSearchSeparator);
    const QString anyOne = QStringLiteral("[^") + separator + QLatin1Char(']');
    QString pattern;
    for (const WildToken &token : qAsConst(tokens)) {
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
    m_current = makeMatcher(text);
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

QVector<LibrarySortFilterModel::Wild> LibrarySortFilterModel::foldedWild(const QString &text)
{
    QVector<WildToken> tokens;
    if (!parseWildcard(text, tokens))
        return {};
    // Folding a character must give one character, and surrogates are left to the expression,
    // which counts a pair as one character.
    const auto fold = [](QChar c, QChar *folded) {
        if (c.isSurrogate() || c == LibraryItem::kSearchSeparator)
            return false;
        const QString text = QString(c).toCaseFolded();
        if (text.size() != 1)
            return false;
        *folded = text.at(0);
        return true;
    };
    QVector<Wild> wild;
    wild.reserve(tokens.size() + 1);
    // The leading run makes the search unanchored.
    wild.append({Wild::AnyRun, false, QChar(), {}});
    for (const WildToken &token : qAsConst(tokens)) {
        Wild step;
        switch (token.kind) {
        case Literal:
            step.kind = Wild::Char;
            if (!fold(token.c, &step.c))
                return {};
            break;
        case AnyRun:
            step.kind = Wild::AnyRun;
            break;
        case AnyOne:
            step.kind = Wild::AnyOne;
            break;
        case Set: {
            step.kind = Wild::Set;
            step.negated = token.negated;
            const QString &members = token.members;
            for (int k = 0; k < members.size(); ++k) {
                uint from = members.at(k).unicode();
                uint to = from;
                if (k + 2 < members.size() && members.at(k + 1) == QLatin1Char('-')) {
                    to = members.at(k + 2).unicode();
                    if (to < from)
                        std::swap(from, to);
                    k += 2;
                }
                if (QChar::isSurrogate(from) || QChar::isSurrogate(to) || (from <= 0xdfff && to >= 0xd800))
                    return {};
                step.ranges.append({from, to});
                // A single member stands for each of its cases, as its folded form does too.
                if (from == to) {
                    for (uint form : {QChar::toCaseFolded(from), QChar::toUpper(from), QChar::toLower(from), QChar::toTitleCase(from)}) {
                        if (form != from)
                            step.ranges.append({form, form});
                    }
                }
            }
            break;
        }
        }
        wild.append(step);
    }
    return wild;
}

bool LibrarySortFilterModel::inSet(const Wild &set, uint c)
{
    // Without regard to case: the character or one of its other cases is a member.
    const uint forms[] = {c, QChar::toUpper(c), QChar::toLower(c), QChar::toTitleCase(c)};
    bool member = false;
    for (uint form : forms) {
        for (const auto &range : set.ranges)
            member = member || (form >= range.first && form <= range.second);
    }
    return member != set.negated;
}

bool LibrarySortFilterModel::wildMatch(const QVector<Wild> &wild, QStringView text)
{
    // On a mismatch the last run takes one more character and the steps after it start
    // again; each step but a run takes one character, a surrogate pair being one.
    const int length = int(text.size());
    const int steps = wild.size();
    int at = 0;
    int step = 0;
    int runStep = -1;
    int runAt = 0;
    while (step < steps) {
        const Wild &w = wild.at(step);
        if (w.kind == Wild::AnyRun) {
            runStep = step++;
            runAt = at;
            continue;
        }
        int taken = 0;
        if (at < length) {
            const QChar c = text.at(at);
            const bool pair = c.isHighSurrogate() && at + 1 < length && text.at(at + 1).isLowSurrogate();
            switch (w.kind) {
            case Wild::Char:
                taken = c == w.c ? 1 : 0;
                break;
            case Wild::AnyOne:
                taken = pair ? 2 : 1;
                break;
            case Wild::Set:
                if (inSet(w, pair ? QChar::surrogateToUcs4(c, text.at(at + 1)) : c.unicode()))
                    taken = pair ? 2 : 1;
                break;
            case Wild::AnyRun:
                break;
            }
        }
        if (taken > 0) {
            at += taken;
            ++step;
            continue;
        }
        if (runStep < 0 || runAt >= length)
            return false;
        step = runStep + 1;
        at = ++runAt;
    }
    return true;
}

LibrarySortFilterModel::Matcher LibrarySortFilterModel::makeMatcher(const QString &text)
{
    Matcher matcher;
    if (text.isEmpty())
        return matcher;
    matcher.plain = isPlainText(text);
    if (matcher.plain)
        matcher.folded = text.toCaseFolded();
    matcher.expression = searchExpression(text);
    if (!matcher.plain && matcher.expression.isValid()) {
        matcher.wild = foldedWild(text);
        const QString run = longestLiteralRun(text);
        if (!run.isEmpty()) {
            matcher.folded = run.toCaseFolded();
            matcher.required = true;
        }
    }
    return matcher;
}

void LibrarySortFilterModel::dropSearchState()
{
    m_shownKnown = false;
    m_rows.clear();
    m_steps.clear();
    m_keys.clear();
    m_liveKeys = 0;
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

bool LibrarySortFilterModel::matches(const Matcher &matcher, int sourceRow) const
{
    if (!matcher.plain && !matcher.expression.isValid())
        return false;
    if (!matcher.plain && !matcher.required && matcher.wild.isEmpty())
        return matcher.expression.match(m_library->itemAt(sourceRow)->searchText()).hasMatch();
    const QStringView key = foldedKey(sourceRow);
    // The folded text stands for the text as it is when folding kept every character in place.
    const bool aligned = m_rows.at(sourceRow).keyAligned;
    // A match never spans two roles, so the pattern only runs over single roles.
    const auto roleMatches = [&](int start, int end) {
        if (!matcher.wild.isEmpty())
            return wildMatch(matcher.wild, key.mid(start, end - start));
        return matcher.expression.match(m_library->itemAt(sourceRow)->searchText().midRef(start, end - start)).hasMatch();
    };
    if (!matcher.plain && !aligned)
        return matcher.expression.match(m_library->itemAt(sourceRow)->searchText()).hasMatch();
    if (!matcher.plain && !matcher.required) {
        for (int start = 0; start <= key.size();) {
            int end = int(key.indexOf(LibraryItem::kSearchSeparator, start));
            if (end < 0)
                end = int(key.size());
            if (roleMatches(start, end))
                return true;
            start = end + 1;
        }
        return false;
    }
    const QString &wanted = matcher.folded;
    const QStringView rest = QStringView(wanted).mid(1);
    const auto find = [&](int from) {
        // The vectorised scan for the first character, then a look at the rest, beats a
        // skip table on these short texts.
        for (int at = int(key.indexOf(wanted.at(0), from)); at >= 0; at = int(key.indexOf(wanted.at(0), at + 1))) {
            if (key.mid(at + 1).startsWith(rest))
                return at;
        }
        return -1;
    };
    int hit = find(0);
    if (matcher.plain || hit < 0)
        return hit >= 0;
    // Only the roles that hold the text every match contains are tried.
    while (hit >= 0) {
        const int start = int(key.lastIndexOf(LibraryItem::kSearchSeparator, hit)) + 1;
        int end = int(key.indexOf(LibraryItem::kSearchSeparator, hit));
        if (end < 0)
            end = int(key.size());
        if (roleMatches(start, end))
            return true;
        hit = end < key.size() ? find(end + 1) : -1;
    }
    return false;
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
        const bool match = matches(step.matcher, sourceRow);
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
    while (!m_steps.isEmpty() && !text.startsWith(m_steps.constLast().text))
        m_steps.removeLast();
    const Step *base = nullptr;
    for (int s = m_steps.size() - 1; s >= 0 && !base; --s) {
        if (m_steps.at(s).text == text || extendsCleanly(m_steps.at(s).text))
            base = &m_steps.at(s);
    }
    if (!base || base->text != text) {
        Step step{text, m_current, {}};
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
    const QRegularExpression &expression = m_current.expression;
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
