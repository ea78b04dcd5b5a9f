#include "worker.h"

#include <QSharedMemory>
#include <QTimer>

Worker::Worker(const QString &key, QObject *parent)
    : QObject(parent), m_key(key)
{
}

void Worker::doWork()
{
    QSharedMemory memory(m_key);
    if (!memory.attach(QSharedMemory::ReadWrite))
        return;

    memory.lock();
    auto *flag = static_cast<char *>(memory.data());
    if (flag[0] == 1) {
        flag[0] = 0;
        emit raiseApp();
    }
    QTimer::singleShot(kPollIntervalMs, this, &Worker::doWork);
    memory.unlock();
}
