#pragma once

#include "api/libraryerrortype.h"
#include "downloads/downloadcontext.h"
#include "downloads/filequestions.h"

#include <QList>
#include <QObject>
#include <QString>

class CoreServices;
class DownloadManager;
class FileOwner;
class LibraryItem;
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
    // The context for items and files, with errors of its service client and manager recorded.
    DownloadContext context();

    void askUpdateFile(LibraryFile *file) override;
    void askDeleteFile(LibraryFile *file) override;

    // Objects a test provides itself replace the ones made on demand (not owned).
    QNetworkAccessManager *nam = nullptr;
    RemoteAPI *api = nullptr;
    Settings *settingsObject = nullptr;
    DownloadManager *manager = nullptr;

    QList<Error> errors;
    QList<LibraryFile *> updateQuestions;
    QList<LibraryFile *> deleteQuestions;

private:
    void recordError(LibraryErrorType::ErrorType type, const QString &message, qlonglong index);
    void recordFileError(FileOwner *item, const QString &message);
    CoreServices *core();

    CoreServices *m_core = nullptr;
};
