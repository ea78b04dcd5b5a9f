#pragma once

#include <QString>
#include <QStringList>

// Collects every message of the debug stream while it exists (the lines the log file gets).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &text) const;
};
