// What a screen reader and a keyboard user get from the window: every control that can be
// reached or pressed has a name that is not its value, in each screen and dialog, and keyboard
// focus is drawn on each kind of control.
#include "api/libraryerrortype.h"
#include "api/remoteapi.h"
#include "dialogs/applicationupdater.h"
#include "library/errorslistmodel.h"
#include "windowtest.h"

#include <QAccessible>
#include <QtTest>

namespace {

// Dialogs that are opened and closed by the test; the updater's closes itself.
const char *const kDialogs[] = {"askDeleteDialog", "askUpdateFileDialog", "askFreeSpaceDialog", "errorsListDialog"};

// A control a person can reach or press: it must say what it does.
bool isActionable(QAccessibleInterface *iface)
{
    if (iface->state().focusable)
        return true;
    if (QAccessibleActionInterface *actions = iface->actionInterface()) {
        const QStringList names = actions->actionNames();
        return names.contains(QAccessibleActionInterface::pressAction())
            || names.contains(QAccessibleActionInterface::toggleAction());
    }
    return false;
}

QString describe(QAccessibleInterface *iface)
{
    const QObject *object = iface->object();
    const QRect r = iface->rect();
    return QStringLiteral("%1 role %2 \"%3\" at %4,%5 %6x%7")
        .arg(object ? QString::fromLatin1(object->metaObject()->className()) + QLatin1Char(' ') + object->objectName()
                    : QStringLiteral("?"))
        .arg(int(iface->role()))
        .arg(iface->text(QAccessible::Name))
        .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

void collectFaults(QAccessibleInterface *iface, QStringList &faults, int depth = 0)
{
    if (!iface || depth > 64 || iface->state().invisible)
        return;
    if (isActionable(iface)) {
        // Qt never gives a password field's name out, so that no text of it leaks; the
        // description says what it is there.
        const QString name = iface->text(iface->state().passwordEdit ? QAccessible::Description : QAccessible::Name).trimmed();
        const QString value = iface->text(QAccessible::Value).trimmed();
        if (name.isEmpty())
            faults << QStringLiteral("no name: ") + describe(iface);
        else if (name == value)
            faults << QStringLiteral("named by its value: ") + describe(iface);
    }
    for (int i = 0; i < iface->childCount(); ++i)
        collectFaults(iface->child(i), faults, depth + 1);
}

// Items the tree leaves out still must not take the keyboard without a name.
void collectUnnamedTabStops(QQuickItem *item, QStringList &faults)
{
    if (!item->isVisible())
        return;
    if (item->activeFocusOnTab() && item->isEnabled()) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(item);
        const auto text = iface && iface->state().passwordEdit ? QAccessible::Description : QAccessible::Name;
        if (!iface || iface->text(text).trimmed().isEmpty())
            faults << QStringLiteral("unnamed tab stop: %1 %2")
                          .arg(QString::fromLatin1(item->metaObject()->className()), item->objectName());
    }
    for (QQuickItem *child : item->childItems())
        collectUnnamedTabStops(child, faults);
}

} // namespace

class TestAccessibility : public WindowTest
{
    Q_OBJECT
public:
    using WindowTest::WindowTest;

private:
    void closeDialogs()
    {
        for (const char *name : kDialogs)
            QMetaObject::invokeMethod(dialog(name), "close");
        // The updater hears Escape as "Cancel" and closes its dialog itself.
        if (QObject *d = dialog("askUpdateAppDialog"); d && d->property("visible").toBool())
            key(Qt::Key_Escape);
        for (const char *name : kDialogs)
            QTRY_VERIFY(!dialog(name)->property("visible").toBool());
        QTRY_VERIFY(!dialog("askUpdateAppDialog")->property("visible").toBool());
    }
    QQuickWindow *aboutWindow() const { return object(QStringLiteral("aboutLoader"))->property("item").value<QQuickWindow *>(); }
    // Puts the window in a state; the rows of the data table run in order and build on each other.
    void enterState(const QString &state)
    {
        if (state == QLatin1String("login-get-key")) {
            QVERIFY(QmlItems::click(item("getMyKeyLink")));
            QTRY_VERIFY(item("getKeyView")->isVisible());
        } else if (state == QLatin1String("login-wrong-key")) {
            QVERIFY(QmlItems::click(item("backLink")));
            QTRY_VERIFY(item("keyView")->isVisible());
            item("keyField")->setProperty("text", QStringLiteral("not-a-key"));
            QVERIFY(QmlItems::click(item("loginButton")));
            QTRY_VERIFY(item("errorRow")->property("shown").toBool());
        } else if (state == QLatin1String("library-list")) {
            item("keyField")->setProperty("text", m_sim.appKey());
            QVERIFY(QmlItems::click(item("loginButton")));
            QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
            QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
            QTRY_VERIFY(libraryList() && libraryList()->property("count").toInt() > 0);
        } else if (state == QLatin1String("library-selection")) {
            m_app.setIsInSelectionMode(true);
            QTRY_VERIFY(item("selectionPanel")->isVisible());
        } else if (state == QLatin1String("library-tiles")) {
            m_app.setIsInSelectionMode(false);
            QTRY_VERIFY(item("tabPanel")->isVisible());
            QVERIFY(QmlItems::click(item("tileHalf")));
            QTRY_VERIFY(QmlItems::findItem(object(QStringLiteral("tileViewLoader")),
                                           QStringLiteral("libraryTiles"))->isVisible());
        } else if (state == QLatin1String("status-error")) {
            QVERIFY(QmlItems::click(item("listHalf")));
            emit m_app.downloadManager()->downloadFailedForItem(nullptr);
            QTRY_VERIFY(item("statusBar")->isVisible());
        } else if (state.startsWith(QLatin1String("ask"))) {
            item("statusBar")->setVisible(false);
            dialog("askUpdateFileDialog")->setProperty("text", QStringLiteral("A newer alpha.pdf is available. Update it?"));
            openPopup(dialog(qPrintable(state)));
        } else if (state == QLatin1String("dialog-errors-list")) {
            m_app.errorsListModel()->addError(LibraryErrorType::DownloadError, QStringLiteral("Harrowdeep Bestiary"), 0);
            m_app.errorsListModel()->addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
            openPopup(dialog("errorsListDialog"));
        } else if (state == QLatin1String("dialog-update-app")) {
            m_sim.setManifest(QStringLiteral("9.0.0.0"), QStringLiteral("2030-01-01 12:00:00"), 0, 0);
            m_app.updater()->checkUpdates(false);
            QTRY_VERIFY_WITH_TIMEOUT(dialog("askUpdateAppDialog") && dialog("askUpdateAppDialog")->property("opened").toBool(),
                                     20000);
        } else if (state == QLatin1String("book-details")) {
            QMetaObject::invokeMethod(root(), "openBookDetails", Q_ARG(QVariant, 0));
            QTRY_COMPARE(currentScreen(), QStringLiteral("bookDetails"));
            QTRY_VERIFY(item("fileRow"));
        } else if (state == QLatin1String("settings")) {
            QVERIFY(backToLibrary());
            QVERIFY(QmlItems::click(item("settingsButton")));
            QTRY_COMPARE(currentScreen(), QStringLiteral("settingsWindow"));
        } else if (state == QLatin1String("about")) {
            closeDialogs();
            QMetaObject::invokeMethod(root(), "showAbout");
            QVERIFY(aboutWindow() && QTest::qWaitForWindowExposed(aboutWindow()));
        }
        // Controls set their roles as the reader arrives; new ones since the last walk as well.
        QAccessible::setActive(true);
        // The screen's fade-in ends before the tree is read.
        QTRY_VERIFY(stackSettled());
    }

private slots:
    void initTestCase()
    {
        view()->showNormal();
        view()->resize(920, 700);
        // Shortcuts (Escape in a dialog) go to the active window only.
        QVERIFY(activate());
        QAccessible::setActive(true);
    }

