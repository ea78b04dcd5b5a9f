#pragma once

#include <QtGlobal>

// The speed and time left a running transfer, or a group of them, shows; set() reports which
// of the two changed, so that the owner signals only those.
struct TransferFigures
{
    enum Change { Rate = 1, TimeLeft = 2 };

    qint64 rate = 0;
    // Whole seconds; -1 when unknown.
    int secondsLeft = -1;

    int set(qint64 newRate, int newSecondsLeft)
    {
        const int changed = (newRate != rate ? Rate : 0) | (newSecondsLeft != secondsLeft ? TimeLeft : 0);
        rate = newRate;
        secondsLeft = newSecondsLeft;
        return changed;
    }
};
