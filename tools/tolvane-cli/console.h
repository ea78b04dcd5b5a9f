#pragma once

#include <QString>

// The tool's terminal: result lines on standard output, errors on standard error, and, when
// enabled, one progress line that each of them clears before it writes.
class Console
{
public:
    explicit Console(bool showProgress);

    bool showsProgress() const { return m_showProgress; }
    void line(const QString &text);
    void error(const QString &text);
    // Replaces the progress line; nothing when progress is not shown.
    void progress(const QString &text);
    void clearProgress();

    // Standard output is a terminal, where a line rewritten in place makes sense.
    static bool outputIsTerminal();

private:
    bool m_showProgress;
    bool m_progressShown = false;
};
