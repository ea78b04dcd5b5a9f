#include "folderscannertaskdata.h"

#include "downloads/libraryfile.h"

#include <QMap>
#include <QPointer>
#include <QSharedData>
#include <QVector>

namespace {

// Copies of the file's own values: implicitly shared, so recording one is cheap and reading
// it on the worker is safe while the file changes on the main thread.
struct FileValues {
    QString localDir;
    QString productFolder;
    QString fileName;
    QMap<QString, QDateTime> hashes;
    QDateTime recordedModified;
};

// Where a recorded file is found again on the main thread: the file itself, or, for a file
// still in saved form, its item and row, with the name that row must still carry.
struct FileSource {
    QPointer<LibraryFile> file;
    QPointer<FileOwner> item;
    int row = -1;
    QString serverFileName;
};

bool recordValues(const LibraryFile &file, QVector<FileValues> &into)
{
    FileValues values;
    values.hashes = file.hashes();
    if (values.hashes.isEmpty())
        return false;
    values.localDir = file.localDir();
    values.productFolder = file.productFolder();
    values.fileName = file.localFileName().isEmpty() ? file.serverFileName() : file.localFileName();
    values.recordedModified = file.localLastModified();
    into.append(std::move(values));
    return true;
}

} // namespace

class FolderScannerTaskDataPrivate : public QSharedData
{
public:
    QVector<FileValues> values;
    QVector<FileSource> files;
    QString folder;
};

FolderScannerTaskData::FolderScannerTaskData()
    : d(new FolderScannerTaskDataPrivate)
{
}

FolderScannerTaskData::FolderScannerTaskData(const QString &folder)
    : d(new FolderScannerTaskDataPrivate)
{
    d->folder = folder;
}

FolderScannerTaskData::FolderScannerTaskData(const FolderScannerTaskData &other) = default;
FolderScannerTaskData &FolderScannerTaskData::operator=(const FolderScannerTaskData &other) = default;
FolderScannerTaskData::~FolderScannerTaskData() = default;

void FolderScannerTaskData::addFile(LibraryFile *file)
{
    if (!file || !recordValues(*file, d->values))
        return;
    FileSource source;
    source.file = file;
    d->files.append(std::move(source));
}

void FolderScannerTaskData::addSavedFile(const LibraryFile &standIn, FileOwner *item, int row)
{
    if (!item || !recordValues(standIn, d->values))
        return;
    FileSource source;
    source.item = item;
    source.row = row;
    source.serverFileName = standIn.serverFileName();
    d->files.append(std::move(source));
}

void FolderScannerTaskData::reserve(int files)
{
    d->values.reserve(files);
    d->files.reserve(files);
}

bool FolderScannerTaskData::isEmpty() const
{
    return d->values.isEmpty();
}

QString FolderScannerTaskData::folder() const
{
    return d->folder;
}

void FolderScannerTaskData::setFolder(const QString &folder)
{
    // The file lists are shared, not copied, when this detaches.
    if (folder != d.constData()->folder)
        d->folder = folder;
}

int FolderScannerTaskData::fileCount() const
{
    return d->values.size();
}

QStringList FolderScannerTaskData::hashes(int index) const
{
    return index >= 0 && index < d->values.size() ? d->values.at(index).hashes.keys() : QStringList();
}

QString FolderScannerTaskData::downloadPath(int index) const
{
    if (index < 0 || index >= d->values.size())
        return QString();
    const FileValues &values = d->values.at(index);
    return values.localDir + QLatin1Char('/')
        + values.productFolder
        + QLatin1Char('/') + LibraryFile::sanitizeFileName(values.fileName);
}

QDateTime FolderScannerTaskData::recordedModified(int index) const
{
    return index >= 0 && index < d->values.size() ? d->values.at(index).recordedModified : QDateTime();
}

LibraryFile *FolderScannerTaskData::file(int index) const
{
    if (index < 0 || index >= d->files.size())
        return nullptr;
    const FileSource &source = d->files.at(index);
    if (!source.item)
        return source.file.data();
    // A refresh may have replaced the item's files since: only the same file at the same row.
    LibraryFile *file = source.item->fileAt(source.row);
    return file && file->serverFileName() == source.serverFileName ? file : nullptr;
}
