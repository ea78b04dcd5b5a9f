#include "cliservices.h"

#include "api/remoteapi.h"
#include "app/core/coreservices.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/fileactions.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QMetaEnum>
#include <QNetworkAccessManager>

#include <cstdio>

CliServices::CliServices(QObject *parent)
    : QObject(parent), m_core(new CoreServices(new QNetworkAccessManager(this), this))
{
    connect(m_core->remoteAPI(), &RemoteAPI::errorReported, this, &CliServices::printError);
}

CliServices::~CliServices() = default;

RemoteAPI *CliServices::remoteAPI() const
{
    return m_core->remoteAPI();
}

Settings *CliServices::settings()
{
    return m_core->settings();
}

DownloadManager *CliServices::downloadManager()
{
    return m_core->downloadManager();
}

FileActions &CliServices::fileActions()
{
    if (!m_actions)
        m_actions = m_core->makeFileActions(*this);
    return *m_actions;
}

void CliServices::prepareDownloads(const QString &libraryDirectory)
{
    settings()->setLibraryDirectory(libraryDirectory);
    DownloadManager *manager = downloadManager();
    // The tool has no library to merge fresh product details into.
    manager->setSyncing(true);
    connect(manager, &DownloadManager::fileErrorReported, this,
            [](FileOwner *, const QString &message) { printError(LibraryErrorType::GeneralError, message, -1); }, Qt::UniqueConnection);
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
