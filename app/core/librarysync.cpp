#include "librarysync.h"

#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/filesystemops.h"
#include "library/onlinelibrary.h"

#include <QDebug>
#include <QPointer>
#include <QStorageInfo>

LibrarySync::LibrarySync(RemoteAPI *api, OnlineLibrary *library, DownloadManager *manager,
                         const Settings *settings, QObject *parent)
    : QObject(parent)
    , m_api(api)
    , m_library(library)
    , m_manager(manager)
    , m_settings(settings)
    , m_spaceProbe(&LibrarySync::availableBytes)
{
    connect(m_manager, &DownloadManager::allDownloadsFinished, this, &LibrarySync::onAllDownloadsFinished);
}

void LibrarySync::setFreeSpaceQuestion(FreeSpaceQuestion question)
{
    m_freeSpaceQuestion = std::move(question);
}

void LibrarySync::setSpaceProbe(SpaceProbe probe)
{
    m_spaceProbe = std::move(probe);
}

qint64 LibrarySync::availableBytes(const QString &folder)
{
    const QStorageInfo volume(folder);
    return volume.isValid() ? volume.bytesAvailable() : -1;
}

void LibrarySync::switchSync()
{
    if (m_isSyncing)
        switchOff();
    else
        switchOn();
}

void LibrarySync::switchOn()
{
    if (m_isSyncing)
        return;
    // Announced only once the check passed: a shortage leaves the button as it was.
    checkFreeSpace([this] { startSync(); }, [this] { switchOn(); }, [] {});
}

void LibrarySync::startSync()
{
    m_isSyncing = true;
    m_manager->setSyncing(true);
    if (!m_api->isRefreshing()) {
        qDebug().nospace() << "INFO: " << "Application: Start refreshing library";
        m_api->refreshLibrary(1);
    }
    if (!m_waitForRefresh)
        m_waitForRefresh = connect(m_api, &RemoteAPI::refreshLibraryFinished, this, &LibrarySync::startSyncFiles);
    emit isSyncingChanged();
}

void LibrarySync::startSyncFiles()
{
    qDebug().nospace() << "INFO: " << "Application: Start download all";
    disconnect(m_waitForRefresh);
    checkFreeSpace([this] { queueDownloads(); }, [this] { startSyncFiles(); }, [this] { switchOff(); });
}

void LibrarySync::queueDownloads()
{
    if (m_library->allSelected() || m_library->noneSelected())
        m_library->downloadAll();
    else
        m_library->downloadSelected();
    if (m_manager->isDownloading())
        return;
    // Nothing left to fetch: the sync is over as soon as it began.
    if (m_isSyncing)
        endSync();
}

void LibrarySync::switchOff()
{
    m_checkSerial = 0;
    if (!m_isSyncing)
        return;
    endSync();
}

void LibrarySync::endSync()
{
    m_isSyncing = false;
    m_manager->setSyncing(false);
    m_checkSerial = 0;
    // A refresh still running goes on; it just no longer starts the downloads.
    disconnect(m_waitForRefresh);
    m_manager->cancelAll();
    m_library->deselectAll();
    emit ended();
    emit isSyncingChanged();
}

void LibrarySync::onAllDownloadsFinished()
{
    qDebug().nospace() << "INFO: " << "Application: All downloads finished";
    const bool wasSyncing = m_isSyncing;
    switchOff();
    if (wasSyncing)
        emit completed();
}

void LibrarySync::downloadSelected()
{
    checkFreeSpace([this] { m_library->downloadSelected(); }, [this] { downloadSelected(); }, [] {});
}

void LibrarySync::checkFreeSpace(const std::function<void()> &continuation, const std::function<void()> &retry,
                                 const std::function<void()> &cancel)
{
    m_checkSerial = 0;
    const bool whole = m_library->allSelected() || m_library->noneSelected();
    // A copy deleted by hand is fetched again, and its bytes count in the check.
    m_library->forgetMissingCopies(!whole);
    const qint64 required = whole ? m_library->remainingBytes() : m_library->remainingBytesSelected();
    const qint64 available = m_spaceProbe(FileSystemOps::lastExistingDir(m_settings->libraryDirectory()));
    if (available == -1 || available > required) {
        continuation();
        return;
    }
    qDebug().nospace() << "WARNING: " << "Application: Not enough free space: " << available << " of "
                       << required << " bytes";
    if (!m_freeSpaceQuestion) {
        cancel();
        return;
    }
    const quint64 serial = ++m_lastSerial;
    m_checkSerial = serial;
    QPointer<LibrarySync> self(this);
    FreeSpaceShortage shortage;
    shortage.required = required;
    shortage.available = available;
    shortage.retry = [self, serial, retry] {
        if (!self || self->m_checkSerial != serial)
            return;
        self->m_checkSerial = 0;
        retry();
    };
    shortage.cancel = [self, serial, cancel] {
        if (!self || self->m_checkSerial != serial)
            return;
        self->m_checkSerial = 0;
        cancel();
    };
    m_freeSpaceQuestion(shortage);
}
