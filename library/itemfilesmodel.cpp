#include "itemfilesmodel.h"

#include "downloads/bytecount.h"
#include "downloads/fileactions.h"
#include "downloads/filesystemops.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "downloads/transferratemeter.h"
#include "downloads/transfertext.h"

#include <QDebug>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QSet>

namespace {

const int kServiceDateLength = 19;  // "yyyy-MM-ddThh:mm:ss", any zone suffix is ignored

// Sizes are 64-bit: product files of several gigabytes exist. Anything that is not a whole,
// non-negative JSON number (text included) reads as 0.
qint64 fileSize(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double size = value.toDouble();
    // 2^53: beyond it a double no longer holds every whole number exactly.
    if (size < 0 || size > 9007199254740992.0 || size != double(qint64(size)))
        return 0;
    return qint64(size);
}

// "yyyy-MM-ddThh:mm:ss" read by hand: the general format parser costs more than the rest of
// a product merge together, and refreshes carry every file of the library.
QDateTime serviceTime(const QString &text)
{
    if (text.size() < kServiceDateLength || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')
        || text.at(10) != QLatin1Char('T') || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return QDateTime();
    const auto number = [&text](int from, int length, bool *ok) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const QChar c = text.at(i);
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                *ok = false;
                return 0;
            }
            value = value * 10 + (c.unicode() - '0');
        }
        return value;
    };
    bool ok = true;
    const QDate date(number(0, 4, &ok), number(5, 2, &ok), number(8, 2, &ok));
    const QTime time(number(11, 2, &ok), number(14, 2, &ok), number(17, 2, &ok));
    if (!ok || !date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}

bool isDownloadedState(LibraryFile::Status status)
{
    return status == LibraryFile::Downloaded || status == LibraryFile::UpdateAvailable;
}

} // namespace

ItemFilesModel::ItemFilesModel(FileOwner *item, FileActions &actions)
    : QAbstractListModel(item)
    , m_item(item)
    , m_actions(actions)
{
}

void ItemFilesModel::rejoinQueue()
{
    for (LibraryFile *file : qAsConst(m_files)) {
        if (file->status() == LibraryFile::Queued)
            m_actions.rejoinQueue(file);
    }
}

ItemFilesModel::~ItemFilesModel()
{
    qDeleteAll(m_files);
    qDeleteAll(m_droppedFiles);
}

int ItemFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_files.size();
}

