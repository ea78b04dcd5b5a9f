#include "testservices.h"

#include "api/remoteapi.h"
#include "app/settings.h"
#include "downloads/downloadmanager.h"
#include "library/onlinelibrary.h"

#include <QNetworkAccessManager>

TestServices::TestServices(QObject *parent)
    : QObject(parent)
{
}

TestServices::~TestServices() = default;

template<typename T>
T *TestServices::ensure(T *&slot) const
{
    if (!slot)
        slot = new T(const_cast<TestServices *>(this));
    return slot;
}

QNetworkAccessManager *TestServices::networkAccessManager() const
{
    return ensure(nam);
}

RemoteAPI *TestServices::remoteAPI() const
{
    return ensure(api);
}

Settings *TestServices::settings() const
{
    return ensure(settingsObject);
}

DownloadManager *TestServices::downloadManager() const
{
    return ensure(manager);
}

OnlineLibrary *TestServices::onlineLibrary() const
{
    return ensure(library);
}

void TestServices::notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index)
{
    errors.append({errorType, message, index});
}

void TestServices::askUpdateFile(LibraryFile *file)
{
    updateQuestions.append(file);
}

void TestServices::askDeleteFile(LibraryFile *file)
{
    deleteQuestions.append(file);
}

void TestServices::saveModelDelayed()
{
    ++delayedSaves;
}
