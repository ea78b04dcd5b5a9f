// Placeholder until the library model lands.
#include "errorslistmodel.h"

ErrorsListModel::ErrorsListModel(QObject *parent) : QAbstractListModel(parent) {}
int ErrorsListModel::rowCount(const QModelIndex &) const { return m_entries.size(); }
QVariant ErrorsListModel::data(const QModelIndex &, int) const { return QVariant(); }
QHash<int, QByteArray> ErrorsListModel::roleNames() const { return {}; }
void ErrorsListModel::addError(int, QString, qint64) {}
