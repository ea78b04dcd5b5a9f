#include "hashingwriter.h"

#include <QFile>
#include <QIODevice>
#include <QtConcurrent>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_LINUX
#include <cerrno>
#endif

namespace {

// The most a worker takes in one step: the ring's slots come free in steps of this size.
constexpr qint64 kSpan = 1024 * 1024;
// A worker that keeps busy still tells the UI thread how far it got after this many bytes.
constexpr qint64 kNotifyBytes = 8 * 1024 * 1024;

// Writes wait on the disk, not the processor: on a pool of their own they never queue behind
// the hashing of other files, which would fill a file's ring and hold up its transfer.
Q_GLOBAL_STATIC(QThreadPool, g_writePool)

QThreadPool *writePool()
{
    QThreadPool *pool = g_writePool();
    static const bool sized = (pool->setMaxThreadCount(4), true);
    Q_UNUSED(sized)
    return pool;
}

} // namespace

HashingWriter::HashingWriter(std::unique_ptr<QFile> file, qint64 prefixLength, qint64 capacity, QObject *parent)
    : QObject(parent)
    , m_file(std::move(file))
    , m_path(m_file->fileName())
    , m_prefixLength(prefixLength)
    , m_capacity(qMax<qint64>(capacity, 1))
    // Left uninitialised: a page is only touched once data reaches it.
    , m_ring(new char[std::size_t(m_capacity)])
    , m_prefixPending(prefixLength > 0)
{
    if (m_prefixPending) {
        m_running[Hash] = true;
        m_tasks.append(QtConcurrent::run([this] { runLane(Hash); }));
    }
}

HashingWriter::~HashingWriter()
{
    stopWorkers();
}

qint64 HashingWriter::readFrom(QIODevice *device, bool all, qint64 limit)
{
    if (m_closed || m_failed) {
        // Nothing more is written; what arrives is not wanted.
        device->skip(device->bytesAvailable());
        return 0;
    }
    pumpOverflow();
    qint64 total = 0;
    while (m_overflow.isEmpty() && device->bytesAvailable() > 0 && total < limit) {
        const qint64 room = qMin(contiguousFree(), limit - total);
        if (room == 0)
            break;
        const qint64 produced = m_produced.load(std::memory_order_relaxed);
        const qint64 n = device->read(m_ring.get() + produced % m_capacity, qMin(room, device->bytesAvailable()));
        if (n <= 0)
            break;
        m_produced.store(produced + n, std::memory_order_release);
        m_taken += n;
        total += n;
    }
    if (all && device->bytesAvailable() > 0) {
        const QByteArray rest = device->readAll();
        m_overflow.append(rest);
        m_taken += rest.size();
        total += rest.size();
    }
    // A worker that frees room after this tells of it; one that freed some before it saw the
    // flag either goes on and sees it or stops, and a stopping worker always tells.
    if (device->bytesAvailable() > 0)
        m_wantRoom = true;
    launch(Write);
    launch(Hash);
    return total;
}

qint64 HashingWriter::contiguousFree() const
{
    const qint64 produced = m_produced.load(std::memory_order_relaxed);
    const qint64 tail = qMin(consumed(Write), consumed(Hash));
    const qint64 free = m_capacity - (produced - tail);
    return qMin(free, m_capacity - produced % m_capacity);
}

void HashingWriter::pumpOverflow()
{
    while (!m_overflow.isEmpty() && !m_closed && !m_failed) {
        const qint64 room = contiguousFree();
        if (room == 0)
            break;
        QByteArray &front = m_overflow.first();
        const qint64 produced = m_produced.load(std::memory_order_relaxed);
        const qint64 n = qMin<qint64>(room, front.size());
        std::memcpy(m_ring.get() + produced % m_capacity, front.constData(), std::size_t(n));
        m_produced.store(produced + n, std::memory_order_release);
        if (n == front.size())
            m_overflow.removeFirst();
        else
            front.remove(0, int(n));
    }
    if (!m_overflow.isEmpty())
        m_wantRoom = true;
    launch(Write);
    launch(Hash);
}

qint64 HashingWriter::position() const
{
    return m_prefixLength + consumed(Write);
}

bool HashingWriter::idle() const
{
    if (m_running[Write].load() || m_running[Hash].load())
        return false;
    if (m_failed)
        return true;
    const qint64 produced = m_produced.load(std::memory_order_relaxed);
    return m_overflow.isEmpty() && consumed(Write) == produced && consumed(Hash) == produced;
}

QString HashingWriter::digest()
{
    if (m_digest.isEmpty() && idle() && !m_failed && m_prefixOk && !m_prefixPending && consumed(Hash) == m_taken
        && consumed(Write) == m_taken)
        m_digest = m_hash.hexResult();
    return m_digest;
}

