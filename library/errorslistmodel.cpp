#include "errorslistmodel.h"

#include "api/libraryerrortype.h"

#include <QDebug>

#include <algorithm>

ErrorsListModel::ErrorsListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int ErrorsListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

QVariant ErrorsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_entries.size())
        return QVariant();
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case ErrorTextRole:
        return entry.text;
    case ErrorItemIndexRole:
        return entry.itemIndex;
    case ErrorTypeRole:
        return entry.type;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ErrorsListModel::roleNames() const
{
    return {{ErrorTextRole, "errorText"}, {ErrorItemIndexRole, "errorItemIndex"}, {ErrorTypeRole, "errorType"}};
}

void ErrorsListModel::addError(int type, QString text, qint64 itemIndex)
{
    qDebug().noquote() << "Add item to error list model" << type << text << " INDEX: " << itemIndex;

    int row = -1;
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).itemIndex == itemIndex) {
            row = i;
            break;
        }
    }

    const bool hadFileFailures = hasFileFailures();
    if (row >= 0) {
        m_entries[row].type = type;
        m_entries[row].text = text;
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {ErrorTextRole, ErrorTypeRole});
    } else {
        beginInsertRows(QModelIndex(), m_entries.size(), m_entries.size());
        m_entries.append({text, itemIndex, type});
        endInsertRows();
    }
    if (hasFileFailures() != hadFileFailures)
        emit hasFileFailuresChanged();

    switch (type) {
    case LibraryErrorType::DownloadError:
        emit errorAdded(tr("Some of your files failed to download. Click here to view error."));
        break;
    case LibraryErrorType::UpdateFileError:
        emit errorAdded(tr("Some of your files failed to update. Click here to view error."));
        break;
    case LibraryErrorType::DeleteFileError:
        emit errorAdded(tr("Some of your files failed to delete. Click here to view error."));
        break;
    case LibraryErrorType::RefreshLibraryError:
        emit errorAdded(tr("Error refreshing library. Please check your internet connection."));
        break;
    case LibraryErrorType::GeneralError:
        emit errorAdded(text);
        break;
    default:
        break;
    }
}

void ErrorsListModel::clear()
{
    if (m_entries.isEmpty())
        return;
    const bool hadFileFailures = hasFileFailures();
    beginResetModel();
    m_entries.clear();
    endResetModel();
    if (hadFileFailures)
        emit hasFileFailuresChanged();
}

bool ErrorsListModel::hasFileFailures() const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(), [](const Entry &entry) {
        return entry.itemIndex >= 0 && entry.type != LibraryErrorType::DeleteFileError
            && entry.type != LibraryErrorType::RefreshLibraryError;
    });
}
