#pragma once

#include <QDateTime>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class FileOwner;
class LibraryFile;
class FolderScannerTaskDataPrivate;

// What a folder scan knows of the library. The main thread only copies each file's plain
// values, which costs a few reference counts; the worker derives the paths and the lookup
// tables from them and names files by index. Only the main thread turns an index back into
// a file, and gets null for a file deleted since.
class FolderScannerTaskData
{
public:
    FolderScannerTaskData();
    explicit FolderScannerTaskData(const QString &folder);
    FolderScannerTaskData(const FolderScannerTaskData &other);
    FolderScannerTaskData &operator=(const FolderScannerTaskData &other);
    ~FolderScannerTaskData();

    // Main thread. Records the file as it is now; a file without checksums can match nothing
    // and is left out.
    void addFile(LibraryFile *file);
    // A file its item still keeps in saved form: `standIn` is made from the saved values, and
    // the item's files are made only when a match reaches row `row`.
    void addSavedFile(const LibraryFile &standIn, FileOwner *item, int row);
    void reserve(int files);

    // True when no file has a checksum: a scan would find nothing.
    bool isEmpty() const;
    QString folder() const;
    void setFolder(const QString &folder);

    // Any thread, from the values recorded by addFile().
    int fileCount() const;
    QStringList hashes(int index) const;
    // Where the file would be downloaded to, as the file itself builds it.
    QString downloadPath(int index) const;
    QDateTime recordedModified(int index) const;

    // Main thread only; null once the file is gone. A file recorded from its saved form is
    // made here, with the rest of its item's files.
    LibraryFile *file(int index) const;

private:
    QSharedDataPointer<FolderScannerTaskDataPrivate> d;
};
