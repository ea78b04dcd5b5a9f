#include "cliservices.h"

#include "api/remoteapi.h"
#include "app/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>

#include <cstdio>

CliServices::CliServices(QObject *parent)
    : QObject(parent), m_nam(new QNetworkAccessManager(this)), m_api(new RemoteAPI(m_nam, this))
{
    connect(m_api, &RemoteAPI::errorReported, this, &CliServices::printError);
}

CliServices::~CliServices() = default;

void CliServices::prepareDownloads(const QString &libraryDirectory)
{
    m_settings = std::make_unique<Settings>();
    m_settings->setLibraryDirectory(libraryDirectory);
    m_manager = std::make_unique<DownloadManager>(m_api, m_settings.get());
    // The tool has no library to merge fresh product details into.
    m_manager->setSyncing(true);
    connect(m_settings.get(), &Settings::simultaneousDownloadsChanged, m_manager.get(), &DownloadManager::processQueue);
    connect(m_manager.get(), &DownloadManager::fileErrorReported, this,
            [](FileOwner *, const QString &message) { printError(LibraryErrorType::GeneralError, message, -1); });
}

void CliServices::askUpdateFile(LibraryFile *file)
{
    // Keeping both loses nothing, whatever the user would have answered.
    file->updateRename();
}

void CliServices::printError(LibraryErrorType::ErrorType errorType, const QString &message, qlonglong index)
{
    const char *kind = QMetaEnum::fromType<LibraryErrorType::ErrorType>().valueToKey(errorType);
    std::fprintf(stderr, "tolvane-cli: %s%s%s (item %lld)\n", kind ? kind : "Error", message.isEmpty() ? "" : ": ",
                 qPrintable(message), index);
}
