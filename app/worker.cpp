#include "worker.h"

#include "app/singleapplication.h"

#include <QSharedMemory>
#include <QTimer>

#include <atomic>

namespace {
std::atomic<int> g_pollIntervalMs{Worker::kPollIntervalMs};
}

void Worker::setPollInterval(int ms)
{
    g_pollIntervalMs = ms;
}

int Worker::pollInterval()
{
    return g_pollIntervalMs;
}

void Worker::doWork()
{
    QSharedMemory memory(SingleApplication::sharedMemoryKey());
    if (!memory.attach(QSharedMemory::ReadWrite))
        return;

    memory.lock();
    auto *flag = static_cast<char *>(memory.data());
    if (flag[0] == 1) {
        flag[0] = 0;
        emit raiseApp();
    }
    QTimer::singleShot(pollInterval(), this, &Worker::doWork);
    memory.unlock();
}
