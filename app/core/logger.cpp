#include "logger.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegExp>
#include <QStandardPaths>

#include <atomic>
#include <cstdio>
#include <utility>

namespace {

Logger::Clock &clockOverride()
{
    static Logger::Clock clock;
    return clock;
}

QString appDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

// The date part of "...app-log-yyyy-MM-dd.txt": ten characters ending four before the end.
const int kDateOffsetFromEnd = 14;
const int kDateLength = 10;

// A pipe in the log's place would block the first line for ever; such a log is not written.
bool mayOpen(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true;
    static bool warned = false;
    if (!std::exchange(warned, true))
        std::fprintf(stderr, "WARNING: Logger: %s is not a regular file; not logging to it\n",
                     QFile::encodeName(path).constData());
    return false;
}

} // namespace

Logger::Logger()
    : m_currentDate(now().date())
{
    setFileName(logFilePath(m_currentDate));
}

Logger &Logger::instance()
{
    // Never destroyed: messages may arrive during static destruction.
    static Logger *logger = new Logger;
    // Outside the static initialiser, because the removal logs through this very logger.
    static std::atomic<bool> cleaned{false};
    if (!cleaned.exchange(true))
        logger->removeOldLogs();
    return *logger;
}

void Logger::setClock(Clock clock)
{
    clockOverride() = std::move(clock);
}

QDateTime Logger::now()
{
    const Clock &clock = clockOverride();
    return clock ? clock() : QDateTime::currentDateTime();
}

QString Logger::logFilePath(const QDate &date)
{
    return appDataDir() + QStringLiteral("/app-log-") + date.toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".txt");
}

void Logger::setEnabledPredicate(EnabledPredicate predicate)
{
    QMutexLocker lock(&m_mutex);
    m_enabledPredicate = std::move(predicate);
    if (m_opened)
        return;
    m_opened = true;
    const QVector<QPair<QDateTime, QString>> held = std::move(m_held);
    m_held.clear();
    if (m_enabledPredicate && !m_enabledPredicate())
        return;
    for (const auto &line : held)
        writeLine(line.first, line.second);
}

void Logger::write(QtMsgType, const QMessageLogContext &, const QString &message)
{
    QMutexLocker lock(&m_mutex);
    if (!m_opened) {
        if (m_held.size() < kMaxHeldLines)
            m_held.append({now(), message});
        return;
    }
    if (m_enabledPredicate && !m_enabledPredicate())
        return;
    writeLine(now(), message);
}

void Logger::writeLine(const QDateTime &current, const QString &message)
{
    if (!isOpen()) {
        const bool created = !exists();
        if (!mayOpen(fileName()) || !open(QIODevice::Append))
            return;
        if (created)
            setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (current.date() != m_currentDate) {
        m_currentDate = current.date();
        close();
        setFileName(logFilePath(m_currentDate));
        const bool created = !exists();
        if (mayOpen(fileName()) && open(QIODevice::Append) && created)
            setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        removeOldLogs();
        if (!isOpen())
            return;
    }

    const QString line = current.time().toString(QStringLiteral("hh:mm:ss.zzz ")) + message
        + QStringLiteral("\r\n");
    QFile::write(line.toUtf8());
    flush();
}

void Logger::removeOldLogs()
{
    QMutexLocker lock(&m_mutex);
    const QString dir = appDataDir();
    const QDate today = now().date();
    const QRegExp pattern(QStringLiteral("*app-log-*.txt"), Qt::CaseSensitive, QRegExp::Wildcard);

    QDirIterator it(dir, QDir::Files | QDir::NoSymLinks);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!pattern.exactMatch(path))
            continue;
        const QDate date = QDate::fromString(path.mid(path.size() - kDateOffsetFromEnd, kDateLength),
                                             QStringLiteral("yyyy-MM-dd"));
        if (date.isValid() && today <= date.addMonths(1))
            continue;
        qDebug().nospace() << "INFO: " << "Logger: Removing old log file: " << path;
        QFile::remove(path);
    }

    QFile::remove(dir + QStringLiteral("/app_log.txt"));
    QFile::remove(dir + QStringLiteral("/app_log.txt.bak"));
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    switch (type) {
    case QtDebugMsg:
    case QtWarningMsg:
    case QtInfoMsg:
        std::fprintf(stdout, "%s\n", message.toLocal8Bit().constData());
        std::fflush(stdout);
        break;
    case QtCriticalMsg:
    case QtFatalMsg:
        std::fprintf(stderr, "%s (%s:%u, %s)\n", message.toLocal8Bit().constData(),
                     context.file ? context.file : "", static_cast<unsigned>(context.line),
                     context.function ? context.function : "");
        std::fflush(stderr);
        break;
    }
    Logger::instance().write(type, context, message);
}
