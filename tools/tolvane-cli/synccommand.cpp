#include "synccommand.h"

#include "api/remoteapi.h"
#include "app/librarysync.h"
#include "cliservices.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaEnum>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failed = 1, Usage = 2, NotSignedIn = 3 };

QString tr(const char *text)
{
    return QCoreApplication::translate("tolvane-cli", text);
}

void printLine(const QString &text)
{
    std::fprintf(stdout, "%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

template<typename Function>
void forEachFile(const OnlineLibrary &library, Function function)
{
    for (int row = 0; row < library.rowCount(); ++row) {
        const QList<LibraryFile *> files = library.itemAt(row)->filesModel()->files();
        for (LibraryFile *file : files)
            function(library.itemAt(row), file);
    }
}

} // namespace

int runSyncCommand(CliServices *services, const QString &dir)
{
    if (dir.isEmpty()) {
        std::fprintf(stderr, "tolvane-cli: %s\n", qUtf8Printable(tr("usage: sync --dir DIR")));
        return Usage;
    }
    RemoteAPI *api = services->remoteAPI();
    if (!api->loggedIn()) {
        std::fprintf(stderr, "tolvane-cli: %s\n", qUtf8Printable(tr("not signed in; run \"tolvane-cli login KEY\" first")));
        return NotSignedIn;
    }
    services->prepareDownloads(QDir(dir).absolutePath());
    OnlineLibrary library;
    library.setDownloadContext(services->downloadContext());
    library.load();

    LibrarySync sync(api, &library, services->downloadManager(), services->settings());
    QObject::connect(api, &RemoteAPI::titlesRefreshResult, &library, &OnlineLibrary::onTitlesRefreshResult);
    QObject::connect(api, &RemoteAPI::refreshLibraryFinished, &library, [&library](bool success) {
        if (!success)
            return;
        library.onTitlesRefreshFinished();
        printLine(QStringLiteral("refreshed %1").arg(library.rowCount()));
        forEachFile(library, [](LibraryItem *item, LibraryFile *file) {
            QObject::connect(file, &LibraryFile::statusChanged, file, [item](LibraryFile *changed) {
                if (changed->status() == LibraryFile::Downloaded)
                    printLine(QStringLiteral("downloaded %1 %2").arg(item->productId(), changed->serverFileName()));
            }, Qt::UniqueConnection);
        });
    });
    QObject::connect(&sync, &LibrarySync::ended, qApp, [] { QCoreApplication::exit(Success); });
    sync.switchOn();
    const int code = sync.isSyncing() ? QCoreApplication::exec() : Failed;
    services->downloadManager()->stopAll();
    library.save();
    return code;
}

int runLibraryCommand()
{
    OnlineLibrary library;
    library.load();
    forEachFile(library, [](LibraryItem *item, LibraryFile *file) {
        const char *status = QMetaEnum::fromType<LibraryFile::Status>().valueToKey(file->status());
        printLine(item->productId() + QLatin1Char('\t') + file->serverFileName() + QLatin1Char('\t')
                  + QLatin1String(status ? status : "?"));
    });
    return Success;
}
