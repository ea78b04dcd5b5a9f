#pragma once

#include "app/applicationservices.h"

#include <QObject>

#include <memory>

// What the service classes need of an application, for a program without a window: one network
// access manager, one service client, errors written to standard error and, for downloads,
// settings naming the library folder and a download manager.
class CliServices : public QObject, public ApplicationServices
{
    Q_OBJECT
public:
    explicit CliServices(QObject *parent = nullptr);
    ~CliServices() override;

    QNetworkAccessManager *networkAccessManager() const override { return m_nam; }
    RemoteAPI *remoteAPI() const override { return m_api; }
    Settings *settings() const override { return m_settings.get(); }
    DownloadManager *downloadManager() const override { return m_manager.get(); }
    OnlineLibrary *onlineLibrary() const override { return m_library; }
    void setOnlineLibrary(OnlineLibrary *library) { m_library = library; }
    // While downloading, files must not ask the service for fresh product details: the tool has
    // no library to merge them into.
    bool isSyncing() const override { return m_manager != nullptr; }

    void prepareDownloads(const QString &libraryDirectory);

    void notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index) override;
    void askUpdateFile(LibraryFile *) override {}
    void askDeleteFile(LibraryFile *) override {}
    void saveModelDelayed() override {}

private:
    QNetworkAccessManager *m_nam;
    RemoteAPI *m_api;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<DownloadManager> m_manager;
    OnlineLibrary *m_library = nullptr;
};
