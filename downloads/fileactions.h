#pragma once

#include "app/core/settings.h"

#include <QString>
#include <QStringList>

#include <functional>

class LibraryFile;
class QJsonValue;
class QObject;

// What a file and its product act through: the download manager for every change of a
// file's status, the errors list, the questions to the user, the settings they read and the
// service for fresh product details. Given once, at construction, and never missing: the
// program's owner hands out the real one, stand-ins and tests an idle one.
class FileActions
{
public:
    virtual ~FileActions() = default;

    // Transfers, as the user asks for them.
    virtual void queue(LibraryFile *file) = 0;
    virtual void pause(LibraryFile *file) = 0;
    virtual void cancel(LibraryFile *file) = 0;
    // The copy the file names is not there.
    virtual void fail(LibraryFile *file) = 0;
    // A file saved while queued takes its place in the queue again.
    virtual void rejoinQueue(LibraryFile *file) = 0;

    // What is known of the copy changed: the service has a newer version, a scan found the
    // copy, or the copy is gone.
    virtual void markUpdateAvailable(LibraryFile *file) = 0;
    virtual void markFound(LibraryFile *file) = 0;
    virtual void forgetCopy(LibraryFile *file) = 0;

    // Failures that are not transfers (a delete, a rename) for the errors list.
    virtual void reportError(LibraryFile *file, const QString &message) = 0;
    virtual void askUpdateFile(LibraryFile *file) = 0;
    virtual void askDeleteFile(LibraryFile *file) = 0;

    // While a sync runs, files do not ask the service for fresh product details.
    virtual bool isSyncing() const = 0;
    // done is called with the service's answer unless receiver is gone first.
    virtual void requestTitleInfo(const QString &productId, QObject *receiver,
                                  std::function<void(bool, const QJsonValue &)> done) = 0;

    virtual Settings::UpdateBookPolicy updateBookPolicy() const = 0;
    virtual bool confirmsDelete() const = 0;
    virtual bool deletesPermanently() const = 0;
    // The folders the customer chose for the library: only what lies below them is deleted.
    virtual QStringList libraryFolders() const = 0;
    virtual void addLibraryFolder(const QString &dir) = 0;
};
