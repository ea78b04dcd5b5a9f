#pragma once

#include "app/applicationservices.h"

#include <QList>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// Stands in for the application controller in tests: owns real service objects and records
// what the controller would have been told. Objects are created on demand.
class TestServices : public QObject, public ApplicationServices
{
    Q_OBJECT
public:
    struct Error {
        LibraryErrorType::ErrorType type;
        QString message;
        qlonglong index;
    };

    explicit TestServices(QObject *parent = nullptr);
    ~TestServices() override;

    QNetworkAccessManager *networkAccessManager() const override;
    RemoteAPI *remoteAPI() const override;
    Settings *settings() const override;
    DownloadManager *downloadManager() const override;
    OnlineLibrary *onlineLibrary() const override;
    bool isSyncing() const override { return syncing; }

    void notifyError(LibraryErrorType::ErrorType errorType, QString message, qlonglong index) override;
    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *file) override;
    void saveModelDelayed() override;

    // Objects a test provides itself replace the ones made on demand (not owned).
    mutable QNetworkAccessManager *nam = nullptr;
    mutable RemoteAPI *api = nullptr;
    mutable Settings *settingsObject = nullptr;
    mutable DownloadManager *manager = nullptr;
    mutable OnlineLibrary *library = nullptr;
    bool syncing = false;

    QList<Error> errors;
    QList<LibraryFile *> updateQuestions;
    QList<LibraryFile *> deleteQuestions;
    int delayedSaves = 0;

private:
    template<typename T>
    T *ensure(T *&slot) const;
};
