#pragma once

#include "api/libraryerrortype.h"
#include "downloads/filequestions.h"

#include <QObject>

#include <memory>

class CoreServices;
class DownloadManager;
class FileActions;
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
    // What the files of a library that downloads act through; made on first use.
    FileActions &fileActions();

    void prepareDownloads(const QString &libraryDirectory);

    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *) override {}

private:
    static void printError(LibraryErrorType::ErrorType errorType, const QString &message, qlonglong index);

    CoreServices *const m_core;
    std::unique_ptr<FileActions> m_actions;
};
