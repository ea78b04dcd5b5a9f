#include "instanceguard.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QSharedMemory>
#include <QStandardPaths>
#include <QSystemSemaphore>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#endif

namespace {

std::atomic<int> g_semaphoreWaitMs{InstanceGuard::kSemaphoreWaitMs};

// Stays attached until the process ends, in the running copy and in a copy that only
// delivered a raise request.
QSharedMemory *g_sharedMemory = nullptr;

// Number of processes attached to the segment behind `memory`, or -1 when the platform
// cannot tell.
int attachedProcesses(const QSharedMemory &memory)
{
#ifdef Q_OS_UNIX
    // System V segments are keyed by ftok() of the native key file; a POSIX build has no such
    // file and ftok() fails.
    const key_t key = ftok(QFile::encodeName(memory.nativeKey()).constData(), 'Q');
    if (key == -1)
        return -1;
    const int id = shmget(key, 0, 0);
    if (id == -1)
        return -1;
    shmid_ds status {};
    if (shmctl(id, IPC_STAT, &status) == -1)
        return -1;
    return static_cast<int>(status.shm_nattch);
#else
    Q_UNUSED(memory)
    return -1;
#endif
}

#ifdef Q_OS_UNIX
// On Unix a segment outlives a killed copy, and its key comes from a file's inode, so segments
// of two temporary folders can even meet; counting attachments cannot tell who is alive. The
// holder therefore also takes an advisory lock on a file beside the segment's key file, which
// the kernel releases however the process ends.
enum class HolderLock { Acquired, Busy, Failed };

int g_holderLockFd = -1;
QByteArray g_holderLockPath;

HolderLock takeHolderLock(const QSharedMemory &memory)
{
    const QByteArray path = QFile::encodeName(memory.nativeKey() + QStringLiteral(".lock"));
    if (g_holderLockFd != -1) {
        if (path == g_holderLockPath)
            return HolderLock::Acquired;
        ::close(g_holderLockFd);
        g_holderLockFd = -1;
    }
    // Close-on-exec: an installer or viewer started by this copy must not inherit the lock.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd == -1)
        return HolderLock::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        g_holderLockFd = fd;
        g_holderLockPath = path;
        return HolderLock::Acquired;
    }
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? HolderLock::Busy : HolderLock::Failed;
}

// If the key file of a leftover segment is gone (a temporary-folder cleaner), create() fails on
// the leftover when a new file maps to its key, and removes the file it made. With the file in
// place, attach() finds the leftover instead.
void keepKeyFile(const QSharedMemory &memory)
{
    QFile keyFile(memory.nativeKey());
    if (!keyFile.exists())
        keyFile.open(QIODevice::WriteOnly);
}
#endif

void writeFlag(QSharedMemory &memory, char value)
{
    memory.lock();
    static_cast<char *>(memory.data())[0] = value;
    memory.unlock();
}

// The start-up semaphore, acquired with a time limit. A copy killed between creating the
// semaphore and setting its count leaves it at zero for good; then it is reset instead of
// waiting forever.
class StartupLock
{
public:
    StartupLock()
        : m_attempt(std::make_shared<Attempt>())
    {
        m_attempt->semaphore = std::make_unique<QSystemSemaphore>(InstanceGuard::semaphoreKey(), 1,
                                                                  QSystemSemaphore::Open);
        std::thread waiter([attempt = m_attempt] {
            const bool acquired = attempt->semaphore->acquire();
            std::lock_guard<std::mutex> lock(attempt->mutex);
            attempt->done = true;
            if (attempt->abandoned) {
                if (acquired)
                    attempt->semaphore->release();
                return;
            }
            attempt->acquired = acquired;
            attempt->changed.notify_all();
        });

        std::unique_lock<std::mutex> lock(m_attempt->mutex);
        const bool finished = m_attempt->changed.wait_for(
            lock, std::chrono::milliseconds(g_semaphoreWaitMs.load()), [this] { return m_attempt->done; });
        if (finished) {
            lock.unlock();
            waiter.join();
            m_semaphore = m_attempt->acquired ? m_attempt->semaphore.get() : nullptr;
            return;
        }
        m_attempt->abandoned = true;
        lock.unlock();
        waiter.detach();

        qDebug().nospace() << "WARNING: " << "Application: Start-up semaphore did not respond, resetting it";
        m_reset = std::make_unique<QSystemSemaphore>(InstanceGuard::semaphoreKey(), 1,
                                                     QSystemSemaphore::Create);
        m_semaphore = m_reset->acquire() ? m_reset.get() : nullptr;
    }

