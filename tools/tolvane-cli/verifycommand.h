#pragma once

#include "verifycache.h"

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class Console;
class Md5Digest;
class StopSignals;

// `verify --dir DIR [--md5sums FILE] [--full]`: hashes every file that the tool's saved library
// records as present in DIR and compares it with the service's checksums, reporting each as
// good, changed or missing. A file whose size and modification time are those it had when it
// was last hashed is taken from the cache unless full is set. The md5sums file lists what each
// file should hash to, with paths relative to DIR, in the form `md5sum -c` reads.
class VerifyCommand : public QObject
{
    Q_OBJECT
public:
    static QString cacheName();

    VerifyCommand(Console *console, StopSignals *stopSignals, const QString &dir, const QString &md5sumsPath,
                  bool full, QObject *parent = nullptr);
    ~VerifyCommand() override;

    // Runs the event loop until every file is checked and returns the exit code.
    int run();

    // One line of an md5sums file, with the escaping GNU md5sum applies to unusual names.
    static QString md5sumsLine(const QString &digest, const QString &relativePath);

private:
    enum class Verdict { Good, Changed, Missing };
    struct Entry {
        QString relativePath;
        QMap<QString, QDateTime> hashes;
        // The digest the file had when it was fetched; stands in for an older version.
        QString recordedHash;
        bool updateAvailable = false;
        QString digest;
        Verdict verdict = Verdict::Missing;
    };

    bool loadRecordedFiles();
    void checkNext();
    void hashSome();
    void onHashed(const QString &digest);
    void judge(Entry &entry, const QString &digest);
    QString expectedDigest(const Entry &entry) const;
    bool writeMd5sums() const;
    void finish();
    void stop(int signalNumber);
    QString absolutePath(const Entry &entry) const;

    Console *const m_console;
    const QString m_dir;
    const QString m_md5sumsPath;
    const bool m_full;
    VerifyCache m_cache;
    QVector<Entry> m_entries;
    int m_next = 0;
    int m_hashed = 0;
    int m_cached = 0;
    int m_exitCode = 0;
    bool m_ended = false;
    // The file being hashed, a block per turn of the event loop, so that a stop request is
    // heard between blocks without a thread of its own.
    QFile m_hashFile;
    std::unique_ptr<Md5Digest> m_digest;
    qint64 m_pendingSize = 0;
    QDateTime m_pendingModified;
};
