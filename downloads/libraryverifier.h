#pragma once

#include <QDateTime>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>
#include <thread>

// Checks files on disk against the service's digests, on a worker thread: each is good,
// changed or missing. A file whose size and modification time are those it had when last
// hashed takes its digest from the cache file, unless the check is full. The window's library
// check and the command-line verify both run on it.
class LibraryVerifier : public QObject
{
    Q_OBJECT
public:
    enum class Verdict { Good, Changed, Missing };
    struct Entry {
        QString path;
        QMap<QString, QDateTime> hashes;
        // The digest the file had when it was fetched; stands in for an older version.
        QString recordedHash;
        bool updateAvailable = false;
        // What the check found; an empty digest with a file present means it could not be read.
        QString digest;
        Verdict verdict = Verdict::Missing;
        bool checked = false;
        bool fromCache = false;
    };
    struct Progress {
        int filesDone = 0;
        int files = 0;
        // Bytes to read, the cache's files not counted.
        qint64 bytesDone = 0;
        qint64 bytes = 0;
        // The entry being read, -1 between files.
        int current = -1;
        // -1 while unknown.
        int secondsLeft = -1;
    };
    struct Summary {
        int good = 0;
        int changed = 0;
        int missing = 0;
        int hashed = 0;
        int cached = 0;
        qint64 bytesRead = 0;
    };

    static constexpr int kProgressIntervalMs = 100;

    explicit LibraryVerifier(QString cachePath, QObject *parent = nullptr);
    // Stops a check that runs and waits for its thread.
    ~LibraryVerifier() override;

    // Checks every entry; with full, reads even the files the cache vouches for.
    void start(QVector<Entry> entries, bool full);
    // Ends the check after the block being read; what was hashed stays in the cache.
    void cancel();
    bool isRunning() const { return m_running; }

    static Verdict judge(const Entry &entry, const QString &digest, bool present);
    static Summary summarize(const QVector<Entry> &entries);

signals:
    void progressed(const LibraryVerifier::Progress &progress);
    void checked(int index, const LibraryVerifier::Entry &entry);
    // Every entry, those not reached unchecked; cacheSaved is false when the cache could not be
    // written.
    void finished(const QVector<LibraryVerifier::Entry> &entries, bool cancelled, bool cacheSaved);

private:
    void run(QVector<Entry> entries, bool full);

    const QString m_cachePath;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    // A thread of its own, joined and not only waited for: the digest's per-thread state is
    // freed as it ends, which must come before the program's exit.
    std::thread m_thread;
    bool m_running = false;
};

Q_DECLARE_METATYPE(LibraryVerifier::Entry)
Q_DECLARE_METATYPE(LibraryVerifier::Progress)
