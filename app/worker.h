#pragma once

#include <QObject>

// Polls the raise-request flag of the shared segment from the watcher thread.
class Worker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    static const int kPollIntervalMs = 1000;

    // Lets tests poll faster than once a second.
    static void setPollInterval(int ms);
    static int pollInterval();

public slots:
    void doWork();

signals:
    void raiseApp();
};
