#include "idlefileactions.h"

#include "downloads/libraryfile.h"

#include <QDebug>

void IdleFileActions::queue(LibraryFile *file)
{
    file->setStatus(LibraryFile::Queued);
}

void IdleFileActions::pause(LibraryFile *file)
{
    file->setStatus(LibraryFile::DownloadPaused);
}

void IdleFileActions::cancel(LibraryFile *file)
{
    file->setStatus(LibraryFile::Remote);
}

void IdleFileActions::fail(LibraryFile *file)
{
    file->setStatus(LibraryFile::DownloadError);
}

void IdleFileActions::markUpdateAvailable(LibraryFile *file)
{
    file->setStatus(LibraryFile::UpdateAvailable);
}

void IdleFileActions::markFound(LibraryFile *file)
{
    file->recordFoundCopy();
}

void IdleFileActions::forgetCopy(LibraryFile *file)
{
    file->forgetCopy();
}

void IdleFileActions::reportError(LibraryFile *file, const QString &message)
{
    qDebug().nospace().noquote() << "WARNING: LibraryFile: " << file->serverFileName() << ": " << message;
}

void IdleFileActions::askUpdateFile(LibraryFile *file)
{
    qDebug().nospace().noquote() << "INFO: LibraryFile: No one to ask about the update of " << file->serverFileName()
                                 << "; the old copy stays.";
}

void IdleFileActions::askDeleteFile(LibraryFile *file)
{
    qDebug().nospace().noquote() << "INFO: LibraryFile: No one to ask about deleting " << file->serverFileName()
                                 << "; it stays.";
}
