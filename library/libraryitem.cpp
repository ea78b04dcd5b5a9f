// Placeholder until the library model lands.
#include "libraryitem.h"

#include "itemfilesmodel.h"

LibraryItem::LibraryItem(QObject *parent) : QObject(parent), m_filesModel(new ItemFilesModel(this)) {}
LibraryItem::~LibraryItem() = default;
void LibraryItem::setTitleBadge(LibraryItemBadge::Badge badge) { m_titleBadge = badge; }
void LibraryItem::setSelectedForSync(bool selected) { if (selected != m_selectedForSync) { m_selectedForSync = selected; emit selectedForSyncChanged(); } }
void LibraryItem::refreshTitleBadge() {}
void LibraryItem::setRulesInfo(bool, QJsonValue) {}
void LibraryItem::requestTitleInfo() {}
void LibraryItem::fromJson(const QJsonValue &) {}
QJsonValue LibraryItem::toJson() const { return QJsonValue(); }
void LibraryItem::stampDownloadedDate() {}
void LibraryItem::clearDownloadedDate() {}
QString LibraryItem::displayDownloadedDate() const { return QString(); }
QString LibraryItem::displayLastModified() const { return QString(); }
void LibraryItem::downloadAllFiles() {}
void LibraryItem::updateAllFiles() {}
void LibraryItem::openOneFile() {}
void LibraryItem::setFilesInfo(bool, QJsonValue) {}