QVariant ItemFilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_files.size())
        return QVariant();
    LibraryFile *file = m_files.at(index.row());
    switch (role) {
    case ServerFileNameRole:
        return file->serverFileName();
    case LocalFileNameRole:
        return file->localFileName();
    case LocalDirRole:
        return file->localDir();
    case FileStatusRole:
        return int(file->status());
    case DownloadProgressRole:
        return file->downloadProgress();
    case FileObjectRole:
        return QVariant::fromValue(file);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ItemFilesModel::roleNames() const
{
    return {{ServerFileNameRole, "serverFileName"}, {LocalFileNameRole, "localFileName"},
            {LocalDirRole, "localDir"},             {FileStatusRole, "fileStatus"},
            {DownloadProgressRole, "downloadProgress"}, {FileObjectRole, "fileObject"}};
}

#define TOLVANE_FLAG_SETTER(setter, member, signal) \
    void ItemFilesModel::setter(bool on)            \
    {                                               \
        if (member == on)                           \
            return;                                 \
        member = on;                                \
        emit signal();                              \
    }

TOLVANE_FLAG_SETTER(setDownloadAllEnabled, m_downloadAllEnabled, downloadAllEnabledChanged)
TOLVANE_FLAG_SETTER(setOneFileDownloaded, m_oneFileDownloaded, oneFileDownloadedChanged)
TOLVANE_FLAG_SETTER(setAllFilesDownloaded, m_allFilesDownloaded, allFilesDownloadedChanged)
TOLVANE_FLAG_SETTER(setAnyFileIsDownloading, m_anyFileIsDownloading, anyFileIsDownloadingChanged)
TOLVANE_FLAG_SETTER(setAnyFileIsErrored, m_anyFileIsErrored, anyFileIsErroredChanged)
#undef TOLVANE_FLAG_SETTER

void ItemFilesModel::setAnyFilesDownloaded(bool on)
{
    if (m_anyFilesDownloaded == on)
        return;
    m_anyFilesDownloaded = on;
    emit anyFilesDownloadedChanged();
    if (on)
        m_item->stampDownloadedDate();
    else
        m_item->clearDownloadedDate();
}

void ItemFilesModel::setAnyFileUpdateAvailable(bool on)
{
    if (m_anyFileUpdateAvailable == on)
        return;
    m_anyFileUpdateAvailable = on;
    emit anyFileUpdateAvailableChanged(on);
    if (m_item)
        emit m_item->anyFileUpdateAvailableChanged(on);
}

void ItemFilesModel::setContentY(int contentY)
{
    if (m_contentY == contentY)
        return;
    m_contentY = contentY;
    emit contentYChanged(contentY);
}

float ItemFilesModel::totalDownloadProgress() const
{
    qint64 received = 0;
    qint64 total = 0;
    for (LibraryFile *file : m_files) {
        if (file->status() == LibraryFile::Downloading || file->status() == LibraryFile::Queued) {
            received = ByteCount::add(received, qMax<qint64>(0, file->downloadedSize()));
            total = ByteCount::add(total, qMax<qint64>(0, file->totalSize()));
        }
    }
    return total == 0 ? 0.0f : float(double(received) / double(total));
}

LibraryFile *ItemFilesModel::fileAt(int row) const
{
    return m_files.value(row);
}

void ItemFilesModel::addFile(LibraryFile *file)
{
    m_files.append(file);
    connect(file, &LibraryFile::statusChanged, this, &ItemFilesModel::onStatusChanged);
    connect(file, QOverload<LibraryFile *>::of(&LibraryFile::downloadProgress), this, &ItemFilesModel::onDownloadProgress);
    if (m_item)
        connect(file, &LibraryFile::savedStateChanged, m_item, &FileOwner::filesStateChanged);
    connect(file, &LibraryFile::transferRateChanged, this, &ItemFilesModel::recomputeTransfer);
    connect(file, &LibraryFile::timeLeftChanged, this, &ItemFilesModel::recomputeTransfer);
}

QString ItemFilesModel::transferText() const
{
    return TransferText::summary(m_transfer.rate, m_transfer.secondsLeft);
}

void ItemFilesModel::recomputeTransfer()
{
    qint64 rate = 0;
    qint64 remaining = 0;
    for (LibraryFile *file : qAsConst(m_files)) {
        const LibraryFile::Status status = file->status();
        if (status != LibraryFile::Downloading && status != LibraryFile::Queued)
            continue;
        rate = ByteCount::add(rate, file->transferRate());
        const qint64 size = qMax<qint64>(0, qMax(file->dlSize(), file->totalSize()));
        remaining = ByteCount::add(remaining, size - qBound<qint64>(0, file->downloadedSize(), size));
    }
    // The files that wait take their turn at the speed of those that run now.
    const int secondsLeft = rate > 0 ? TransferRateMeter::secondsLeft(remaining, double(rate)) : -1;
    const int changed = m_transfer.set(rate, secondsLeft);
    if (changed & TransferFigures::Rate)
        emit transferRateChanged();
    if (changed & TransferFigures::TimeLeft)
        emit timeLeftChanged();
    if (changed)
        emit transferTextChanged();
}

void ItemFilesModel::loadSavedFiles(const QJsonValue &value)
{
    beginResetModel();
    qDeleteAll(m_files);
    m_files.clear();

    const QJsonArray array = value.toArray();
    m_files.reserve(array.size());
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        if (object.isEmpty())
            continue;
        const QJsonValue name = object.value(QLatin1String("serverFileName"));
        if (name.isUndefined() || name.toVariant().toString().isEmpty())
            continue;
        auto *file = new LibraryFile(m_item, m_actions);
        file->fromJson(object);
        addFile(file);
    }

    recomputeFlags();
    for (LibraryFile *file : qAsConst(m_files)) {
        if (file->status() == LibraryFile::DownloadError) {
            m_lastError = file->errorMessage();
            emit lastErrorChanged();
            break;
        }
    }
    m_item->invalidateSearchText();
    endResetModel();
    emit countChanged();
}

