#pragma once

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QRecursiveMutex>
#include <QPair>
#include <QString>
#include <QVector>

#include <functional>

// The process-wide daily log file in the application data directory.
class Logger : public QFile
{
public:
    using EnabledPredicate = std::function<bool()>;
    using Clock = std::function<QDateTime()>;

    static Logger &instance();

    // Opens the log: until then lines are held, and written now if logging is enabled.
    void setEnabledPredicate(EnabledPredicate predicate);
    void write(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void removeOldLogs();

    static QString logFilePath(const QDate &date);

    // Lets tests move "now" (the file name, the month rule and the change of day all follow it).
    static void setClock(Clock clock);

private:
    Logger();
    static QDateTime now();
    void writeLine(const QDateTime &time, const QString &message);

    // Lines that arrived before the program said whether it logs (the library load, mostly).
    static constexpr int kMaxHeldLines = 2000;
    QVector<QPair<QDateTime, QString>> m_held;
    bool m_opened = false;

    QDate m_currentDate;
    EnabledPredicate m_enabledPredicate;
    // Recursive because deleting an old log file logs a line through the same logger.
    QRecursiveMutex m_mutex;
};

// Installed with qInstallMessageHandler: console output, then the log file.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
