#pragma once

#include "../../tools/ui-screenshots/qmlitems.h"

#include "app/constants.h"
#include "app/quenlithapplication.h"
#include "app/settings.h"
#include "storefrontsim.h"

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