void ItemFilesModel::mergeServiceFiles(const QJsonArray &files)
{
    beginResetModel();
    QHash<QString, LibraryFile *> byName;
    byName.reserve(m_files.size());
    // Files the service no longer lists; kept outside the files, as a mark on each would cost
    // an allocation per file for as long as the file lives.
    QSet<LibraryFile *> unlisted;
    unlisted.reserve(m_files.size());
    for (LibraryFile *file : qAsConst(m_files)) {
        unlisted.insert(file);
        // The first file of a name is the one a linear search would find.
        if (!byName.contains(file->serverFileName()))
            byName.insert(file->serverFileName(), file);
    }

    for (const QJsonValue &element : files) {
        const QJsonObject object = element.toObject();
        const QString name = LibraryFile::boundedText(object.value(QLatin1String("filename")).toString());
        if (name.isEmpty())
            continue;
        const QDateTime serverTime = serviceTime(object.value(QLatin1String("last_modified")).toString());
        const qint64 size = fileSize(object.value(QLatin1String("raw_filesize_bytes")));

        LibraryFile *file = byName.value(name);
        if (file) {
            if (file->lastModified() < serverTime && file->status() == LibraryFile::Downloaded)
                m_actions.markUpdateAvailable(file);
            else
                file->setLastModified(serverTime);
            unlisted.remove(file);
            file->setTotalSize(size);
        } else {
            file = new LibraryFile(m_item, m_actions);
            file->setServerFileName(name);
            file->setLastModified(serverTime);
            file->setTotalSize(size);
            addFile(file);
            byName.insert(name, file);
        }

        file->setBundleId(object.value(QLatin1String("bundle_id")).toVariant().toInt());
        const QJsonValue checksums = object.value(QLatin1String("checksums"));
        if (!checksums.isUndefined())
            file->updateChecksums(checksums.toArray());
    }

    for (int i = m_files.size() - 1; i >= 0 && !unlisted.isEmpty(); --i) {
        LibraryFile *file = m_files.at(i);
        if (!unlisted.remove(file))
            continue;
        m_files.removeAt(i);
        disconnect(file, nullptr, this, nullptr);
        m_droppedFiles.append(file);
    }

    recomputeFlags();
    m_item->invalidateSearchText();
    endResetModel();
    emit countChanged();
}

QJsonValue ItemFilesModel::toJson() const
{
    QJsonArray array;
    for (LibraryFile *file : m_files)
        array.append(file->toJson());
    return array;
}

qint64 ItemFilesModel::totalSize() const
{
    qint64 total = 0;
    for (LibraryFile *file : m_files)
        total = ByteCount::add(total, qMax<qint64>(0, file->totalSize()));
    return total;
}

qint64 ItemFilesModel::remainingBytes() const
{
    qint64 remaining = 0;
    for (LibraryFile *file : m_files) {
        if (file->status() != LibraryFile::Downloaded) {
            const qint64 size = qMax<qint64>(0, file->totalSize());
            // An update is fetched whole, whatever the old copy holds.
            const qint64 done = file->status() == LibraryFile::UpdateAvailable
                ? 0 : qBound<qint64>(0, file->downloadedSize(), size);
            remaining = ByteCount::add(remaining, size - done);
        }
    }
    return remaining;
}

