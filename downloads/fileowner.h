#pragma once

#include <QObject>
#include <QString>

class LibraryFile;

// The product files belong to, as the files and the list of them see it. The library's items
// are the owners; the download side reads their values and tells them what happened.
class FileOwner : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString title() const = 0;
    virtual QString publisher() const = 0;
    virtual QString productId() const = 0;
    virtual QString datePurchased() const = 0;
    virtual QString productFolder() const = 0;
    // The file at a row of the owner's files, made from its saved form if need be; null past
    // the end.
    virtual LibraryFile *fileAt(int row) const = 0;

    // One of its files joined the download queue: the product's news has been seen.
    virtual void fileQueued() = 0;
    // Asks the service for fresh product details.
    virtual void requestTitleInfo() = 0;
    // Some file is downloaded now, or none is any more.
    virtual void stampDownloadedDate() = 0;
    virtual void clearDownloadedDate() = 0;
    // The files' names or statuses changed, and with them what a search finds.
    virtual void invalidateSearchText() = 0;
    virtual void refreshTitleBadge() = 0;

signals:
    // Whether any file has an update changed. Declared here, early in the signal list: a
    // connection to a signal far down it costs every sender a sizeable table.
    void anyFileUpdateAvailableChanged(bool available);
    // A file's saved state (status, local path, resume point) changed.
    void filesStateChanged();
};
