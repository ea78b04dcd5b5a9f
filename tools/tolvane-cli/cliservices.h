#pragma once

#include "app/applicationservices.h"

#include <QObject>

// What the service classes need of an application, for a program without a window: one network
// access manager, one service client, and errors written to standard error.
class CliServices : public QObject, public ApplicationServices
{
    Q_OBJECT
public:
    explicit CliServices(QObject *parent = nullptr);
    ~CliServices() override;

    QNetworkAccessManager *networkAccessManager() const override { return m_nam; }
    RemoteAPI *remoteAPI() const override { return m_api; }
    Settings *settings() const override { return nullptr; }
    DownloadManager *downloadManager() const override { return nullptr; }
    OnlineLibrary *onlineLibrary() const override { return nullptr; }
    bool isSyncing() const override { return false; }

    void notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index) override;
    void askUpdateFile(LibraryFile *) override {}
    void askDeleteFile(LibraryFile *) override {}
    void saveModelDelayed() override {}

private:
    QNetworkAccessManager *m_nam;
    RemoteAPI *m_api;
};
