#include "cliservices.h"

#include "api/remoteapi.h"
#include "app/settings.h"
#include "downloads/downloadmanager.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>

#include <cstdio>

CliServices::CliServices(QObject *parent)
    : QObject(parent), m_nam(new QNetworkAccessManager(this)), m_api(new RemoteAPI(this))
{
}

CliServices::~CliServices() = default;

void CliServices::prepareDownloads(const QString &libraryDirectory)
{
    m_settings = std::make_unique<Settings>();
    m_settings->setLibraryDirectory(libraryDirectory);
    m_manager = std::make_unique<DownloadManager>();
    connect(m_settings.get(), &Settings::simultaneousDownloadsChanged, m_manager.get(), &DownloadManager::processQueue);
}

void CliServices::notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index)
{
    const char *kind = QMetaEnum::fromType<LibraryErrorType::ErrorType>().valueToKey(errorType);
    std::fprintf(stderr, "tolvane-cli: %s%s%s (item %lld)\n", kind ? kind : "Error", message.isEmpty() ? "" : ": ",
                 qPrintable(message), index);
}
