#pragma once

#include "api/libraryerrortype.h"
#include "downloads/downloadcontext.h"
#include "downloads/filequestions.h"

#include <QObject>

class CoreServices;
class DownloadManager;
class RemoteAPI;
class Settings;

// The objects a program without a window needs: one network access manager, one service
// client, errors written to standard error and, for downloads, settings naming the library
// folder and a download manager. With no one to ask, an updated file keeps its old copy under
// an archive name; the tool deletes nothing, so no delete is ever confirmed.
class CliServices : public QObject, public FileQuestions
{
    Q_OBJECT
public:
    explicit CliServices(QObject *parent = nullptr);
    ~CliServices() override;

    RemoteAPI *remoteAPI() const;
    Settings *settings();
    DownloadManager *downloadManager();
    DownloadContext downloadContext();

    void prepareDownloads(const QString &libraryDirectory);

    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *) override {}

private:
    static void printError(LibraryErrorType::ErrorType errorType, const QString &message, qlonglong index);

    CoreServices *const m_core;
};
