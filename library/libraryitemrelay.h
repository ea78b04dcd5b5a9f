#pragma once

#include <QObject>

class LibraryItem;

// Passes on what the items of one library announce, so that the library listens with one
// connection per signal instead of seven per item: at many thousand items those connections
// cost more memory and start-up time than the items' own fields.
class LibraryItemRelay : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void filesInfoUpdated(LibraryItem *item);
    void rulesInfoUpdated(LibraryItem *item);
    void itemBadgeUpdated(LibraryItem *item);
    void downloadedDateUpdated(LibraryItem *item);
    void selectedForSyncChanged(LibraryItem *item);
    void anyFileUpdateAvailableChanged(bool available);
    void filesStateChanged();
};