    void namesInEveryState_data()
    {
        QTest::addColumn<QString>("state");
        for (const char *state : {"login-key", "login-get-key", "login-wrong-key", "library-list", "library-selection",
                                  "library-tiles", "status-error", "askDeleteDialog", "askUpdateFileDialog",
                                  "askFreeSpaceDialog", "dialog-errors-list", "dialog-update-app", "book-details",
                                  "settings", "about"})
            QTest::newRow(state) << QString::fromLatin1(state);
    }

    void namesInEveryState()
    {
        QFETCH(QString, state);
        enterState(state);
        QQuickWindow *window = state == QLatin1String("about") ? aboutWindow() : view();
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(window);
        QVERIFY(tree);
        QVERIFY(tree->childCount() > 0);
        QStringList faults;
        collectFaults(tree, faults);
        collectUnnamedTabStops(window->contentItem(), faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        if (state == QLatin1String("status-error")) {
            // Informative texts are read out with their current value.
            QAccessibleInterface *status = QAccessible::queryAccessibleInterface(item("statusText"));
            QVERIFY(status);
            QCOMPARE(status->role(), QAccessible::StaticText);
            QCOMPARE(status->text(QAccessible::Name), item("statusText")->property("text").toString());
        }
        if (state == QLatin1String("about"))
            window->close();
        if (state.startsWith(QLatin1String("dialog-")) || state.startsWith(QLatin1String("ask")))
            closeDialogs();
    }

    // Keyboard focus changes what is drawn around each kind of control, on the dark header and on
    // the light list alike; the focus is moved there by Tab, as a person would.
    void focusRingShows_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("button on the dark header") << "settingsButton";
        QTest::newRow("filter button") << "filterAll";
        QTest::newRow("view toggle") << "listHalf";
        QTest::newRow("combo box") << "sortBox";
        QTest::newRow("search field") << "searchField";
        QTest::newRow("library list row") << "libraryList";
        QTest::newRow("row action") << "actionButton";
    }

    void focusRingShows()
    {
        QFETCH(QString, target);
        QVERIFY(backToLibrary());
        QTRY_VERIFY(libraryList() && libraryList()->isVisible());
        QQuickItem *wanted = nullptr;
        if (target == QLatin1String("searchField"))
            wanted = object(QStringLiteral("searchFieldLoader"))->property("item").value<QQuickItem *>();
        else if (target == QLatin1String("actionButton"))
            wanted = QmlItems::findItem(libraryList()->property("currentItem").value<QQuickItem *>(), target);
        else if (target == QLatin1String("listHalf"))
            wanted = item(target)->childItems().last();
        else if (target == QLatin1String("libraryList"))
            wanted = libraryList();
        else
            wanted = item(target);
        QVERIFY(wanted);
        QVERIFY(activate());

        // Nothing focused in the window, then Tab until the target has the focus.
        view()->contentItem()->forceActiveFocus();
        QCoreApplication::processEvents();
        const QRect area = QRectF(wanted->mapToScene(QPointF(-6, -6)), QSizeF(wanted->width() + 12, wanted->height() + 12))
                               .toAlignedRect();
        const qreal ratio = view()->effectiveDevicePixelRatio();
        const auto picture = [&] {
            return view()->grabWindow().copy(QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio).toRect());
        };
        const QImage before = picture();
        QVERIFY2(tabTo([wanted] { return wanted; }), "Tab does not reach it");
        QTRY_VERIFY(before != picture());
    }

};

int main(int argc, char *argv[])
{
    return execWindowTest<TestAccessibility>(argc, argv, 6);
}

#include "tst_accessibility.moc"
