#include "transfertext.h"

#include <QLocale>

namespace {

constexpr double kKiB = 1024.0;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

// Whole numbers, with one decimal below ten where a unit is coarse; the default locale's
// decimal mark without digit grouping, as the free-space question writes sizes.
QString amount(double value, bool decimal)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimal && value < 9.95 ? 1 : 0);
}

} // namespace

QString TransferText::size(qint64 bytes)
{
    const double value = double(qMax<qint64>(0, bytes));
    if (value < kKiB)
        return tr("%1 B").arg(amount(value, false));
    if (value < kMiB)
        return tr("%1 kB").arg(amount(value / kKiB, false));
    if (value < kGiB)
        return tr("%1 MB").arg(amount(value / kMiB, true));
    return tr("%1 GB").arg(amount(value / kGiB, true));
}

QString TransferText::rate(qint64 bytesPerSecond)
{
    return tr("%1/s").arg(size(bytesPerSecond));
}

QString TransferText::timeLeft(int seconds)
{
    if (seconds < 0)
        return QString();
    if (seconds < 60)
        return tr("%1 s left").arg(seconds);
    // Rounded up: "1 min left" while anything of it remains.
    const int minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return tr("%1 min left").arg(minutes);
    return tr("%1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

QString TransferText::summary(qint64 bytesPerSecond, int secondsLeft)
{
    if (bytesPerSecond <= 0)
        return QString();
    if (secondsLeft < 0)
        return rate(bytesPerSecond);
    return tr("%1, %2").arg(rate(bytesPerSecond), timeLeft(secondsLeft));
}
