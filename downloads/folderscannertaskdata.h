#pragma once

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QMultiHash>
#include <QSharedDataPointer>
#include <QString>
#include <QVector>

class LibraryFile;
class FolderScannerTaskDataPrivate;

// What a folder scan knows of the library, read on the main thread when the scan is set up.
// The worker looks files up by checksum and by path and names them by index; only the main
// thread turns an index back into a file, and gets null for a file deleted since.
class FolderScannerTaskData
{
public:
    FolderScannerTaskData();
    // filesByHash: every checksum of every file that has checksums; filesByPath: each such
    // file's download path.
    FolderScannerTaskData(const QMultiHash<QString, LibraryFile *> &filesByHash,
                          const QMap<QString, LibraryFile *> &filesByPath, const QString &folder = QString());
    FolderScannerTaskData(const FolderScannerTaskData &other);
    FolderScannerTaskData &operator=(const FolderScannerTaskData &other);
    ~FolderScannerTaskData();

    // True when no file has a checksum: a scan would find nothing.
    bool isEmpty() const;
    QString folder() const;
    void setFolder(const QString &folder);

    int fileCount() const;
    // Indexes of the files that list this checksum, in no particular order.
    QVector<int> filesWithHash(const QString &hash) const;
    // Cleaned download path -> index of the file; built where it is used (the worker).
    QHash<QString, int> pathIndex() const;
    // The file's localLastModified as it was when the data was made.
    QDateTime recordedModified(int index) const;

    // Main thread only; null once the file is gone.
    LibraryFile *file(int index) const;

private:
    QSharedDataPointer<FolderScannerTaskDataPrivate> d;
};
