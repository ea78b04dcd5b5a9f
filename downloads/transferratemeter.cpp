#include "transferratemeter.h"

#include <cmath>
#include <limits>

void TransferRateMeter::reset(qint64 timeMs, qint64 bytes)
{
    m_lastTimeMs = timeMs;
    m_lastBytes = bytes;
    m_rate = 0.0;
    m_measured = false;
}

void TransferRateMeter::addSample(qint64 timeMs, qint64 bytes)
{
    const qint64 elapsed = timeMs - m_lastTimeMs;
    if (elapsed <= 0)
        return;
    if (!m_measured && bytes <= m_lastBytes) {
        // Nothing has moved yet (a file task being prepared): no speed to tell of.
        m_lastTimeMs = timeMs;
        m_lastBytes = bytes;
        return;
    }
    // A restart from byte 0 is no negative speed.
    const double instant = double(qMax<qint64>(0, bytes - m_lastBytes)) * 1000.0 / double(elapsed);
    m_lastTimeMs = timeMs;
    m_lastBytes = bytes;
    if (!m_measured) {
        m_rate = instant;
        m_measured = true;
        return;
    }
    m_rate += kSmoothing * (instant - m_rate);
}

int TransferRateMeter::secondsLeft(qint64 remainingBytes, double rate)
{
    if (remainingBytes <= 0)
        return 0;
    if (rate < 1.0)
        return -1;
    const double seconds = std::ceil(double(remainingBytes) / rate);
    return seconds >= double(std::numeric_limits<int>::max()) ? -1 : int(seconds);
}
