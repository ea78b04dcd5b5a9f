#pragma once

#include "downloads/md5digest.h"

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <limits>
#include <memory>

class QFile;
class QIODevice;

// Writes a byte stream to a file and feeds it to an MD5 digest, each on a worker of its own,
// so that hashing never waits on a write call and the UI thread only copies received data
// into a ring buffer. Both workers read the same ring; a byte's slot is reused only once it
// is on disk and in the digest, which bounds memory by the ring's size. A prefix already on
// disk from an earlier attempt is read back into the digest first.
class HashingWriter : public QObject
{
    Q_OBJECT
public:
    // file is open for writing at position prefixLength; capacity is the ring's size in bytes.
    HashingWriter(std::unique_ptr<QFile> file, qint64 prefixLength, qint64 capacity, QObject *parent = nullptr);
    ~HashingWriter() override;

    // Moves what device has available into the ring, as much as fits and at most limit bytes;
    // with all, the rest waits in memory here and enters the ring as it drains. Returns the
    // bytes taken.
    qint64 readFrom(QIODevice *device, bool all, qint64 limit = std::numeric_limits<qint64>::max());

    // Bytes on disk from the start of the file.
    qint64 position() const;
    // Where the file ends once everything taken is written; also what the digest then covers.
    qint64 end() const { return m_prefixLength + m_taken; }
    // Every byte taken is written and in the digest.
    bool idle() const;
    bool failed() const { return m_failed.load(); }
    // The write failed for lack of room on the volume.
    bool noSpace() const { return m_noSpace; }
    QString errorString() const { return m_errorText; }

    // Lower-case hex digest of the whole file, when idle and the digest covers end(); empty
    // otherwise, or when the prefix could not be read back.
    QString digest();

    // Stops both workers and, with writeRest, writes what was taken and is not yet on disk on
    // the calling thread, unhashed. Returns the bytes on disk; the file is closed and no more
    // data is taken.
    qint64 drain(bool writeRest);
    // Stops both workers where they are and closes the file; no more data is taken.
    void close();

    // Drops the data not yet written and is deleted once control returns to the event loop.
    void abandon();

signals:
    // Bytes were written or hashed, a write failed, or the workers caught up.
    void progressed();

private:
    enum Lane { Write, Hash };

    qint64 contiguousFree() const;
    void pumpOverflow();
    void launch(Lane lane);
    void stopWorkers();
    void runLane(Lane lane);
    bool hashPrefix();
    bool writeSpan(const char *data, qint64 length);
    void notify();
    void onNotified();
    qint64 consumed(Lane lane) const { return m_done[lane].load(std::memory_order_acquire); }

    std::unique_ptr<QFile> m_file;
    const QString m_path;
    const qint64 m_prefixLength;
    const qint64 m_capacity;
    std::unique_ptr<char[]> m_ring;
    // Stream bytes (after the prefix) put into the ring, and taken by each lane.
    std::atomic<qint64> m_produced{0};
    std::atomic<qint64> m_done[2] = {{0}, {0}};
    std::atomic_bool m_running[2] = {{false}, {false}};
    std::atomic_bool m_stop{false};
    std::atomic_bool m_failed{false};
    std::atomic_bool m_notifyQueued{false};
    // The UI thread left data in the device for want of room and waits to hear of some.
    std::atomic_bool m_wantRoom{false};
    QList<QFuture<void>> m_tasks;

    // Owned by the hash lane while it runs.
    Md5Digest m_hash;
    bool m_prefixPending = false;
    bool m_prefixOk = true;

    // Set by the write lane before it raises m_failed.
    QString m_errorText;
    bool m_noSpace = false;
    QString m_digest;

    // Taken with all while the ring was full; UI thread only.
    QList<QByteArray> m_overflow;
    qint64 m_taken = 0;
    bool m_closed = false;
};
