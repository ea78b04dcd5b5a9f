// Placeholder until the library model lands.
#include "librarysortfiltermodel.h"

LibrarySortFilterModel::LibrarySortFilterModel(QObject *parent) : QSortFilterProxyModel(parent) {}
LibrarySortFilterModel::~LibrarySortFilterModel() = default;
void LibrarySortFilterModel::setSourceModel(QAbstractItemModel *model) { QSortFilterProxyModel::setSourceModel(model); }
QHash<int, QByteArray> LibrarySortFilterModel::roleNames() const { return {}; }
void LibrarySortFilterModel::setSortRoleName(const QByteArray &key) { m_sortKey = key; }
void LibrarySortFilterModel::setSortOrder(Qt::SortOrder order) { sort(0, order); }
void LibrarySortFilterModel::setFilterString(const QString &text) { m_filterString = text; emit filterStringChanged(); }
void LibrarySortFilterModel::setIsAllFilteredSelected(bool all) { m_allFilteredSelected = all; }
void LibrarySortFilterModel::setIsAnyFilteredSelected(bool any) { m_anyFilteredSelected = any; }
void LibrarySortFilterModel::setFilter(LibraryFilterType::EnFilterType filter) { m_filter = filter; }
int LibrarySortFilterModel::filesCount(int) const { return 0; }
void LibrarySortFilterModel::deleteRows(QList<int>) {}
QVariant LibrarySortFilterModel::get(int, QByteArray) const { return QVariant(); }
void LibrarySortFilterModel::selectFiltered() {}
void LibrarySortFilterModel::unselectFiltered() {}
int LibrarySortFilterModel::indexByLibraryItem(LibraryItem *) const { return -1; }
int LibrarySortFilterModel::rowToSource(int) const { return -1; }
int LibrarySortFilterModel::size() const { return rowCount(); }
void LibrarySortFilterModel::updateFilteredSelected() {}
bool LibrarySortFilterModel::filterAcceptsRow(int, const QModelIndex &) const { return true; }
bool LibrarySortFilterModel::lessThan(const QModelIndex &l, const QModelIndex &r) const { return QSortFilterProxyModel::lessThan(l, r); }
void LibrarySortFilterModel::setAllSelected(bool) {}
