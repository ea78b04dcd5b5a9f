#pragma once

#include "api/libraryerrortype.h"
#include "downloads/filequestions.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class CoreServices;
class DownloadManager;
class FileActions;
class QNetworkAccessManager;
class RemoteAPI;
class Settings;

// Stands in for the application controller in tests: owns real core objects, made as the
// program makes them, answers the files' questions and records the errors the controller would
// have listed. Objects are made on demand; a test may provide its own before the first use.
class TestServices : public QObject, public FileQuestions
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

    QNetworkAccessManager *networkAccessManager();
    RemoteAPI *remoteAPI();
    Settings *settings();
    DownloadManager *downloadManager();
    // What items and files act through, as the program's are; the errors of its service
    // client and manager are recorded. Made on first use, with the objects of the moment.
    FileActions &fileActions();

    void askUpdateFile(LibraryFile *file) override { updateQuestions.append(file); }
    void askDeleteFile(LibraryFile *) override {}

    // Objects a test provides itself replace the ones made on demand (not owned).
    QNetworkAccessManager *nam = nullptr;
    RemoteAPI *api = nullptr;
    Settings *settingsObject = nullptr;
    DownloadManager *manager = nullptr;

    QList<Error> errors;
    QList<LibraryFile *> updateQuestions;

private:
    void recordError(LibraryErrorType::ErrorType type, const QString &message, qlonglong index);
    CoreServices *core();

    CoreServices *m_core = nullptr;
    std::unique_ptr<FileActions> m_actions;
};
