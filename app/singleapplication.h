#pragma once

#include "app/core/instanceguard.h"

#include <QApplication>
#include <QThread>

class Worker;

// The application base that lets only one copy run: a later start sets a one-byte flag in a
// shared segment and exits; the running copy's watcher thread sees it and asks for the window.
class SingleApplication : public QApplication
{
    Q_OBJECT
public:
    SingleApplication(int &argc, char **argv);
    ~SingleApplication() override;

    // Called before the application object exists. True means another copy runs and has been
    // asked to come to the front.
    static bool isAnotherInstanceRunning();

    static QString semaphoreKey();
    static QString sharedMemoryKey();

    static const int kSemaphoreWaitMs = InstanceGuard::kSemaphoreWaitMs;
    // Lets tests give up on a stuck semaphore sooner.
    static void setSemaphoreWait(int ms);

signals:
    void raiseApp();

private:
    void onRaiseRequested();

    QThread m_watcherThread;
    Worker *m_worker = nullptr;
};
