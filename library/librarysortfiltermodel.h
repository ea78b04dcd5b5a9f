#pragma once

#include "library/libraryfiltertype.h"

#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStringMatcher>
#include <QVector>

class LibraryItem;

// The view of the online library that the screens show: tab filter, search text and sort key.
class LibrarySortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(QByteArray sortRole READ sortRoleName WRITE setSortRoleName)
    Q_PROPERTY(Qt::SortOrder sortOrder READ sortOrder WRITE setSortOrder)
    Q_PROPERTY(QString filterString READ filterString WRITE setFilterString NOTIFY filterStringChanged)
    Q_PROPERTY(bool isAllFilteredSelected READ isAllFilteredSelected WRITE setIsAllFilteredSelected NOTIFY isAllFilteredSelectedChanged)
    Q_PROPERTY(bool isAnyFilteredSelected READ isAnyFilteredSelected WRITE setIsAnyFilteredSelected NOTIFY isAnyFilteredSelectedChanged)
    // Readable as well: moc drops a property without a READ accessor, and QML could not write it.
    Q_PROPERTY(LibraryFilterType::EnFilterType filter READ filter WRITE setFilter)

public:
    explicit LibrarySortFilterModel(QObject *parent = nullptr);
    ~LibrarySortFilterModel() override;

    void setSourceModel(QAbstractItemModel *model) override;
    QHash<int, QByteArray> roleNames() const override;

    QByteArray sortRoleName() const { return m_sortKey; }
    void setSortRoleName(const QByteArray &key);
    Qt::SortOrder sortOrder() const { return QSortFilterProxyModel::sortOrder(); }
    void setSortOrder(Qt::SortOrder order);
    QString filterString() const { return m_filterString; }
    void setFilterString(const QString &text);
    bool isAllFilteredSelected() const { return m_allFilteredSelected; }
    void setIsAllFilteredSelected(bool all);
    bool isAnyFilteredSelected() const { return m_anyFilteredSelected; }
    void setIsAnyFilteredSelected(bool any);
    LibraryFilterType::EnFilterType filter() const { return m_filter; }
    void setFilter(LibraryFilterType::EnFilterType filter);

    Q_INVOKABLE int filesCount(int row) const;
    Q_INVOKABLE QVariant get(int row, QByteArray role) const;
    Q_INVOKABLE void selectFiltered();
    Q_INVOKABLE void unselectFiltered();
    Q_INVOKABLE int indexByLibraryItem(LibraryItem *item) const;
    Q_INVOKABLE int rowToSource(int row) const;
    Q_INVOKABLE int size() const;

    // The search text as a pattern over one role's text: the same rows as the case-insensitive
    // wildcard "*" + text + "*" (* any run, ? one character, [...] a set). A match never spans
    // LibraryItem::kSearchSeparator, so it can run over an item's joined role texts at once.
    // An invalid pattern (an unclosed set) gives an invalid expression, which matches nothing.
    static QRegularExpression searchExpression(const QString &text);

public slots:
    void updateFilteredSelected();

signals:
    void isAllFilteredSelectedChanged();
    void isAnyFilteredSelectedChanged();
    void filterStringChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void setAllSelected(bool selected);
    bool matchesSearch(int sourceRow) const;
    // A whole-library sort compares integers: each source row's place among the items by the
    // sort key (equal keys share a place, so ties keep library order either way round).
    // Built before the sorts this model starts; until then comparisons read the items.
    template<typename Less>
    void assignRanks(const QVector<int> &order, Less less);
    void prepareRanks(int role);
    void dropRanks() { m_rankRole = -1; }
    void onSourceDataChanged(const QModelIndex &, const QModelIndex &, const QVector<int> &roles);
    // Per source row, whether the current search text matches its item: 0 not yet known,
    // 1 yes, 2 no. Typing on or deleting back keeps the answers that still hold; then the
    // number of rows that come or go is returned, otherwise -1. An answer is kept only while
    // the item's search text is unchanged.
    int reuseMatches(const QString &before, const QRegularExpression &beforeExpression);
    void dropMatches()
    {
        m_matches.clear();
        m_folded.clear();
    }
    const QString &foldedSearchText(int sourceRow, const LibraryItem *item) const;


    class OnlineLibrary *m_library = nullptr;
    QRegularExpression m_searchExpression;
    QVector<int> m_ranks;
    struct Match {
        quint32 version;  // of the item's search text the answer is about
        qint8 known;
    };
    mutable QVector<Match> m_matches;
    // Search text without wildcards is looked for as it stands in each item's case-folded
    // search text, which is kept per source row with the version it was folded from: far
    // cheaper than running the expression.
    bool m_plainSearch = false;
    QStringMatcher m_plainMatcher;
    struct Folded {
        quint32 version;
        bool known;
        QString text;
    };
    mutable QVector<Folded> m_folded;
    int m_rankRole = -1;
    bool m_bulkSelection = false;

    QByteArray m_sortKey;
    QString m_filterString;
    bool m_allFilteredSelected = false;
    bool m_anyFilteredSelected = false;
    LibraryFilterType::EnFilterType m_filter = LibraryFilterType::ALL;
};
