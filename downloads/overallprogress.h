#pragma once

#include "downloads/transferratemeter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class DownloadManager;
class QTimer;

// The figures of the running batch of transfers as a whole: files done of all, bytes done of
// all, the rate and the time left, and one line of text for the header and the tray. A batch
// ends when nothing is queued or running; finished() then tells how it went.
class OverallProgress : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY changed)
    Q_PROPERTY(int filesDone READ filesDone NOTIFY changed)
    Q_PROPERTY(int filesAll READ filesAll NOTIFY changed)
    Q_PROPERTY(qint64 bytesDone READ bytesDone NOTIFY changed)
    Q_PROPERTY(qint64 bytesAll READ bytesAll NOTIFY changed)
    Q_PROPERTY(qint64 rate READ rate NOTIFY changed)
    Q_PROPERTY(int secondsLeft READ secondsLeft NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)

public:
    explicit OverallProgress(DownloadManager *manager, QObject *parent = nullptr);

    bool running() const { return m_running; }
    int filesDone() const { return m_running ? m_downloaded + m_failed : 0; }
    int filesAll() const;
    qint64 bytesDone() const;
    qint64 bytesAll() const;
    qint64 rate() const { return m_meter.rate(); }
    int secondsLeft() const;
    // "2 of 5 files, 1.2 MB of 4.0 MB, 300 kB/s, 10 s left"; empty while nothing runs.
    QString text() const;

signals:
    void changed();
    // A batch ended with every file either downloaded or failed.
    void finished(int downloaded, int failed);

private:
    void onTransferEnded(int status);
    void onRemainChanged();
    void sample();

    DownloadManager *const m_manager;
    QTimer *const m_sampleTimer;
    QElapsedTimer m_clock;
    TransferRateMeter m_meter;
    bool m_running = false;
    int m_downloaded = 0;
    int m_failed = 0;
    bool m_reported = false;
};
