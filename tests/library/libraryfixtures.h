#pragma once

// Product objects as the storefront sends them, for the library tests.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace fixtures {

inline QJsonObject serviceFile(const QString &name, const QString &lastModified = QStringLiteral("2021-01-10T10:00:00"),
                               const QJsonValue &size = 1000)
{
    return {{QStringLiteral("filename"), name},
            {QStringLiteral("last_modified"), lastModified},
            {QStringLiteral("raw_filesize_bytes"), size},
            {QStringLiteral("bundle_id"), 0}};
}

inline QJsonObject product(const QString &id, const QString &title, const QJsonArray &files = {},
                           const QString &publisher = QStringLiteral("Ember Press"))
{
    QJsonArray list = files;
    if (list.isEmpty())
        list.append(serviceFile(QString(title + QStringLiteral(".pdf"))));
    const QString cover = QStringLiteral("https://img.tolvane-store.example/c/") + id + QStringLiteral(".jpg");
    const QString thumb = QStringLiteral("https://img.tolvane-store.example/t/") + id + QStringLiteral(".jpg");
    const QString purchased = QStringLiteral("2020-05-0") + QString::number(id.size() % 9 + 1) + QStringLiteral("T12:00:00");
    return {{QStringLiteral("products_id"), id},
            {QStringLiteral("products_name"), title},
            {QStringLiteral("publishers_name"), publisher},
            {QStringLiteral("cover_url_fullsize"), cover},
            {QStringLiteral("products_thumbnail100"), thumb},
            {QStringLiteral("date_purchased"), purchased},
            {QStringLiteral("is_archived"), QStringLiteral("0")},
            {QStringLiteral("files"), list}};
}

// A product's files as the library saves them: f0.pdf, f1.pdf, … with these statuses, 100 bytes
// each.
inline QJsonArray savedFiles(const QList<int> &statuses)
{
    QJsonArray saved;
    for (int i = 0; i < statuses.size(); ++i)
        saved.append(QJsonObject{{QStringLiteral("serverFileName"), QStringLiteral("f%1.pdf").arg(i)},
                                 {QStringLiteral("status"), statuses.at(i)},
                                 {QStringLiteral("totalSize"), 100}});
    return saved;
}

} // namespace fixtures