qint64 HashingWriter::drain(bool writeRest)
{
    stopWorkers();
    if (writeRest && !m_failed && !m_closed) {
        qint64 written = consumed(Write);
        const qint64 produced = m_produced.load(std::memory_order_relaxed);
        bool ok = true;
        while (ok && written < produced) {
            const qint64 offset = written % m_capacity;
            const qint64 n = qMin(produced - written, m_capacity - offset);
            ok = writeSpan(m_ring.get() + offset, n);
            if (ok)
                written += n;
        }
        for (int i = 0; ok && i < m_overflow.size(); ++i) {
            ok = writeSpan(m_overflow.at(i).constData(), m_overflow.at(i).size());
            if (ok)
                written += m_overflow.at(i).size();
        }
        m_done[Write].store(written);
    }
    m_overflow.clear();
    close();
    return position();
}

void HashingWriter::close()
{
    stopWorkers();
    m_file->close();
    m_closed = true;
}

void HashingWriter::abandon()
{
    blockSignals(true);
    close();
    deleteLater();
}

void HashingWriter::launch(Lane lane)
{
    if (m_closed || m_stop || m_failed)
        return;
    if (consumed(lane) == m_produced.load(std::memory_order_relaxed) || m_running[lane].exchange(true))
        return;
    m_tasks.erase(std::remove_if(m_tasks.begin(), m_tasks.end(), [](const QFuture<void> &task) { return task.isFinished(); }),
                  m_tasks.end());
    QThreadPool *pool = lane == Write ? writePool() : QThreadPool::globalInstance();
    m_tasks.append(QtConcurrent::run(pool, [this, lane] { runLane(lane); }));
}

// Waits for every worker; each stops after its current step.
void HashingWriter::stopWorkers()
{
    m_stop = true;
    for (QFuture<void> &task : m_tasks)
        task.waitForFinished();
    m_tasks.clear();
    m_running[Write] = false;
    m_running[Hash] = false;
}

void HashingWriter::runLane(Lane lane)
{
    qint64 sinceNotice = 0;
    for (;;) {
        if (!m_stop && !m_failed) {
            if (lane == Hash && m_prefixPending) {
                m_prefixOk = hashPrefix();
                m_prefixPending = false;
                continue;
            }
            const qint64 done = m_done[lane].load(std::memory_order_relaxed);
            const qint64 available = m_produced.load(std::memory_order_acquire) - done;
            if (available > 0) {
                const qint64 offset = done % m_capacity;
                const qint64 n = qMin(qMin(available, m_capacity - offset), kSpan);
                const char *data = m_ring.get() + offset;
                if (lane == Write) {
                    if (!writeSpan(data, n))
                        continue;
                } else {
                    m_hash.addData(data, n);
                }
                m_done[lane].store(done + n, std::memory_order_release);
                sinceNotice += n;
                if (sinceNotice >= kNotifyBytes || m_wantRoom.load()) {
                    sinceNotice = 0;
                    notify();
                }
                continue;
            }
        }
        m_running[lane] = false;
        // Data put in after the last look would otherwise wait for the next read.
        if (!m_stop && !m_failed && m_produced.load() != m_done[lane].load() && !m_running[lane].exchange(true))
            continue;
        break;
    }
    notify();
}

bool HashingWriter::hashPrefix()
{
    QFile prefix(m_path);
    if (!prefix.open(QIODevice::ReadOnly))
        return false;
    QByteArray block(int(kSpan), Qt::Uninitialized);
    qint64 left = m_prefixLength;
    while (left > 0) {
        if (m_stop)
            return false;
        const qint64 n = prefix.read(block.data(), qMin(left, kSpan));
        if (n <= 0)
            return false;
        m_hash.addData(block.constData(), n);
        left -= n;
    }
    return true;
}

bool HashingWriter::writeSpan(const char *data, qint64 length)
{
    qint64 written = 0;
    while (written < length) {
        // A short write says nothing of why; the next one fails with the reason.
        const qint64 count = m_file->write(data + written, length - written);
        if (count > 0) {
            written += count;
            continue;
        }
#ifdef Q_OS_LINUX
        m_noSpace = errno == ENOSPC;
#endif
        m_noSpace = m_noSpace || m_file->error() == QFileDevice::ResourceError;
        m_errorText = m_file->errorString();
        m_failed = true;
        return false;
    }
    return true;
}

// At most one notice waits in the UI thread's queue; it reads the state when it runs.
void HashingWriter::notify()
{
    if (m_notifyQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(this, &HashingWriter::onNotified, Qt::QueuedConnection);
}

void HashingWriter::onNotified()
{
    m_notifyQueued = false;
    m_wantRoom = false;
    pumpOverflow();
    emit progressed();
}
