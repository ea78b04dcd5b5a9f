#include "coreservices.h"

#include "api/remoteapi.h"
#include "app/core/corefileactions.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"

CoreServices::CoreServices(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network), m_api(std::make_unique<RemoteAPI>(network))
{
}

CoreServices::~CoreServices() = default;

Settings *CoreServices::settings()
{
    if (!m_settings)
        m_settings = std::make_unique<Settings>();
    return m_settings.get();
}

DownloadManager *CoreServices::downloadManager()
{
    if (!m_manager) {
        m_manager = std::make_unique<DownloadManager>(m_api.get(), settings());
        connect(m_settings.get(), &Settings::simultaneousDownloadsChanged, m_manager.get(),
                &DownloadManager::processQueue);
    }
    return m_manager.get();
}

std::unique_ptr<FileActions> CoreServices::makeFileActions(FileQuestions &questions)
{
    return std::make_unique<CoreFileActions>(*m_api, *downloadManager(), *settings(), questions);
}
