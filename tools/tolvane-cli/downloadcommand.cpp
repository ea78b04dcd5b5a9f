#include "downloadcommand.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "cliexitcode.h"
#include "cliservices.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"
#include "stopsignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

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

// The product's files as the service lists them, those named wantedName only when it is given.
std::vector<std::unique_ptr<LibraryFile>> productFiles(LibraryItem *item, const DownloadContext &context,
                                                       const QJsonObject &product, const QString &wantedName)
{
    std::vector<std::unique_ptr<LibraryFile>> files;
    for (const QJsonValue &value : product.value(QLatin1String("files")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString name = entry.value(QLatin1String("filename")).toString();
        if (name.isEmpty() || (!wantedName.isEmpty() && name != wantedName))
            continue;
        auto file = std::make_unique<LibraryFile>(item, context);
        file->setServerFileName(name);
        file->setBundleId(entry.value(QLatin1String("bundle_id")).toInt());
        file->setTotalSize(entry.value(QLatin1String("raw_filesize_bytes")).toVariant().toLongLong());
        RemoteAPI::updateFileChecksums(entry.value(QLatin1String("checksums")).toArray(), file.get());
        files.push_back(std::move(file));
    }
    return files;
}

// Prints every file's outcome once none is queued or transferring any more and ends the loop.
void finishWhenAtRest(const std::vector<std::unique_ptr<LibraryFile>> &files)
{
    for (const auto &file : files) {
        if (!atRest(file.get()))
            return;
    }
    int exitCode = Success;
    for (const auto &file : files) {
        printResult(file.get());
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
    services->prepareDownloads(QDir(dir).absolutePath());

    LibraryItem item;
    std::vector<std::unique_ptr<LibraryFile>> files;

    NetworkReplyWrapper *request = api->getTitleInfo(productId);
    QObject::connect(request, &NetworkReplyWrapper::replyFinished, qApp, [&](bool success, const QJsonValue &message) {
        if (!success) {
            printError(tr("product %1 could not be read from the storefront").arg(productId));
            QCoreApplication::exit(Failed);
            return;
        }
        const QJsonObject product = message.toObject();
        item.setProductId(productId);
        item.setTitle(product.value(QLatin1String("products_name")).toString());
        item.setPublisher(product.value(QLatin1String("publishers_name")).toString());
        item.setDatePurchased(product.value(QLatin1String("date_purchased")).toString());
        files = productFiles(&item, services->downloadContext(), product, wantedName);
        if (files.empty()) {
            printError(wantedName.isEmpty() ? tr("product %1 has no files").arg(productId)
                                            : tr("product %1 has no file named %2").arg(productId, wantedName));
            QCoreApplication::exit(Failed);
            return;
        }
        for (const auto &file : files) {
            // A file that is verified and then found without server checksums changes twice in
            // one go; the outcome is read once things have settled.
            QObject::connect(file.get(), &LibraryFile::statusChanged, qApp, [&files] {
                QTimer::singleShot(0, qApp, [&files] { finishWhenAtRest(files); });
            });
            services->downloadManager()->setFileStatus(file.get(), LibraryFile::Queued);
        }
    });
    QObject::connect(stopSignals, &StopSignals::stopRequested, qApp, [&files](int signalNumber) {
        for (const auto &file : files)
            file->stopDownload();
        QCoreApplication::exit(InterruptedBase + signalNumber);
    });
    const int code = QCoreApplication::exec();
    for (const auto &file : files)
        file->stopDownload();
    return code;
}
