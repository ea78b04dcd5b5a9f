#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// Digests of files hashed by an earlier verify, with the size and modification time each had
// then: a file that still shows both need not be read again. Kept as a small JSON file, written
// whole beside the old one and renamed over it.
class VerifyCache
{
public:
    explicit VerifyCache(QString path);

    QString path() const { return m_path; }
    // A missing or unreadable file gives an empty cache.
    void load();
    // The digest recorded for this path, size and modification time; empty when there is none.
    QString digest(const QString &filePath, qint64 size, const QDateTime &modified) const;
    // Recorded for the next save. Only entries recorded during this run are saved, so files
    // that left the library leave the cache too.
    void record(const QString &filePath, qint64 size, const QDateTime &modified, const QString &digest);
    // Carries the loaded entries not recorded in this run over to the next save.
    void keepUnrecorded();
    bool save() const;

private:
    struct Entry {
        qint64 size = -1;
        qint64 modifiedMs = 0;
        QString digest;
    };

    QString m_path;
    QHash<QString, Entry> m_loaded;
    QHash<QString, Entry> m_recorded;
};
