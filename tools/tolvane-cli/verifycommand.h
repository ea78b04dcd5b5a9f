#pragma once

#include "downloads/libraryverifier.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class Console;
class StopSignals;

// `verify --dir DIR [--md5sums FILE] [--full]`: hashes every file that the tool's saved library
// records as present in DIR and compares it with the service's checksums, reporting each as
// good, changed or missing. A file whose size and modification time are those it had when it
// was last hashed is taken from the cache unless full is set. The md5sums file lists what each
// file should hash to, with paths relative to DIR, in the form `md5sum -c` reads.
class VerifyCommand : public QObject
{
    Q_OBJECT
public:
    static QString cacheName();

    VerifyCommand(Console *console, StopSignals *stopSignals, const QString &dir, const QString &md5sumsPath,
                  bool full, QObject *parent = nullptr);
    ~VerifyCommand() override;

    // Runs the event loop until every file is checked and returns the exit code.
    int run();

    // One line of an md5sums file, with the escaping GNU md5sum applies to unusual names.
    static QString md5sumsLine(const QString &digest, const QString &relativePath);

private:
    struct Entry {
        QString relativePath;
        LibraryVerifier::Entry check;
    };

    bool loadRecordedFiles();
    void onProgressed(const LibraryVerifier::Progress &progress);
    void onChecked(int index, const LibraryVerifier::Entry &entry);
    void onFinished(const QVector<LibraryVerifier::Entry> &entries, bool cancelled, bool cacheSaved);
    QString expectedDigest(const Entry &entry) const;
    bool writeMd5sums() const;
    void stop(int signalNumber);

    Console *const m_console;
    const QString m_dir;
    const QString m_md5sumsPath;
    const bool m_full;
    LibraryVerifier m_verifier;
    QVector<Entry> m_entries;
    int m_exitCode = 0;
    int m_stopSignal = 0;
};
