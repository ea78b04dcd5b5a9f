#pragma once

#include <QtGlobal>

// The speed of one transfer from samples of its byte count, smoothed so that the figure a
// view shows does not jump with every burst, and the time left at that speed.
class TransferRateMeter
{
public:
    // How often a running transfer is sampled.
    static constexpr int kSampleIntervalMs = 1000;
    // Weight of the newest sample: about the last three samples make the figure.
    static constexpr double kSmoothing = 0.3;

    // Starts over from bytes at the time given (milliseconds on any steady clock). The first
    // sample that shows progress gives the rate; later ones move it by kSmoothing.
    void reset(qint64 timeMs, qint64 bytes);
    void addSample(qint64 timeMs, qint64 bytes);

    // Bytes per second; 0 until a sample has shown progress.
    qint64 rate() const { return qint64(m_rate + 0.5); }
    // Whole seconds for the bytes still to come at the current rate; -1 when unknown.
    int secondsLeft(qint64 remainingBytes) const { return secondsLeft(remainingBytes, m_rate); }
    // The same for any rate in bytes per second, such as the sum over several transfers.
    static int secondsLeft(qint64 remainingBytes, double rate);

private:
    qint64 m_lastTimeMs = 0;
    qint64 m_lastBytes = 0;
    double m_rate = 0.0;
    bool m_measured = false;
};
