// Placeholder until the library model lands.
#include "itemfilesmodel.h"

#include "downloads/libraryfile.h"
#include "libraryitem.h"

ItemFilesModel::ItemFilesModel(LibraryItem *item) : QAbstractListModel(item), m_item(item) {}
ItemFilesModel::~ItemFilesModel() { qDeleteAll(m_files); }
int ItemFilesModel::rowCount(const QModelIndex &) const { return m_files.size(); }
QVariant ItemFilesModel::data(const QModelIndex &, int) const { return QVariant(); }
QHash<int, QByteArray> ItemFilesModel::roleNames() const { return {}; }
void ItemFilesModel::setDownloadAllEnabled(bool on) { m_downloadAllEnabled = on; }
void ItemFilesModel::setOneFileDownloaded(bool on) { m_oneFileDownloaded = on; }
void ItemFilesModel::setAllFilesDownloaded(bool on) { m_allFilesDownloaded = on; }
void ItemFilesModel::setAnyFilesDownloaded(bool on) { m_anyFilesDownloaded = on; }
void ItemFilesModel::setAnyFileIsDownloading(bool on) { m_anyFileIsDownloading = on; }
void ItemFilesModel::setAnyFileIsErrored(bool on) { m_anyFileIsErrored = on; }
void ItemFilesModel::setAnyFileUpdateAvailable(bool on) { m_anyFileUpdateAvailable = on; }
void ItemFilesModel::setContentY(int contentY) { m_contentY = contentY; }
float ItemFilesModel::totalDownloadProgress() const { return 0.0f; }
LibraryFile *ItemFilesModel::fileAt(int row) const { return m_files.value(row); }
void ItemFilesModel::loadSavedFiles(const QJsonValue &) {}
void ItemFilesModel::mergeServiceFiles(const QJsonArray &) {}
QJsonValue ItemFilesModel::toJson() const { return QJsonArray(); }
qint64 ItemFilesModel::totalSize() const { return 0; }
qint64 ItemFilesModel::remainingBytes() const { return 0; }
void ItemFilesModel::collectFileHashes(QMultiHash<QString, LibraryFile *> &, QMap<QString, LibraryFile *> &) const {}
void ItemFilesModel::downloadAll() {}
void ItemFilesModel::updateAll() {}
void ItemFilesModel::openOneFile() {}
void ItemFilesModel::onStatusChanged(LibraryFile *) {}
void ItemFilesModel::onDownloadProgress(LibraryFile *) {}
void ItemFilesModel::recomputeFlags() {}
