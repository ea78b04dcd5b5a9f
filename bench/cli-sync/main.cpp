// bench-cli-sync --dir DIR: the reference for `tolvane-cli sync`. With the stored sign-in, refreshes
// the library of the service named by TOLVANE_API_BASE_URL into an OnlineLibrary and downloads
// every file through the program's DownloadManager in the configured number of slots, as the
// program's "Download all" does; exits 0 when every file is Downloaded.
#include "api/remoteapi.h"
#include "app/core/constants.h"
#include "app/core/settings.h"
#include "app/core/corefileactions.h"
#include "downloads/downloadmanager.h"
#include "downloads/filequestions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QTimer>

#include <cstdio>

namespace {

class NoQuestions : public FileQuestions
{
public:
    void askUpdateFile(LibraryFile *) override {}
    void askDeleteFile(LibraryFile *) override {}
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(Constants::OrganizationName);
    QCoreApplication::setApplicationName(Constants::ApplicationName);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const QStringList args = app.arguments();
    const int dirAt = args.indexOf(QStringLiteral("--dir"));
    if (dirAt < 0 || dirAt + 1 >= args.size()) {
        std::fprintf(stderr, "usage: bench-cli-sync --dir DIR\n");
        return 2;
    }

    QNetworkAccessManager network;
    RemoteAPI api(&network);
    Settings settings;
    settings.setLibraryDirectory(QDir(args.at(dirAt + 1)).absolutePath());
    settings.setSimultaneousDownloads(settings.simultaneousDownloads());
    DownloadManager manager(&api, &settings);
    manager.setSyncing(true);
    NoQuestions questions;
    CoreFileActions actions(api, manager, settings, questions);
    OnlineLibrary library(actions);
    library.setStoreName(QStringLiteral("bench-library"));
    if (!api.loggedIn()) {
        std::fprintf(stderr, "not signed in\n");
        return 3;
    }

    auto finishIfDone = [&] {
        int files = 0;
        for (int row = 0; row < library.rowCount(); ++row) {
            for (LibraryFile *file : library.itemAt(row)->filesModel()->files()) {
                if (file->status() == LibraryFile::Queued || file->status() == LibraryFile::Downloading)
                    return;
                if (file->status() != LibraryFile::Downloaded) {
                    std::fprintf(stderr, "%s: %s\n", qPrintable(file->serverFileName()), qPrintable(file->errorMessage()));
                    QCoreApplication::exit(1);
                    return;
                }
                ++files;
            }
        }
        std::printf("files=%d\n", files);
        QCoreApplication::exit(0);
    };
    QObject::connect(&api, &RemoteAPI::titlesRefreshResult, &library, &OnlineLibrary::onTitlesRefreshResult);
    QObject::connect(&api, &RemoteAPI::refreshLibraryFinished, [&](bool success) {
        if (!success) {
            std::fprintf(stderr, "refresh failed\n");
            QCoreApplication::exit(1);
            return;
        }
        library.downloadAll();
        QTimer::singleShot(0, finishIfDone);
    });
    QObject::connect(&manager, &DownloadManager::allDownloadsFinished, [&] { QTimer::singleShot(0, finishIfDone); });
    api.refreshLibrary(1);
    const int code = QCoreApplication::exec();
    manager.stopAll();
    return code;
}
