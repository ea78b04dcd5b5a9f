// tolvane-cli: signs in to the storefront and lists the library from a terminal, through the
// same service client and settings store as the program.
#include "api/remoteapi.h"
#include "app/constants.h"
#include "cliservices.h"
#include "downloadcommand.h"
#include "synccommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, Failed = 1, Usage = 2, NotSignedIn = 3 };

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
    QObject::connect(api, &RemoteAPI::loginSucceeded, qApp, [api] {
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
    if (!api->loggedIn()) {
        printError(tr("not signed in; run \"tolvane-cli login KEY\" first"));
        return NotSignedIn;
    }
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
    const QCommandLineOption dirOption(QStringLiteral("dir"), tr("Library directory for download."), QStringLiteral("DIR"));
    parser.addOption(dirOption);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 tr("get-key EMAIL PASSWORD | login KEY | refresh | download PRODUCT_ID [FILE_NAME] --dir DIR"
                                    " | sync --dir DIR | library"));
    parser.process(app);
    g_verbose = parser.isSet(verbose);

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
    if (command == QLatin1String("sync") && args.size() == 1)
        return runSyncCommand(&services, parser.value(dirOption));
    if (command == QLatin1String("library") && args.size() == 1)
        return runLibraryCommand();
    if (command == QLatin1String("download"))
        return runDownloadCommand(&services, args.mid(1), parser.value(dirOption));

    printError(command.isEmpty() ? tr("no command given") : tr("unknown command or wrong arguments: %1").arg(args.join(' ')));
    std::fprintf(stderr, "%s", qUtf8Printable(parser.helpText()));
    return Usage;
}
