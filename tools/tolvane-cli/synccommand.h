#pragma once

#include "library/onlinelibrary.h"
#include "syncprogress.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

class CliServices;
class DownloadManager;
class Console;
class LibraryFile;
class StopSignals;

// `sync --dir DIR`: refreshes the library, fetches every file that is not in DIR yet and every
// update, in the configured number of slots, resuming what an earlier run left partly done. It
// keeps a saved library of its own beside the program's, so a later run fetches only what is
// new. The caller holds the profile's guard for the whole run.
class SyncCommand : public QObject
{
    Q_OBJECT
public:
    // The saved library's name: beside the program's "library", never the same file.
    static QString storeName();
    static constexpr int kProgressIntervalMs = 500;
    // How often the guard is checked for a start of the program that was turned away.
    static constexpr int kGuardPollMs = 1000;

    SyncCommand(CliServices *services, Console *console, StopSignals *stopSignals, const QString &dir,
                QObject *parent = nullptr);
    ~SyncCommand() override;

    // Runs the event loop until the sync has ended and returns the exit code.
    int run();

    // Where a file of the library lies below the library folder, "/" separated.
    static QString relativePath(const LibraryFile *file);
    // Brings what the saved library says of a file in line with the library folder `dir`.
    static void matchToDisk(LibraryFile *file, const QString &dir, DownloadManager &manager);

private:
    void onRefreshFinished(bool success);
    void reconcileWithDisk();
    bool checkFreeSpace();
    void queueDownloads();
    void watch(LibraryFile *file);
    void report(LibraryFile *file);
    void finishIfSettled();
    void finish();
    void stop(int signalNumber);
    void end(int exitCode);
    // Saves the library now; false, said on the console, when the old store stayed.
    bool saveLibrary();
    void showProgress();
    qint64 bytesDone() const;
    template<typename Function>
    void forEachFile(Function function) const;

    CliServices *const m_services;
    Console *const m_console;
    const QString m_dir;
    OnlineLibrary m_library;
    // Why the last save of the library failed; empty once one succeeds.
    QString m_saveError;
    bool m_queued = false;
    bool m_ended = false;
    int m_exitCode = 0;
    int m_alreadyPresent = 0;
    // The files this run set out to fetch, with what each had on disk when it began.
    QList<QPointer<LibraryFile>> m_toFetch;
    qint64 m_bytesAtStart = 0;
    QSet<LibraryFile *> m_reportedDone;
    QHash<LibraryFile *, QString> m_reportedFailed;
    QSet<LibraryFile *> m_watched;
    QElapsedTimer m_clock;
    SyncProgress m_progress;
    QTimer m_progressTimer;
    QTimer m_guardTimer;
};
