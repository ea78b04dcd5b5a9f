#include "folderscannertaskdata.h"

#include "downloads/libraryfile.h"

#include <QDir>
#include <QHash>
#include <QPointer>
#include <QSharedData>

class FolderScannerTaskDataPrivate : public QSharedData
{
public:
    // Only what must be read on the main thread is done here; the worker builds its indexes
    // from the tables, whose file pointers it never follows.
    QMultiHash<QString, LibraryFile *> filesByHash;
    QMap<QString, LibraryFile *> filesByPath;
    QHash<LibraryFile *, int> indexes;
    QVector<QPointer<LibraryFile>> files;
    QVector<QDateTime> recordedModified;
    QString folder;
};

FolderScannerTaskData::FolderScannerTaskData()
    : d(new FolderScannerTaskDataPrivate)
{
}

FolderScannerTaskData::FolderScannerTaskData(const QMultiHash<QString, LibraryFile *> &filesByHash,
                                             const QMap<QString, LibraryFile *> &filesByPath, const QString &folder)
    : d(new FolderScannerTaskDataPrivate)
{
    FolderScannerTaskDataPrivate *p = d.data();
    p->filesByHash = filesByHash;
    p->filesByPath = filesByPath;
    p->folder = folder;
    // A file without checksums can match nothing, so the files are those of the checksums.
    p->indexes.reserve(filesByPath.size());
    p->files.reserve(filesByPath.size());
    p->recordedModified.reserve(filesByPath.size());
    for (LibraryFile *file : filesByHash) {
        if (!file)
            continue;
        const int count = p->indexes.size();
        int &index = p->indexes[file];
        if (p->indexes.size() == count)
            continue;
        index = p->files.size();
        p->files.append(file);
        p->recordedModified.append(file->localLastModified());
    }
}

FolderScannerTaskData::FolderScannerTaskData(const FolderScannerTaskData &other) = default;
FolderScannerTaskData &FolderScannerTaskData::operator=(const FolderScannerTaskData &other) = default;
FolderScannerTaskData::~FolderScannerTaskData() = default;

bool FolderScannerTaskData::isEmpty() const
{
    return d->filesByHash.isEmpty();
}

QString FolderScannerTaskData::folder() const
{
    return d->folder;
}

void FolderScannerTaskData::setFolder(const QString &folder)
{
    if (folder != d.constData()->folder)
        d->folder = folder;
}

int FolderScannerTaskData::fileCount() const
{
    return d->files.size();
}

QVector<int> FolderScannerTaskData::filesWithHash(const QString &hash) const
{
    QVector<int> list;
    for (auto it = d->filesByHash.constFind(hash); it != d->filesByHash.cend() && it.key() == hash; ++it) {
        const int index = d->indexes.value(it.value(), -1);
        if (index >= 0 && !list.contains(index))
            list.append(index);
    }
    return list;
}

QHash<QString, int> FolderScannerTaskData::pathIndex() const
{
    QHash<QString, int> paths;
    paths.reserve(d->filesByPath.size());
    for (auto it = d->filesByPath.cbegin(); it != d->filesByPath.cend(); ++it) {
        const int index = d->indexes.value(it.value(), -1);
        if (index >= 0)
            paths.insert(QDir::cleanPath(it.key()), index);
    }
    return paths;
}

QDateTime FolderScannerTaskData::recordedModified(int index) const
{
    return d->recordedModified.value(index);
}

LibraryFile *FolderScannerTaskData::file(int index) const
{
    return index >= 0 && index < d->files.size() ? d->files.at(index).data() : nullptr;
}
