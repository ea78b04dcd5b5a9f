#include "syncprogress.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("tolvane-cli", text);
}

} // namespace

void SyncProgress::addSample(qint64 msecs, qint64 bytesDone)
{
    m_samples.append({msecs, bytesDone});
    // One sample older than the window stays: it gives the rate its full span.
    while (m_samples.size() > 2 && m_samples.at(1).first <= msecs - kWindowMs)
        m_samples.removeFirst();
}

double SyncProgress::rate() const
{
    if (m_samples.size() < 2)
        return -1.0;
    const auto &first = m_samples.first();
    const auto &last = m_samples.last();
    const qint64 span = last.first - first.first;
    if (span <= 0)
        return -1.0;
    return double(qMax<qint64>(0, last.second - first.second)) * 1000.0 / double(span);
}

qint64 SyncProgress::secondsLeft(qint64 remaining) const
{
    const double bytesPerSecond = rate();
    if (remaining <= 0)
        return 0;
    if (!(bytesPerSecond > 0.0))
        return -1;
    return qint64(std::ceil(double(remaining) / bytesPerSecond));
}

QString SyncProgress::line(qint64 done, qint64 total, int running, int waiting) const
{
    const int percent = total > 0 ? int(qBound<qint64>(0, done * 100 / total, 100)) : 0;
    const double bytesPerSecond = rate();
    const QString rateText = bytesPerSecond < 0 ? tr("-- B/s") : tr("%1/s").arg(bytesText(qint64(bytesPerSecond)));
    const qint64 left = secondsLeft(total - done);
    const QString leftText = left < 0 ? tr("--:-- left") : tr("%1 left").arg(durationText(left));
    return tr("%1% %2 of %3, %4, %5, %6 running, %7 waiting")
        .arg(percent, 3)
        .arg(bytesText(done), bytesText(total), rateText, leftText)
        .arg(running)
        .arg(waiting);
}

QString SyncProgress::bytesText(qint64 bytes)
{
    if (bytes < 1024)
        return tr("%1 B").arg(qMax<qint64>(0, bytes));
    const double kib = double(bytes) / 1024.0;
    if (kib < 1024.0)
        return tr("%1 kB").arg(kib, 0, 'f', 1);
    const double mib = kib / 1024.0;
    if (mib < 1024.0)
        return tr("%1 MB").arg(mib, 0, 'f', 1);
    return tr("%1 GB").arg(mib / 1024.0, 0, 'f', 1);
}

QString SyncProgress::durationText(qint64 seconds)
{
    seconds = qMax<qint64>(0, seconds);
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    const qint64 secs = seconds % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(secs, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(secs, 2, 10, QLatin1Char('0'));
}
