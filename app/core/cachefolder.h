#pragma once

#include <QString>

// The cover images are disposable: they live in the desktop's cache folder, which backups and
// cleaning tools treat as such, rather than beside the saved library.
class CacheFolder
{
public:
    // Removes the cache an earlier version kept below dataFolder, once, and makes cacheFolder.
    // Returns cacheFolder.
    static QString prepare(const QString &dataFolder, const QString &cacheFolder);
};
