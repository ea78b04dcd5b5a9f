#pragma once

#include "library/libraryerrortype.h"

#include <QString>

class DownloadManager;
class LibraryFile;
class OnlineLibrary;
class QNetworkAccessManager;
class RemoteAPI;
class Settings;

// What the library objects need of the application controller. The controller installs itself
// as the one instance; tests install their own so that the objects run without a window.
// Any accessor may return null while the object it names does not exist.
class ApplicationServices
{
public:
    virtual ~ApplicationServices();

    static ApplicationServices *instance();
    // The installed instance's objects, or null when there is no instance.
    static QNetworkAccessManager *currentNetworkAccessManager();
    static RemoteAPI *currentRemoteAPI();
    static Settings *currentSettings();
    static DownloadManager *currentDownloadManager();

    virtual QNetworkAccessManager *networkAccessManager() const = 0;
    virtual RemoteAPI *remoteAPI() const = 0;
    virtual Settings *settings() const = 0;
    virtual DownloadManager *downloadManager() const = 0;
    virtual OnlineLibrary *onlineLibrary() const = 0;
    virtual bool isSyncing() const = 0;

    virtual void notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index) = 0;
    virtual void askUpdateFile(LibraryFile *file) = 0;
    virtual void askDeleteFile(LibraryFile *file) = 0;
    virtual void saveModelDelayed() = 0;

protected:
    ApplicationServices();
};
