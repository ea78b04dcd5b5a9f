#include "singleapplication.h"

#include "app/core/instanceguard.h"
#include "app/worker.h"

#include <QDebug>

QString SingleApplication::semaphoreKey()
{
    return InstanceGuard::semaphoreKey();
}

QString SingleApplication::sharedMemoryKey()
{
    return InstanceGuard::sharedMemoryKey();
}

void SingleApplication::setSemaphoreWait(int ms)
{
    InstanceGuard::setSemaphoreWait(ms);
}

bool SingleApplication::isAnotherInstanceRunning()
{
    // Also a headless sync holding the guard keeps a second writer of the profile away.
    return InstanceGuard::claim(true) == InstanceGuard::HeldElsewhere;
}

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , m_worker(new Worker(sharedMemoryKey()))
{
    m_worker->moveToThread(&m_watcherThread);
    connect(&m_watcherThread, &QThread::started, m_worker, &Worker::doWork);
    connect(m_worker, &Worker::raiseApp, this, &SingleApplication::onRaiseRequested);
    m_watcherThread.start();
    m_watcherThread.setPriority(QThread::LowestPriority);
}

SingleApplication::~SingleApplication()
{
    m_watcherThread.quit();
    m_watcherThread.wait();
    delete m_worker;
}

void SingleApplication::onRaiseRequested()
{
    qDebug().nospace() << "INFO: " << "Application: Raise requested by another start";
    emit raiseApp();
}
