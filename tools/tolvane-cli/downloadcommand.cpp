#include "downloadcommand.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "cliexitcode.h"
#include "cliservices.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"
#include "stopsignals.h"
#include "synccommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

using namespace CliExitCode;

QString tr(const char *text)
{
    return QCoreApplication::translate("tolvane-cli", text);
}

bool atRest(const LibraryFile *file)
{
    return file->status() != LibraryFile::Queued && file->status() != LibraryFile::Downloading;
}

void printResult(const LibraryFile *file)
{
    const QFileInfo info(file->downloadPath());
    const char *status = QMetaEnum::fromType<LibraryFile::Status>().valueToKey(file->status());
    std::fprintf(stdout, "File: %s\nStatus: %s\nError: %s\nPath: %s\nSize: %lld\nMD5: %s\n\n",
                 qUtf8Printable(file->serverFileName()), status ? status : "?", qUtf8Printable(file->errorMessage()),
                 qUtf8Printable(QDir::toNativeSeparators(info.absoluteFilePath())),
                 info.isFile() ? static_cast<long long>(info.size()) : 0LL, qUtf8Printable(file->localFileHash()));
    std::fflush(stdout);
}

void printError(const QString &message)
{
    std::fprintf(stderr, "tolvane-cli: %s\n", qUtf8Printable(message));
}

LibraryItem *findItem(const OnlineLibrary &library, const QString &productId)
{
    for (int row = 0; row < library.rowCount(); ++row) {
        if (library.itemAt(row)->productId() == productId)
            return library.itemAt(row);
    }
    return nullptr;
}

// Prints every file's outcome once none is queued or transferring any more and ends the loop.
void finishWhenAtRest(const QList<QPointer<LibraryFile>> &files)
{
    for (const QPointer<LibraryFile> &file : files) {
        if (file && !atRest(file))
            return;
    }
    int exitCode = Success;
    for (const QPointer<LibraryFile> &file : files) {
        if (!file)
            continue;
        printResult(file);
        if (file->status() != LibraryFile::Downloaded)
            exitCode = Failed;
    }
    QCoreApplication::exit(exitCode);
}

} // namespace

int runDownloadCommand(CliServices *services, StopSignals *stopSignals, const QStringList &arguments,
                       const QString &dir)
{
    if (arguments.isEmpty() || arguments.size() > 2 || dir.isEmpty()) {
        printError(tr("usage: download PRODUCT_ID [FILE_NAME] --dir DIR"));
        return Usage;
    }
    RemoteAPI *api = services->remoteAPI();
    if (!api->loggedIn()) {
        printError(tr("not signed in; run \"tolvane-cli login KEY\" first"));
        return NotSignedIn;
    }
    const QString productId = arguments.at(0);
    const QString wantedName = arguments.value(1);
    const QString root = QDir::cleanPath(QDir(dir).absolutePath());
    services->prepareDownloads(root);

    // The product goes into the saved library that sync keeps, so that what this run leaves
    // partly done is resumed by the next download or sync of it.
    OnlineLibrary library(services->fileActions());
    library.setStoreName(SyncCommand::storeName());
    library.load();
    QList<QPointer<LibraryFile>> files;

    NetworkReplyWrapper *request = api->getTitleInfo(productId);
    QObject::connect(request, &NetworkReplyWrapper::replyFinished, qApp, [&](bool success, const QJsonValue &message) {
        if (!success) {
            printError(tr("product %1 could not be read from the storefront").arg(productId));
            QCoreApplication::exit(Failed);
            return;
        }
        QJsonObject product = message.toObject();
        product.insert(QStringLiteral("products_id"), productId);
        library.onTitlesRefreshResult(1, QJsonArray{product});
        library.onTitlesRefreshFinished();
        LibraryItem *item = findItem(library, productId);
        const QList<LibraryFile *> all = item ? item->filesModel()->files() : QList<LibraryFile *>();
        for (LibraryFile *file : all) {
            if (wantedName.isEmpty() || file->serverFileName() == wantedName)
                files.append(file);
        }
        if (files.isEmpty()) {
            printError(wantedName.isEmpty() ? tr("product %1 has no files").arg(productId)
                                            : tr("product %1 has no file named %2").arg(productId, wantedName));
            QCoreApplication::exit(Failed);
            return;
        }
        for (const QPointer<LibraryFile> &file : qAsConst(files)) {
            SyncCommand::matchToDisk(file, root, *services->downloadManager());
            // A file that is verified and then found without server checksums changes twice in
            // one go; the outcome is read once things have settled.
            QObject::connect(file, &LibraryFile::statusChanged, qApp, [&files] {
                QTimer::singleShot(0, qApp, [&files] { finishWhenAtRest(files); });
            });
        }
        // A file of this product left queued by an earlier run rejoins the queue here.
        item->rejoinQueue();
        for (const QPointer<LibraryFile> &file : qAsConst(files)) {
            if (file->status() == LibraryFile::UpdateAvailable)
                file->updateDownload();
            else if (file->status() != LibraryFile::Downloaded && atRest(file))
                services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        }
        QTimer::singleShot(0, qApp, [&files] { finishWhenAtRest(files); });
    });
    QObject::connect(stopSignals, &StopSignals::stopRequested, qApp, [services](int signalNumber) {
        // Suspended, not cancelled: the partial files and their resume points stay.
        services->downloadManager()->stopAll();
        QCoreApplication::exit(InterruptedBase + signalNumber);
    });
    const int code = QCoreApplication::exec();
    services->downloadManager()->stopAll();
    bool saved = true;
    QObject::connect(&library, &OnlineLibrary::saveFailed, qApp, [&saved](const QString &message) {
        printError(message);
        saved = false;
    });
    library.save();
    return code == Success && !saved ? Failed : code;
}
