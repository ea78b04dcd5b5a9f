#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The failures the user should see, at most one entry per library item.
class ErrorsListModel : public QAbstractListModel
{
    Q_OBJECT
    // Files of a product that failed or were found damaged: a new "Download all" fetches them.
    Q_PROPERTY(bool hasFileFailures READ hasFileFailures NOTIFY hasFileFailuresChanged)
public:
    enum Roles { ErrorTextRole = Qt::UserRole + 1, ErrorItemIndexRole, ErrorTypeRole };

    explicit ErrorsListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void addError(int type, QString text, qint64 itemIndex);
    void clear();
    bool hasFileFailures() const;

signals:
    void errorAdded(QString message);
    void hasFileFailuresChanged();

private:
    struct Entry {
        QString text;
        qint64 itemIndex;
        int type;
    };
    QList<Entry> m_entries;
};
