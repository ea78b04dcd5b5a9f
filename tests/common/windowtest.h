#pragma once

#include "../../tools/ui-screenshots/qmlitems.h"

#include "guitest.h"

#include "app/core/constants.h"
#include "app/quenlithapplication.h"
#include "app/core/settings.h"
#include "storefrontsim.h"

#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// Runs before the program is made, with the simulator, the profile and the library folder.
using BeforeStart = std::function<bool(StorefrontSim &, const QTemporaryDir &, const QTemporaryDir &)>;

// A test case of the real window, with the program and the simulator it drives: what it reads
// of the window, and the keys a person presses in it.
class WindowTest : public QObject
{
public:
    WindowTest(QuenlithApplication &app, StorefrontSim &sim, const QTemporaryDir &library)
        : m_app(app), m_sim(sim), m_library(library)
    {
    }

protected:
    QQuickView *view() const { return m_app.view(); }
    QObject *root() const { return view()->rootObject(); }
    QQuickItem *item(const QString &name) const { return QmlItems::findItem(root(), name); }
    QObject *object(const QString &name) const { return QmlItems::find(root(), name); }
    QObject *dialog(const char *property) const { return root()->property(property).value<QObject *>(); }
    static bool isOpen(QObject *popup) { return popup->property("opened").toBool() || popup->property("visible").toBool(); }
    QQuickItem *screen() const { return object(QStringLiteral("screenStack"))->property("currentItem").value<QQuickItem *>(); }
    QString currentScreen() const { return screen() ? screen()->objectName() : QString(); }
    bool stackSettled() const { return !object(QStringLiteral("screenStack"))->property("busy").toBool(); }
    // The screen is shown and its transition over: the stack takes no keys or clicks before.
    bool settledOn(const QString &name) const
    {
        return QTest::qWaitFor([&] { return currentScreen() == name && stackSettled(); });
    }
    QQuickItem *libraryList() const
    {
        return QmlItems::findItem(object(QStringLiteral("listViewLoader")), QStringLiteral("libraryList"));
    }

    void closePopup(QObject *popup) const
    {
        QMetaObject::invokeMethod(popup, "close");
        QTRY_VERIFY(!isOpen(popup));
        // A message's own window blocks ours until it is really gone, and may keep the focus
        // after it (no window manager hands it back): keys sent before then are lost.
        QTRY_VERIFY(!QGuiApplication::modalWindow());
        view()->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), static_cast<QWindow *>(view()));
    }

    // Back down the stack of screens to the library.
    bool backToLibrary() const
    {
        while (currentScreen() != QStringLiteral("mainScreen")) {
            if (!screen() || !QMetaObject::invokeMethod(screen(), "goBack"))
                return false;
            if (!QTest::qWaitFor([this] { return stackSettled(); }))
                return false;
        }
        return true;
    }

    // Keys reach the focused item of the active window only; another test's window may have taken it.
    bool activate() const
    {
        if (view()->isActive())
            return true;
        view()->requestActivate();
        return QTest::qWaitForWindowActive(view());
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QVERIFY(activate());
        QTest::keyClick(view(), Qt::Key(key), modifiers);
    }
    // A key press for each character.
    void type(const QString &text) const
    {
        for (const QChar c : text) {
            QVERIFY(activate());
            QTest::keyClick(view(), c.toLatin1());
        }
    }
    // Tab on until the item has the focus, as a person tabs through the window to a control.
    bool tabTo(const std::function<QQuickItem *()> &target, int tabs = 80) const
    {
        for (int i = 0; i < tabs; ++i) {
            if (QQuickItem *wanted = target(); wanted && wanted->hasActiveFocus())
                return true;
            key(Qt::Key_Tab);
        }
        return false;
    }

    QuenlithApplication &m_app;
    StorefrontSim &m_sim;
    const QTemporaryDir &m_library;
};

// A test of the real window gets a scratch profile, a simulator with `products` products that
// the program is pointed at, and a library folder of its own.
template<typename Test>
int execWindowTest(int argc, char *argv[], int products, const BeforeStart &beforeStart = {})
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
    if (beforeStart && !beforeStart(sim, profile, library))
        return 1;
    QuenlithApplication app(argc, argv);
    app.settings()->setLibraryDirectory(library.path());
    // A script error in the window's code is a fault even where no case looks at what it undid.
    QStringList scriptErrors;
    QObject::connect(app.view()->engine(), &QQmlEngine::warnings, [&](const QList<QQmlError> &errors) {
        for (const QQmlError &error : errors)
            scriptErrors.append(error.toString());
    });
    const int result = [&] {
        Test test(app, sim, library);
        return QTest::qExec(&test, argc, argv);
    }();
    keepGlDriverLoaded();
    if (!scriptErrors.isEmpty()) {
        qWarning().noquote() << "FAIL: the window reported" << scriptErrors.join(QLatin1String("; "));
        return result ? result : 1;
    }
    return result;
}