    ~StartupLock()
    {
        if (m_semaphore)
            m_semaphore->release();
    }

    StartupLock(const StartupLock &) = delete;
    StartupLock &operator=(const StartupLock &) = delete;

private:
    struct Attempt {
        std::unique_ptr<QSystemSemaphore> semaphore;
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        bool acquired = false;
        bool abandoned = false;
    };
    std::shared_ptr<Attempt> m_attempt;
    std::unique_ptr<QSystemSemaphore> m_reset;
    QSystemSemaphore *m_semaphore = nullptr;
};

} // namespace

QString InstanceGuard::profileTag()
{
#ifdef Q_OS_UNIX
    const QByteArray user = QByteArray::number(qulonglong(::getuid()));
#else
    const QByteArray user = qgetenv("USERNAME");
#endif
    // The profile is where the settings and the saved library live; the temporary folder the
    // keys' files go to is shared by every user of the machine.
    const QByteArray profile = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        + '\n' + QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QString::fromLatin1(user + '_' + QCryptographicHash::hash(profile, QCryptographicHash::Sha1).toHex().left(16));
}

QString InstanceGuard::semaphoreKey()
{
    return QStringLiteral("QEN_semaphore_") + profileTag();
}

QString InstanceGuard::sharedMemoryKey()
{
    return QStringLiteral("QEN_sharedMemory_") + profileTag();
}

void InstanceGuard::setSemaphoreWait(int ms)
{
    g_semaphoreWaitMs = ms;
}

InstanceGuard::Claim InstanceGuard::claim(bool askHolderToRaise)
{
    StartupLock startupLock;

    delete g_sharedMemory;
    g_sharedMemory = new QSharedMemory(sharedMemoryKey());

#ifdef Q_OS_UNIX
    keepKeyFile(*g_sharedMemory);
    switch (takeHolderLock(*g_sharedMemory)) {
    case HolderLock::Acquired:
        // A segment found here is a leftover of a copy that has ended; its flag is ours now.
        if (g_sharedMemory->attach(QSharedMemory::ReadWrite) || g_sharedMemory->create(1, QSharedMemory::ReadWrite))
            writeFlag(*g_sharedMemory, 0);
        else
            qDebug().nospace() << "WARNING: " << "Application: No raise flag: " << g_sharedMemory->errorString();
        return Claimed;
    case HolderLock::Busy:
        if (g_sharedMemory->attach(QSharedMemory::ReadWrite) && askHolderToRaise)
            writeFlag(*g_sharedMemory, 1);
        return HeldElsewhere;
    case HolderLock::Failed:
        break;
    }
#endif

    if (g_sharedMemory->attach(QSharedMemory::ReadWrite)) {
        // A segment that only we are attached to was left by a copy that died without
        // detaching (killed, crashed): it is ours now.
        if (attachedProcesses(*g_sharedMemory) == 1) {
            qDebug().nospace() << "INFO: " << "Application: Reclaiming the segment of a copy that has ended";
            writeFlag(*g_sharedMemory, 0);
            return Claimed;
        }
        if (askHolderToRaise)
            writeFlag(*g_sharedMemory, 1);
        return HeldElsewhere;
    }

    if (!g_sharedMemory->create(1, QSharedMemory::ReadWrite))
        return Unavailable;
    writeFlag(*g_sharedMemory, 0);
    return Claimed;
}

bool InstanceGuard::takeRaiseRequest()
{
    if (!g_sharedMemory || !g_sharedMemory->isAttached() || !g_sharedMemory->lock())
        return false;
    auto *flag = static_cast<char *>(g_sharedMemory->data());
    const bool requested = flag[0] == 1;
    flag[0] = 0;
    g_sharedMemory->unlock();
    return requested;
}
