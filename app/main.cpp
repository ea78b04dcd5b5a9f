#include <QApplication>
#include <QQuickView>

#include "app/constants.h"

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setApplicationName(Constants::ApplicationName);
    QCoreApplication::setOrganizationName(Constants::OrganizationName);
    QCoreApplication::setApplicationVersion(Constants::ApplicationVersion);

    QApplication app(argc, argv);
    QQuickView view;
    view.setTitle(Constants::ApplicationName);
    view.resize(920, 700);
    view.show();
    return app.exec();
}
