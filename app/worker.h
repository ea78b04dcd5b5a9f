#pragma once

#include <QObject>
#include <QString>

// Polls the raise-request flag of the shared segment from the watcher thread.
class Worker : public QObject
{
    Q_OBJECT
public:
    // Watches the segment named by key.
    explicit Worker(const QString &key, QObject *parent = nullptr);

    static const int kPollIntervalMs = 1000;

public slots:
    void doWork();

signals:
    void raiseApp();

private:
    const QString m_key;
};
