#pragma once

#include "../../tools/ui-screenshots/qmlitems.h"

#include "app/core/constants.h"
#include "app/quenlithapplication.h"
#include "app/core/settings.h"
#include "storefrontsim.h"

#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>

// A test of the real window gets a scratch profile, a simulator with `products` products that
// the program is pointed at, and a library folder of its own; `run` makes the test and runs it.
template<typename Run>
int runWindowTest(int argc, char *argv[], int products, Run run)
{
    QTemporaryDir profile;
    QTemporaryDir library;
    QmlItems::useScratchProfile(profile.path(), Constants::ApplicationVersion);
    StorefrontSim::Options options;
    options.products = products;
    StorefrontSim sim(options);
    if (!sim.start())
        return 1;
    qputenv("TOLVANE_API_BASE_URL", sim.baseUrl().toUtf8());
    qputenv("TOLVANE_UPDATE_MANIFEST_URL", sim.manifestUrl().toUtf8());
    QuenlithApplication app(argc, argv);
    app.settings()->setLibraryDirectory(library.path());
    return run(app, sim, library);
}

// What the tests of the real window read of it: items by name and the screen on top.
class WindowProbe
{
public:
    explicit WindowProbe(QuenlithApplication &app) : m_window(app) {}

    QQuickView *view() const { return m_window.view(); }
    QObject *root() const { return view()->rootObject(); }
    QQuickItem *item(const QString &name) const { return QmlItems::findItem(root(), name); }
    QQuickItem *screen() const
    {
        return QmlItems::find(root(), QStringLiteral("screenStack"))->property("currentItem").value<QQuickItem *>();
    }
    QString currentScreen() const { return screen() ? screen()->objectName() : QString(); }
    bool stackSettled() const
    {
        return !QmlItems::find(root(), QStringLiteral("screenStack"))->property("busy").toBool();
    }

private:
    QuenlithApplication &m_window;
};
