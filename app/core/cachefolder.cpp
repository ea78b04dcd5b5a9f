#include "cachefolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kOldCacheName = QStringLiteral("cache");

} // namespace

QString CacheFolder::prepare(const QString &dataFolder, const QString &cacheFolder)
{
    const QFileInfo old(dataFolder + QLatin1Char('/') + kOldCacheName);
    if (old.isSymLink()) {
        // Only the link is ours; whatever it points at is not.
        QFile::remove(old.filePath());
    } else if (old.isDir()) {
        if (QDir(old.filePath()).removeRecursively())
            qDebug().nospace() << "INFO: " << "Cache: Old cache folder removed: " << old.filePath();
        else
            qDebug().nospace() << "WARNING: " << "Cache: Old cache folder could not be removed: " << old.filePath();
    }
    QDir().mkpath(cacheFolder);
    return cacheFolder;
}
