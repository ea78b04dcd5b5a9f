#include "folderscannertaskdata.h"

#include "downloads/libraryfile.h"

#include <QDir>
#include <QHash>
#include <QPointer>
#include <QSharedData>

class FolderScannerTaskDataPrivate : public QSharedData
{
public:
    QVector<QPointer<LibraryFile>> files;
    QVector<QDateTime> recordedModified;
    QHash<QString, QVector<int>> byHash;
    QHash<QString, int> byPath;
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
    QHash<LibraryFile *, int> indexes;
    indexes.reserve(filesByPath.size());
    d->files.reserve(filesByPath.size());
    d->recordedModified.reserve(filesByPath.size());
    auto indexOf = [&](LibraryFile *file) {
        auto it = indexes.find(file);
        if (it != indexes.end())
            return *it;
        const int index = d->files.size();
        d->files.append(file);
        d->recordedModified.append(file->localLastModified());
        indexes.insert(file, index);
        return index;
    };

    d->byPath.reserve(filesByPath.size());
    for (auto it = filesByPath.constBegin(); it != filesByPath.constEnd(); ++it) {
        if (it.value())
            d->byPath.insert(QDir::cleanPath(it.key()), indexOf(it.value()));
    }
    d->byHash.reserve(filesByHash.size());
    for (auto it = filesByHash.constBegin(); it != filesByHash.constEnd(); ++it) {
        if (!it.value() || it.key().isEmpty())
            continue;
        QVector<int> &list = d->byHash[it.key()];
        const int index = indexOf(it.value());
        if (!list.contains(index))
            list.append(index);
    }
    d->folder = folder;
}

FolderScannerTaskData::FolderScannerTaskData(const FolderScannerTaskData &other) = default;
FolderScannerTaskData &FolderScannerTaskData::operator=(const FolderScannerTaskData &other) = default;
FolderScannerTaskData::~FolderScannerTaskData() = default;

bool FolderScannerTaskData::isEmpty() const
{
    return d->byHash.isEmpty();
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
    return d->byHash.value(hash);
}

int FolderScannerTaskData::fileAtPath(const QString &path) const
{
    return d->byPath.value(path, -1);
}

QDateTime FolderScannerTaskData::recordedModified(int index) const
{
    return d->recordedModified.value(index);
}

LibraryFile *FolderScannerTaskData::file(int index) const
{
    return index >= 0 && index < d->files.size() ? d->files.at(index).data() : nullptr;
}
