#include "verifycache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// Bumped when the meaning of an entry changes; an older cache is then ignored, not misread.
const int kFormatVersion = 1;
// The cache is a few hundred bytes per file; anything far larger is not one this tool wrote.
const qint64 kMaxCacheBytes = 256 * 1024 * 1024;

bool isDigest(const QString &text)
{
    static const QRegularExpression md5(QStringLiteral("^[0-9a-f]{32}$"));
    return md5.match(text).hasMatch();
}

} // namespace

VerifyCache::VerifyCache(QString path)
    : m_path(std::move(path))
{
}

void VerifyCache::load()
{
    m_loaded.clear();
    QFile file(m_path);
    // A pipe in the cache's place would block the open for ever; anything but a file is ignored.
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxCacheBytes)
        return;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.value(QLatin1String("version")).toInt() != kFormatVersion)
        return;
    const QJsonObject files = root.value(QLatin1String("files")).toObject();
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        const QJsonObject object = it.value().toObject();
        Entry entry;
        entry.size = qint64(object.value(QLatin1String("size")).toDouble(-1));
        entry.modifiedMs = qint64(object.value(QLatin1String("modified")).toDouble());
        entry.digest = object.value(QLatin1String("md5")).toString();
        if (entry.size >= 0 && isDigest(entry.digest))
            m_loaded.insert(it.key(), entry);
    }
}

QString VerifyCache::digest(const QString &filePath, qint64 size, const QDateTime &modified) const
{
    const auto it = m_loaded.constFind(filePath);
    if (it == m_loaded.constEnd() || it->size != size || it->modifiedMs != modified.toMSecsSinceEpoch())
        return QString();
    return it->digest;
}

void VerifyCache::record(const QString &filePath, qint64 size, const QDateTime &modified, const QString &digest)
{
    if (!isDigest(digest))
        return;
    m_recorded.insert(filePath, Entry{size, modified.toMSecsSinceEpoch(), digest});
}

void VerifyCache::keepUnrecorded()
{
    for (auto it = m_loaded.constBegin(); it != m_loaded.constEnd(); ++it) {
        if (!m_recorded.contains(it.key()))
            m_recorded.insert(it.key(), it.value());
    }
}

bool VerifyCache::save() const
{
    QJsonObject files;
    for (auto it = m_recorded.constBegin(); it != m_recorded.constEnd(); ++it) {
        files.insert(it.key(), QJsonObject{{QStringLiteral("size"), double(it->size)},
                                           {QStringLiteral("modified"), double(it->modifiedMs)},
                                           {QStringLiteral("md5"), it->digest}});
    }
    const QJsonObject root{{QStringLiteral("version"), kFormatVersion}, {QStringLiteral("files"), files}};
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
    return file.write(bytes) == bytes.size() && file.commit();
}
