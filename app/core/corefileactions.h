#pragma once

#include "downloads/fileactions.h"

class DownloadManager;
class FileQuestions;
class RemoteAPI;
class Settings;

// What the files of the program's library act through: its download manager, settings and
// service client, with the questions answered by the one who made it.
class CoreFileActions final : public FileActions
{
public:
    CoreFileActions(RemoteAPI &api, DownloadManager &manager, Settings &settings, FileQuestions &questions);

    void queue(LibraryFile *file) override;
    void pause(LibraryFile *file) override;
    void cancel(LibraryFile *file) override;
    void fail(LibraryFile *file) override;
    void rejoinQueue(LibraryFile *file) override;
    void markUpdateAvailable(LibraryFile *file) override;
    void markFound(LibraryFile *file) override;
    void forgetCopy(LibraryFile *file) override;
    void reportError(LibraryFile *file, const QString &message) override;
    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *file) override;
    bool isSyncing() const override;
    void requestTitleInfo(const QString &productId, QObject *receiver,
                          std::function<void(bool, const QJsonValue &)> done) override;
    Settings::UpdateBookPolicy updateBookPolicy() const override;
    bool confirmsDelete() const override;
    bool deletesPermanently() const override;
    QStringList libraryFolders() const override;
    void addLibraryFolder(const QString &dir) override;

private:
    RemoteAPI &m_api;
    DownloadManager &m_manager;
    Settings &m_settings;
    FileQuestions &m_questions;
};
