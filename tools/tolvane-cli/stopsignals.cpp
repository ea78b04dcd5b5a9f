#include "stopsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};

const int kStopSignals[] = {SIGINT, SIGTERM};

void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    // Async-signal-safe; a full pipe already holds a request, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kStopSignals)
        sigaction(number, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::onReadable);
    setHandler(onSignal);
}

StopSignals::~StopSignals()
{
    if (g_pipe[0] == -1)
        return;
    setHandler(SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::onReadable()
{
    char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1)
        return;
    setHandler(SIG_DFL);
    m_notifier->setEnabled(false);
    emit stopRequested(int(byte));
}
