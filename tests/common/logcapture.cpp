#include "logcapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&g_mutex);
        g_lines.append(message);
    }
    // Test framework messages still reach the console.
    if (type != QtDebugMsg && g_previous)
        g_previous(type, context, message);
}

} // namespace

LogCapture::LogCapture()
{
    {
        QMutexLocker lock(&g_mutex);
        g_lines.clear();
    }
    g_previous = qInstallMessageHandler(capture);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previous);
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&g_mutex);
    return g_lines;
}

bool LogCapture::contains(const QString &text) const
{
    return !lines().filter(text).isEmpty();
}
