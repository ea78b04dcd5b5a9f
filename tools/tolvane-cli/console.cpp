#include "console.h"

#include <cstdio>
#include <unistd.h>

Console::Console(bool showProgress)
    : m_showProgress(showProgress)
{
}

bool Console::outputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

void Console::line(const QString &text)
{
    clearProgress();
    std::fprintf(stdout, "%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

void Console::error(const QString &text)
{
    clearProgress();
    std::fprintf(stderr, "tolvane-cli: %s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

void Console::progress(const QString &text)
{
    if (!m_showProgress)
        return;
    // Back to the start of the line, the new text, then erase whatever the old one left over.
    std::fprintf(stdout, "\r%s\033[K", qUtf8Printable(text));
    std::fflush(stdout);
    m_progressShown = true;
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fprintf(stdout, "\r\033[K");
    std::fflush(stdout);
    m_progressShown = false;
}