void ItemFilesModel::collectFileHashes(FolderScannerTaskData &data) const
{
    for (LibraryFile *file : m_files)
        data.addFile(file);
}

void ItemFilesModel::downloadAll()
{
    // A copy: status changes may reach back into the list.
    const QList<LibraryFile *> files = m_files;
    for (LibraryFile *file : files) {
        const LibraryFile::Status status = file->status();
        if (status == LibraryFile::UpdateAvailable)
            file->updateDownload();
        else if (status != LibraryFile::Downloaded && status != LibraryFile::Downloading
                 && status != LibraryFile::Queued)
            m_actions.queue(file);
    }
}

int ItemFilesModel::forgetMissingCopies()
{
    int missing = 0;
    for (LibraryFile *file : qAsConst(m_files)) {
        if (file->status() != LibraryFile::Downloaded || QFileInfo(file->filePath()).isFile())
            continue;
        qDebug().nospace() << "INFO: ItemFilesModel: copy gone, to be downloaded again: " << file->filePath();
        m_actions.forgetCopy(file);
        ++missing;
    }
    return missing;
}

void ItemFilesModel::updateAll()
{
    const QList<LibraryFile *> files = m_files;
    for (LibraryFile *file : files) {
        if (file->status() == LibraryFile::UpdateAvailable)
            file->updateDownload();
    }
}

void ItemFilesModel::openOneFile()
{
    for (LibraryFile *file : qAsConst(m_files)) {
        if (isDownloadedState(file->status())) {
            file->openInDefaultViewer();
            return;
        }
    }
}

void ItemFilesModel::showInFolder()
{
    for (LibraryFile *file : qAsConst(m_files)) {
        if (isDownloadedState(file->status())) {
            FileSystemOps::showInFolder(QFileInfo(file->filePath()).absolutePath());
            return;
        }
    }
}

void ItemFilesModel::onStatusChanged(LibraryFile *file)
{
    recomputeFlags();
    recomputeTransfer();
    m_item->invalidateSearchText();
    m_item->refreshTitleBadge();
    if (file->status() == LibraryFile::DownloadError) {
        m_lastError = file->errorMessage();
        emit lastErrorChanged();
    }
    const int row = m_files.indexOf(file);
    if (row >= 0) {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {FileStatusRole, DownloadProgressRole});
    }
}

void ItemFilesModel::onDownloadProgress(LibraryFile *file)
{
    const int row = m_files.indexOf(file);
    if (row >= 0) {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {DownloadProgressRole});
    }
    emit totalDownloadingProgressChanged();
}

void ItemFilesModel::recomputeFlags()
{
    bool downloadAllEnabled = false;
    bool allDownloaded = true;
    bool anyDownloaded = false;
    bool anyDownloading = false;
    bool anyErrored = false;
    bool anyUpdate = false;
    int downloadedCount = 0;
    for (LibraryFile *file : qAsConst(m_files)) {
        const LibraryFile::Status status = file->status();
        if (status != LibraryFile::Downloaded && status != LibraryFile::Downloading
            && status != LibraryFile::Queued)
            downloadAllEnabled = true;
        if (isDownloadedState(status))
            ++downloadedCount;
        else
            allDownloaded = false;
        anyDownloaded = anyDownloaded || status == LibraryFile::Downloaded;
        anyDownloading = anyDownloading || status == LibraryFile::Downloading || status == LibraryFile::Queued;
        anyErrored = anyErrored || status == LibraryFile::DownloadError;
        anyUpdate = anyUpdate || status == LibraryFile::UpdateAvailable;
    }
    setDownloadAllEnabled(downloadAllEnabled);
    setAllFilesDownloaded(allDownloaded);
    setAnyFilesDownloaded(anyDownloaded);
    setAnyFileIsDownloading(anyDownloading);
    setAnyFileIsErrored(anyErrored);
    setAnyFileUpdateAvailable(anyUpdate);
    setOneFileDownloaded(downloadedCount == 1);
}
