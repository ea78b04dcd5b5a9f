#include "applicationservices.h"

namespace {
ApplicationServices *g_instance = nullptr;
}

ApplicationServices::ApplicationServices()
{
    g_instance = this;
}

ApplicationServices::~ApplicationServices()
{
    if (g_instance == this)
        g_instance = nullptr;
}

ApplicationServices *ApplicationServices::instance()
{
    return g_instance;
}

QNetworkAccessManager *ApplicationServices::currentNetworkAccessManager()
{
    return g_instance ? g_instance->networkAccessManager() : nullptr;
}

RemoteAPI *ApplicationServices::currentRemoteAPI()
{
    return g_instance ? g_instance->remoteAPI() : nullptr;
}

Settings *ApplicationServices::currentSettings()
{
    return g_instance ? g_instance->settings() : nullptr;
}

DownloadManager *ApplicationServices::currentDownloadManager()
{
    return g_instance ? g_instance->downloadManager() : nullptr;
}
