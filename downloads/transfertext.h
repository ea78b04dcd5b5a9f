#pragma once

#include <QCoreApplication>
#include <QString>

// Sizes, speeds and times left as a view shows them, in the units of the free-space question.
class TransferText
{
    Q_DECLARE_TR_FUNCTIONS(TransferText)

public:
    static QString size(qint64 bytes);
    static QString rate(qint64 bytesPerSecond);
    static QString timeLeft(int seconds);
    // "1.5 MB/s, 3 min left"; empty while nothing is measured.
    static QString summary(qint64 bytesPerSecond, int secondsLeft);
};
