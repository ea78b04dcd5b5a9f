#pragma once

#include "library/libraryfiltertype.h"
#include "library/searchpattern.h"

#include <QSortFilterProxyModel>
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
    // A whole-library sort compares integers: each source row's place among the items by the
    // sort key (equal keys share a place, so ties keep library order either way round).
    // Built before the sorts this model starts; until then comparisons read the items.
    template<typename Less>
    void assignRanks(const QVector<int> &order, Less less);
    void prepareRanks(int role);
    void dropRanks() { m_rankRole = -1; }
    void onSourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles);

    // The rows whose items match one search text, in source order. The texts typed one after
    // the other are kept as a chain, each the start of the next, so that typing on narrows
    // the last result and deleting back finds the earlier one.
    struct Step {
        SearchPattern pattern;
        QVector<int> rows;
    };
    // What this model knows of one source row, valid while the item's version is unchanged.
    struct Row {
        bool known = false;
        quint32 version = 0;
        quint8 flags = 0;
        bool match = false;  // for the current search text
        bool shown = false;  // the answer the proxy last acted on
        int keyStart = -1;   // folded search text in m_keys
        int keyLength = 0;
        bool keyAligned = false;  // folding kept every character in place
        bool cut = false;         // shown below the first place a large change touches
    };
    bool matches(const SearchPattern &pattern, int sourceRow) const;
    QStringView foldedKey(int sourceRow) const;
    // Brings the row up to its item; an item changed since also changes its place in the
    // chain of kept results.
    Row &syncRow(int sourceRow) const;
    void refreshRow(int sourceRow, const LibraryItem *item) const;
    void syncAllRows();
    bool passesTab(const Row &row) const;
    void dropSearchState();
    // Re-filters after the answers have changed.
    void applyFilterChange();
    // Whether the proxy puts source row A before source row B.
    bool comesBefore(int sourceA, int sourceB) const;
    // How many rows at the top stay in place through the change to the new answers.
    int unchangedRows() const;
    void searchRows(const QString &text);

    class OnlineLibrary *m_library = nullptr;
    SearchPattern m_current;
    QVector<int> m_ranks;
    int m_rankRole = -1;
    bool m_bulkSelection = false;

    // The proxy asks about rows from const code; these are caches of what the items say.
    mutable QVector<Row> m_rows;
    mutable QVector<Step> m_steps;
    // Every row's case-folded search text, one after the other; a changed text is appended
    // and the old one left as garbage until the buffer is compacted.
    mutable QString m_keys;
    mutable int m_liveKeys = 0;
    mutable bool m_shownKnown = false;
    bool m_cutting = false;  // the proxy is told to drop the rows marked "cut", and no more

    QByteArray m_sortKey;
    QString m_filterString;
    bool m_allFilteredSelected = false;
    bool m_anyFilteredSelected = false;
    LibraryFilterType::EnFilterType m_filter = LibraryFilterType::ALL;
};
