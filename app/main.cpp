#include "app/core/constants.h"
#include "app/core/logger.h"
#include "app/quenlithapplication.h"
#include "app/core/settings.h"

#include <QCommandLineParser>
#include <QDebug>
#include <QGuiApplication>

#include <cstdio>
#include <ctime>

namespace {

// Qt's own options that take a value; the application object reads and removes them later.
const char *const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowtitle", "qwindowicon", "style",
                                       "stylesheet", "display", "session", "name"};
const char *const kQtFlags[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

// Answers --help and --version, and refuses what it does not know, before any display is
// needed. Returns the exit code, or -1 when the program should start.
int handleCommandLine(int argc, char *argv[])
{
    // The help text names the program from the application object; this one needs no display
    // and is gone before the window's own is made.
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Library client for the Tolvane game book store."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({QStringLiteral("text-model"),
                      QCoreApplication::translate("main", "Keep the saved library as JSON text.")});
    for (const char *name : kQtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    // Qt's options come with one dash.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    if (!parser.parse(probe.arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(Constants::ApplicationName.toLower()),
                    qPrintable(Constants::ApplicationVersion));
        return 0;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(QCoreApplication::translate("main", "Unexpected argument: %1")
                                                      .arg(parser.positionalArguments().first())));
        return 2;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Without TZ, glibc re-reads /etc/localtime on every local-time conversion; an empty TZ means UTC and stays.
    if (!qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", ":/etc/localtime");
        tzset();
    }
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // A desktop at 125 % or 150 % gets that factor; rounded up to 2 the window outgrows the screen.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QCoreApplication::setApplicationName(Constants::ApplicationName);
    QCoreApplication::setOrganizationName(Constants::OrganizationName);
    QCoreApplication::setApplicationVersion(Constants::ApplicationVersion);
    // Desktops match windows to the installed menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tolvane_store.tolvane"));

    const int answered = handleCommandLine(argc, argv);
    if (answered >= 0)
        return answered;

    if (SingleApplication::isAnotherInstanceRunning())
        return 0;

    // Installed first: what the controller logs while it starts is held until the log opens.
    qInstallMessageHandler(messageHandler);
    QuenlithApplication app(argc, argv);

    Logger::instance().setEnabledPredicate([&app] { return app.settings()->loggingEnabled(); });
    qDebug().nospace() << "INFO: " << QStringLiteral("Start application v%1").arg(Constants::ApplicationVersion);

    const int result = app.exec();
    // The controller's settings go with it; lines written while it is torn down follow the last value.
    const bool loggingEnabled = app.settings()->loggingEnabled();
    Logger::instance().setEnabledPredicate([loggingEnabled] { return loggingEnabled; });
    return result;
}
