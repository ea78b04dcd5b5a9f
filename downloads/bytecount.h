#pragma once

#include <QtGlobal>

#include <limits>

// Byte totals over many files: each size is bounded, their sum need not be.
namespace ByteCount {

// a + b, held at the largest (or smallest) qint64 instead of overflowing.
inline qint64 add(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// The bytes a fraction of size stands for; a fraction that is not a number or lies outside
// 0 to 1 is held to that range.
inline qint64 fraction(double part, qint64 size)
{
    if (!(part > 0.0) || size <= 0)
        return 0;
    if (part >= 1.0)
        return size;
    return qBound(qint64(0), qint64(part * double(size)), size);
}

} // namespace ByteCount
