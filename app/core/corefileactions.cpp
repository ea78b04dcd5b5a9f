#include "corefileactions.h"

#include "api/remoteapi.h"
#include "downloads/downloadmanager.h"
#include "downloads/filequestions.h"

CoreFileActions::CoreFileActions(RemoteAPI &api, DownloadManager &manager, Settings &settings, FileQuestions &questions)
    : m_api(api), m_manager(manager), m_settings(settings), m_questions(questions)
{
}

void CoreFileActions::queue(LibraryFile *file)
{
    m_manager.setFileStatus(file, LibraryFile::Queued);
}

void CoreFileActions::pause(LibraryFile *file)
{
    m_manager.setFileStatus(file, LibraryFile::DownloadPaused);
}

void CoreFileActions::cancel(LibraryFile *file)
{
    m_manager.setFileStatus(file, LibraryFile::Remote);
}

void CoreFileActions::fail(LibraryFile *file)
{
    m_manager.setFileStatus(file, LibraryFile::DownloadError);
}

void CoreFileActions::rejoinQueue(LibraryFile *file)
{
    m_manager.restoreQueued(file);
}

void CoreFileActions::markUpdateAvailable(LibraryFile *file)
{
    m_manager.setFileStatus(file, LibraryFile::UpdateAvailable);
}

void CoreFileActions::markFound(LibraryFile *file)
{
    m_manager.markFound(file);
}

void CoreFileActions::forgetCopy(LibraryFile *file)
{
    m_manager.forgetCopy(file);
}

void CoreFileActions::reportError(LibraryFile *file, const QString &message)
{
    m_manager.reportFileError(file, message);
}

void CoreFileActions::askUpdateFile(LibraryFile *file)
{
    m_questions.askUpdateFile(file);
}

void CoreFileActions::askDeleteFile(LibraryFile *file)
{
    m_questions.askDeleteFile(file);
}

bool CoreFileActions::isSyncing() const
{
    return m_manager.isSyncing();
}

void CoreFileActions::requestTitleInfo(const QString &productId, QObject *receiver,
                                       std::function<void(bool, const QJsonValue &)> done)
{
    NetworkReplyWrapper *request = m_api.getTitleInfo(productId);
    QObject::connect(request, &NetworkReplyWrapper::replyFinished, receiver,
                     [done = std::move(done)](bool success, const QJsonValue &message) { done(success, message); });
}

Settings::UpdateBookPolicy CoreFileActions::updateBookPolicy() const
{
    return m_settings.updateBookPolicy();
}

bool CoreFileActions::confirmsDelete() const
{
    return m_settings.showDeleteConfirmation();
}

bool CoreFileActions::deletesPermanently() const
{
    return m_settings.deletePermanently();
}

QStringList CoreFileActions::libraryFolders() const
{
    return m_settings.libraryFolders();
}

void CoreFileActions::addLibraryFolder(const QString &dir)
{
    m_settings.addLibraryFolder(dir);
}
