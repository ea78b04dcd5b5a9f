// Placeholder until the library model lands.
#include "onlinelibrary.h"

#include "libraryitem.h"

OnlineLibrary::OnlineLibrary(QObject *parent) : QAbstractListModel(parent) {}
OnlineLibrary::~OnlineLibrary() = default;
int OnlineLibrary::rowCount(const QModelIndex &) const { return m_items.size(); }
QVariant OnlineLibrary::data(const QModelIndex &, int) const { return QVariant(); }
bool OnlineLibrary::setData(const QModelIndex &, const QVariant &, int) { return true; }
QHash<int, QByteArray> OnlineLibrary::roleNames() const { return {}; }
void OnlineLibrary::setNoneSelected(bool none) { m_noneSelected = none; }
void OnlineLibrary::clear() {}
void OnlineLibrary::setBinaryStore(bool binary) { m_binaryStore = binary; }
QString OnlineLibrary::storePath() const { return QString(); }
LibraryItem *OnlineLibrary::itemAt(int row) const { return m_items.value(row).data(); }
bool OnlineLibrary::anyFileDownloadedAt(int) const { return false; }
bool OnlineLibrary::anyFileNotDownloadedAt(int) const { return false; }
bool OnlineLibrary::anyFileUpdateAvailableAt(int) const { return false; }
qint64 OnlineLibrary::remainingBytes() const { return 0; }
qint64 OnlineLibrary::remainingBytesSelected() const { return 0; }
void OnlineLibrary::collectFileHashes(QMultiHash<QString, LibraryFile *> &, QMap<QString, LibraryFile *> &) const {}
int OnlineLibrary::filesCount(int) const { return 0; }
void OnlineLibrary::selectAll() {}
int OnlineLibrary::indexByLibraryItem(const LibraryItem *item) const { return m_rowIndex.value(item, -1); }
QVariant OnlineLibrary::get(int, QByteArray) const { return QVariant(); }
void OnlineLibrary::downloadAll() {}
void OnlineLibrary::downloadSelected() {}
void OnlineLibrary::deselectAll() {}
void OnlineLibrary::onUpdatedItemsChanged(bool) {}
void OnlineLibrary::onTitlesRefreshResult(int, QJsonArray) {}
void OnlineLibrary::onTitlesRefreshFinished() {}
void OnlineLibrary::save() {}
void OnlineLibrary::load() {}
