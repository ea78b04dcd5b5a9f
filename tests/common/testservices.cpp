#include "testservices.h"

#include "api/remoteapi.h"
#include "app/core/corefileactions.h"
#include "app/core/coreservices.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"

#include <QNetworkAccessManager>

TestServices::TestServices(QObject *parent)
    : QObject(parent)
{
}

TestServices::~TestServices() = default;

QNetworkAccessManager *TestServices::networkAccessManager()
{
    if (!nam)
        nam = new QNetworkAccessManager(this);
    return nam;
}

RemoteAPI *TestServices::remoteAPI()
{
    if (!api)
        api = core()->remoteAPI();
    connect(api, &RemoteAPI::errorReported, this, &TestServices::recordError, Qt::UniqueConnection);
    return api;
}

Settings *TestServices::settings()
{
    if (!settingsObject)
        settingsObject = core()->settings();
    return settingsObject;
}

DownloadManager *TestServices::downloadManager()
{
    if (!manager)
        manager = core()->downloadManager();
    return manager;
}

CoreServices *TestServices::core()
{
    if (!m_core)
        m_core = new CoreServices(networkAccessManager(), this);
    return m_core;
}

FileActions &TestServices::fileActions()
{
    if (!m_actions) {
        m_actions = std::make_unique<CoreFileActions>(*remoteAPI(), *downloadManager(), *settings(), *this);
        connect(downloadManager(), &DownloadManager::fileErrorReported, this, [this](FileOwner *, const QString &message) {
            errors.append({LibraryErrorType::GeneralError, message, -1});
        });
    }
    return *m_actions;
}

void TestServices::recordError(LibraryErrorType::ErrorType type, const QString &message, qlonglong index)
{
    errors.append({type, message, index});
}
