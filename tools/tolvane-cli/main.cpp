// tolvane-cli: signs in to the storefront, lists the library, and keeps a folder in step with
// it from a terminal or a schedule, through the same service client and settings store as the
// program.
#include "api/remoteapi.h"
#include "app/core/constants.h"
#include "app/core/instanceguard.h"
#include "cliexitcode.h"
#include "cliservices.h"
#include "console.h"
#include "downloadcommand.h"
#include "downloads/downloadmanager.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"
#include "stopsignals.h"
#include "synccommand.h"
#include "verifycommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QScopeGuard>
#include <QThreadPool>

#include <cstdio>

namespace {

using namespace CliExitCode;

bool g_verbose = false;

// The service log is for --verbose; warnings and worse always reach standard error.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && !g_verbose)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

QString tr(const char *text)
{
    return QCoreApplication::translate("tolvane-cli", text);
}

void printError(const QString &text)
{
    std::fprintf(stderr, "tolvane-cli: %s\n", qUtf8Printable(text));
}

void printLine(const QString &text)
{
    std::fprintf(stdout, "%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

bool requireSignIn(RemoteAPI *api)
{
    if (api->loggedIn())
        return true;
    printError(tr("not signed in; run \"tolvane-cli login KEY\" first"));
    return false;
}

int getKey(RemoteAPI *api, const QString &email, const QString &password)
{
    QObject::connect(api, &RemoteAPI::getKeySucceeded, qApp, [](const QString &key) {
        printLine(key);
        QCoreApplication::exit(Success);
    });
    QObject::connect(api, &RemoteAPI::getKeyFailed, qApp, [](const QString &message) {
        printError(message.isEmpty() ? tr("could not get a key (no answer from the storefront)")
                                     : tr("could not get a key: %1").arg(message));
        QCoreApplication::exit(Failed);
    });
    api->doGetKey(email, password);
    return QCoreApplication::exec();
}

int login(RemoteAPI *api, const QString &key)
{
    if (key.isEmpty()) {
        printError(tr("the key is empty"));
        return Usage;
    }
    QString notSaved;
    QObject::connect(api, &RemoteAPI::errorReported, qApp, [&notSaved](LibraryErrorType::ErrorType, const QString &message) {
        notSaved = message;
    });
    QObject::connect(api, &RemoteAPI::loginSucceeded, qApp, [api, &notSaved] {
        if (!notSaved.isEmpty()) {
            printError(tr("signed in, but the sign-in could not be kept: %1").arg(notSaved));
            QCoreApplication::exit(Failed);
            return;
        }
        printLine(tr("Signed in as %1").arg(api->nameSurname().trimmed()));
        QCoreApplication::exit(Success);
    });
    QObject::connect(api, &RemoteAPI::loginFailed, qApp, [] {
        printError(tr("sign-in failed: wrong key, or the storefront cannot be reached"));
        QCoreApplication::exit(Failed);
    });
    api->doLogin(key);
    return QCoreApplication::exec();
}

int refresh(RemoteAPI *api)
{
    if (!requireSignIn(api))
        return NotSignedIn;
    QJsonArray products;
    QObject::connect(api, &RemoteAPI::titlesRefreshResult, qApp, [&products](int, const QJsonArray &page) {
        for (const QJsonValue &product : page)
            products.append(product);
    });
    QObject::connect(api, &RemoteAPI::refreshLibraryFinished, qApp, [&products](bool success) {
        if (!success) {
            printError(tr("the library could not be read from the storefront"));
            QCoreApplication::exit(Failed);
            return;
        }
        int files = 0;
        for (const QJsonValue &product : qAsConst(products))
            files += product.toObject().value(QLatin1String("files")).toArray().size();
        std::fprintf(stdout, "%s", QJsonDocument(products).toJson(QJsonDocument::Indented).constData());
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", qUtf8Printable(tr("%1 products, %2 files").arg(products.size()).arg(files)));
        QCoreApplication::exit(Success);
    });
    api->refreshLibrary(1);
    return QCoreApplication::exec();
}

// Commands that write the library folder or the tool's saved library hold the profile's guard
// while they run, so neither the program nor a second run writes beside them.
bool claimProfile(Console &console)
{
    switch (InstanceGuard::claim(false)) {
    case InstanceGuard::Claimed:
        return true;
    case InstanceGuard::Unavailable:
        console.error(tr("warning: the profile cannot be guarded against a second writer; going on"));
        return true;
    case InstanceGuard::HeldElsewhere:
        break;
    }
    console.error(tr("the program, or another run of tolvane-cli, is using this profile; try again once it has ended"));
    return false;
}

// `library`: the tool's saved library, one line per file: product ID, file name and status,
// separated by tabs.
int listLibrary()
{
    IdleFileActions idle;
    OnlineLibrary library(idle);
    library.setStoreName(SyncCommand::storeName());
    library.load();
    for (int row = 0; row < library.rowCount(); ++row) {
        LibraryItem *item = library.itemAt(row);
        for (LibraryFile *file : item->filesModel()->files()) {
            const char *status = QMetaEnum::fromType<LibraryFile::Status>().valueToKey(file->status());
            printLine(item->productId() + QLatin1Char('\t') + file->serverFileName() + QLatin1Char('\t')
                      + QLatin1String(status ? status : "?"));
        }
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Worker threads are joined before the libraries they used (the digest's) are torn down at
    // exit, so that what those keep per thread is released first.
    const auto joinWorkerThreads = qScopeGuard([] { QThreadPool::globalInstance()->waitForDone(); });
    QCoreApplication::setOrganizationName(Constants::OrganizationName);
    QCoreApplication::setApplicationName(Constants::ApplicationName);
    QCoreApplication::setApplicationVersion(Constants::ApplicationVersion);
    qInstallMessageHandler(messageHandler);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Signs in to the storefront and reads the library, sharing the program's settings.\n"
           "The service address may be set with TOLVANE_API_BASE_URL."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     tr("Write the service log to standard error."));
    parser.addOption(verbose);
    const QCommandLineOption dirOption(QStringLiteral("dir"), tr("Library folder to download into or verify."),
                                       QStringLiteral("DIR"));
    parser.addOption(dirOption);
    const QCommandLineOption md5sumsOption(QStringLiteral("md5sums"),
                                           tr("verify: also write FILE for \"md5sum -c\", run from DIR."),
                                           QStringLiteral("FILE"));
    parser.addOption(md5sumsOption);
    const QCommandLineOption fullOption(QStringLiteral("full"),
                                        tr("verify: hash every file, also those unchanged since the last verify."));
    parser.addOption(fullOption);
    const QCommandLineOption progressOption(QStringLiteral("progress"),
                                            tr("sync, verify: show the progress line even when the output is not a terminal."));
    parser.addOption(progressOption);
    const QCommandLineOption noProgressOption(QStringLiteral("no-progress"), tr("sync, verify: never show the progress line."));
    parser.addOption(noProgressOption);
    const QCommandLineOption limitRateOption(
        QStringLiteral("limit-rate"),
        tr("sync, download: at most RATE bytes per second for all files together; K and M are KiB and MiB (\"4M\")."),
        QStringLiteral("RATE"));
    parser.addOption(limitRateOption);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 tr("get-key EMAIL PASSWORD | login KEY | refresh | download PRODUCT_ID [FILE_NAME] --dir DIR"
                                    " | sync --dir DIR | verify --dir DIR [--md5sums FILE] [--full] | library"));
    parser.process(app);
    g_verbose = parser.isSet(verbose);
    const bool showProgress = !parser.isSet(noProgressOption)
        && (parser.isSet(progressOption) || Console::outputIsTerminal());
    Console console(showProgress);

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    CliServices services;
    RemoteAPI *api = services.remoteAPI();

    if (command == QLatin1String("get-key") && args.size() == 3)
        return getKey(api, args.at(1), args.at(2));
    if (command == QLatin1String("login") && args.size() == 2)
        return login(api, args.at(1));
    if (command == QLatin1String("refresh") && args.size() == 1)
        return refresh(api);
    if (command == QLatin1String("library") && args.size() == 1)
        return listLibrary();
    const QString dir = parser.value(dirOption);
    if (parser.isSet(limitRateOption)) {
        const qint64 rate = RateLimiter::parseRate(parser.value(limitRateOption));
        if (rate <= 0) {
            printError(tr("--limit-rate takes a rate such as 500K or 4M, not \"%1\"").arg(parser.value(limitRateOption)));
            return Usage;
        }
        services.downloadManager()->rateLimiter().setRate(rate);
    }
    if ((command == QLatin1String("sync") || command == QLatin1String("verify")) && (args.size() != 1 || dir.isEmpty())) {
        printError(command == QLatin1String("sync") ? tr("usage: sync --dir DIR")
                                                    : tr("usage: verify --dir DIR [--md5sums FILE] [--full]"));
        return Usage;
    }
    if (command == QLatin1String("sync") && args.size() == 1 && !dir.isEmpty()) {
        if (!requireSignIn(api))
            return NotSignedIn;
        if (!claimProfile(console))
            return ProfileBusy;
        StopSignals stopSignals;
        SyncCommand sync(&services, &console, &stopSignals, dir);
        return sync.run();
    }
    if (command == QLatin1String("verify") && args.size() == 1 && !dir.isEmpty()) {
        if (!claimProfile(console))
            return ProfileBusy;
        StopSignals stopSignals;
        VerifyCommand verify(&console, &stopSignals, dir, parser.value(md5sumsOption), parser.isSet(fullOption));
        return verify.run();
    }
    if (command == QLatin1String("download")) {
        StopSignals stopSignals;
        if (args.size() < 2 || args.size() > 3 || dir.isEmpty())
            return runDownloadCommand(&services, &stopSignals, args.mid(1), dir);
        if (!requireSignIn(api))
            return NotSignedIn;
        if (!claimProfile(console))
            return ProfileBusy;
        return runDownloadCommand(&services, &stopSignals, args.mid(1), dir);
    }

    printError(command.isEmpty() ? tr("no command given") : tr("unknown command or wrong arguments: %1").arg(args.join(' ')));
    std::fprintf(stderr, "%s", qUtf8Printable(parser.helpText()));
    return Usage;
}
