#include "app/constants.h"
#include "app/logger.h"
#include "app/quenlithapplication.h"
#include "app/settings.h"

#include <QDebug>
#include <QGuiApplication>

#include <ctime>

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
