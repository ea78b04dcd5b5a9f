#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// The figures of the progress line: bytes done of the run, the transfer rate over the last few
// seconds and the time left at that rate.
class SyncProgress
{
public:
    // Long enough to smooth over the gaps between files, short enough to follow a change.
    static constexpr qint64 kWindowMs = 5000;

    // Bytes done of the whole run at a moment on a monotonic clock.
    void addSample(qint64 msecs, qint64 bytesDone);
    // Bytes per second over the window; -1 until two samples lie apart in time.
    double rate() const;
    // Whole seconds to fetch `remaining` bytes at the current rate, rounded up; -1 when unknown.
    qint64 secondsLeft(qint64 remaining) const;

    QString line(qint64 done, qint64 total, int running, int waiting) const;

    static QString bytesText(qint64 bytes);
    static QString durationText(qint64 seconds);

private:
    QVector<QPair<qint64, qint64>> m_samples;
};
