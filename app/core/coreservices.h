#pragma once

#include <QObject>

#include <memory>

class DownloadManager;
class FileActions;
class FileQuestions;
class QNetworkAccessManager;
class RemoteAPI;
class Settings;

// The objects the core runs on, made and wired in one place for the program, the command-line
// client and the tests: the service client over the given network access manager, the
// settings and the download manager. The settings and the manager are made on first use:
// opening the settings store tidies and protects it, which a command that only signs in
// should not do.
class CoreServices : public QObject
{
    Q_OBJECT
public:
    explicit CoreServices(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~CoreServices() override;

    QNetworkAccessManager *network() const { return m_network; }
    RemoteAPI *remoteAPI() const { return m_api.get(); }
    Settings *settings();
    DownloadManager *downloadManager();
    // What the items and files of a library act through; `questions` answers what they ask
    // the user.
    std::unique_ptr<FileActions> makeFileActions(FileQuestions &questions);

private:
    QNetworkAccessManager *const m_network;
    std::unique_ptr<RemoteAPI> m_api;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<DownloadManager> m_manager;
};
