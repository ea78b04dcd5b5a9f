// The window's QML content driven through the real controller, signed in to an in-process
// storefront simulator. In each screen and dialog the cases reach, every control that can be
// reached or pressed has a name that is not its value, for a screen reader; keyboard focus is
// drawn on each kind of control. No file manager on the bus: folders open through xdg-open,
// here a script on PATH that records what it was given.
#include "api/libraryerrortype.h"
#include "dialogs/applicationupdater.h"
#include "downloads/downloadmanager.h"
#include "downloads/folderscanner.h"
#include "downloads/libraryfile.h"
#include "library/errorslistmodel.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "windowtest.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

using QmlItems::click;

namespace {

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
    const QString type = object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("?");
    return QStringLiteral("%1 %2 role %3").arg(type, object ? object->objectName() : QString()).arg(int(iface->role()));
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

class TestMainForm : public WindowTest
{
    Q_OBJECT
public:
    using WindowTest::WindowTest;

private:
    static QQuickItem *rowDelegate(QQuickItem *list, int row)
    {
        for (QQuickItem *child : list->property("contentItem").value<QQuickItem *>()->childItems()) {
            // The content also holds items that are no rows, such as the current row's highlight.
            const QVariant index = child->property("rowIndex");
            if (child->isVisible() && index.isValid() && index.toInt() == row)
                return child;
        }
        return nullptr;
    }
    // The row brought to the top of the list, once laid out.
    QQuickItem *showRow(int row) const
    {
        QQuickItem *list = libraryList();
        QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, row), Q_ARG(int, 1 /* Beginning */));
        QQuickItem *delegate = nullptr;
        (void)QTest::qWaitFor([&] { return (delegate = rowDelegate(list, row)) != nullptr; });
        return delegate;
    }
    LibraryItem *productAt(int row) const { return m_app.onlineLibrary()->itemAt(m_app.libraryModel()->rowToSource(row)); }
    // The stack takes no clicks while its transition runs: the new screen is awaited until settled.
    void pressInto(QQuickItem *control, const QString &screenName)
    {
        QVERIFY(click(control));
        QVERIFY(settledOn(screenName));
    }

    void signIn()
    {
        if (m_app.remoteAPI()->loggedIn())
            return;
        QVERIFY(settledOn(QStringLiteral("loginWindow")));
        item("keyField")->setProperty("text", m_sim.appKey());
        QVERIFY(click(item("loginButton")));
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
    }

    // The single file of a product other than `other`'s, on disk: downloaded by a click on its
    // row when it is not there yet.
    LibraryFile *downloadThroughRow(int *rowOut, const LibraryFile *other = nullptr)
    {
        for (int r = 0; r < m_app.libraryModel()->rowCount(); ++r) {
            ItemFilesModel *files = productAt(r)->filesModel();
            LibraryFile *file = files->count() == 1 ? files->fileAt(0) : nullptr;
            if (!file || file == other)
                continue;
            if (file->status() == LibraryFile::Downloaded && QFileInfo(file->filePath()).isFile()) {
                *rowOut = r;
                return file;
            }
            if (file->status() != LibraryFile::Remote)
                continue;
            // A list just shown may still move to its kept place: a click that missed is repeated.
            for (int attempt = 0; attempt < 3 && file->status() == LibraryFile::Remote; ++attempt) {
                QQuickItem *delegate = showRow(r);
                if (!delegate)
                    return nullptr;
                click(QmlItems::findItem(delegate, QStringLiteral("actionFace")));
                (void)QTest::qWaitFor([file] { return file->status() != LibraryFile::Remote; }, 2000);
            }
            if (!QTest::qWaitFor([file] { return file->status() == LibraryFile::Downloaded; }, 60000))
                return nullptr;
            *rowOut = r;
            return file;
        }
        return nullptr;
    }

    // What the xdg-open on PATH was last given.
    static QString opened()
    {
        const QString bin = QFileInfo(QStandardPaths::findExecutable(QStringLiteral("xdg-open"))).absolutePath();
        QFile record(bin + QStringLiteral("/opened"));
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }
    void press(const std::function<QQuickItem *()> &target)
    {
        QVERIFY(tabTo(target));
        key(Qt::Key_Space);
    }

    // The window as it is now, or the given one, read as a screen reader does.
    void verifyNamed(QQuickWindow *window = nullptr)
    {
        window = window ? window : view();
        // Controls set their roles as the reader arrives; new ones since the last walk as well.
        QAccessible::setActive(true);
        // The screen's fade-in ends before the tree is read.
        QTRY_VERIFY(stackSettled());
        QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(window);
        QVERIFY(tree && tree->childCount() > 0);
        QStringList faults;
        collectFaults(tree, faults);
        collectUnnamedTabStops(window->contentItem(), faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // Opens a downloaded file's product by its row and presses the delete icon of its file.
    void pressDeleteInDetails(int row)
    {
        pressInto(QmlItems::findItem(showRow(row), QStringLiteral("actionFace")), QStringLiteral("bookDetails"));
        QQuickItem *fileRow = nullptr;
        QTRY_VERIFY((fileRow = QmlItems::findItem(screen(), QStringLiteral("fileRow")))
                    && fileRow->property("action").toString() == QStringLiteral("delete"));
        QVERIFY(click(QmlItems::findItem(fileRow, QStringLiteral("actionButton"))));
        QTRY_VERIFY(dialog("askDeleteDialog")->property("opened").toBool());
    }

private slots:
    void initTestCase()
    {
        m_app.view()->showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        QAccessible::setActive(true);
    }

    // Every case after the first starts signed in, on the library.
    void init()
    {
        if (qstrcmp(QTest::currentTestFunction(), "signInThroughTheWindow") == 0)
            return;
        signIn();
        QVERIFY(backToLibrary());
        // A case that stopped half-way leaves no search or selection behind for the next.
        m_app.setIsInSelectionMode(false);
        if (QObject *search = object(QStringLiteral("searchFieldLoader"))->property("item").value<QObject *>())
            search->setProperty("text", QString());
    }

    void signInThroughTheWindow()
    {
        QCOMPARE(currentScreen(), QStringLiteral("loginWindow"));
        verifyNamed();
        QQuickItem *loginButton = item("loginButton");
        QQuickItem *keyField = item("keyField");

        // The key field waits for the key. A wrong one: the error row appears and "Log In" can
        // be pressed again.
        QTRY_VERIFY(keyField->hasActiveFocus());
        type(QStringLiteral("not-a-key"));
        QVERIFY(click(loginButton));
        QVERIFY(!loginButton->isEnabled());
        QVERIFY(item("busyIndicator")->isVisible());
        QTRY_VERIFY(item("errorRow")->property("shown").toBool());
        QVERIFY(loginButton->isEnabled());

        // The key from e-mail and password lands in the key field.
        QVERIFY(click(item("getMyKeyLink")));
        QTRY_VERIFY(item("getKeyView")->isVisible());
        QVERIFY(!item("errorRow")->property("shown").toBool());
        verifyNamed();
        item("emailField")->setProperty("text", m_sim.email());
        item("passwordField")->setProperty("text", m_sim.password());
        QVERIFY(click(item("getKeyButton")));
        QTRY_COMPARE(keyField->property("text").toString(), m_sim.appKey());

        // Return pressed again while the answer is awaited sends no second sign-in; the first
        // sign-in shows the notice while the library is fetched.
        StorefrontSim::EndpointFault slow;
        slow.delayMs = 500;
        slow.times = 1;
        m_sim.setFault(StorefrontSim::Endpoint::Token, slow);
        m_sim.setFault(StorefrontSim::Endpoint::Library, slow);
        m_sim.clearRequestLog();
        QSignalSpy announced(m_app.remoteAPI(), &RemoteAPI::loggedInChanged);
        QVERIFY(click(keyField));
        QTRY_VERIFY(keyField->hasActiveFocus());
        for (int i = 0; i < 3; ++i)
            key(Qt::Key_Return);
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QVERIFY(item("firstLoginNotice")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QVERIFY(!item("firstLoginNotice")->isVisible());
        QCOMPARE(object("screenStack")->property("depth").toInt(), 1);
        QCOMPARE(m_sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")), 1);
        QCOMPARE(announced.count(), 1);
        QTRY_VERIFY(libraryList() && libraryList()->property("count").toInt() > 0);
        verifyNamed();
    }

    // A customer without a mouse finds a product, renews the sign-in, downloads the product's
    // file, shows it in its folder and deletes it again.
    void keyboardJourney()
    {
        // A product with one file, not on disk, whose title the test keyboard can type.
        LibraryItem *product = nullptr;
        for (int r = 0; r < m_app.libraryModel()->rowCount() && !product; ++r) {
            const QString title = productAt(r)->title();
            const bool typable = std::all_of(title.begin(), title.end(), [](QChar c) { return c.unicode() < 128; });
            if (productAt(r)->filesModel()->count() == 1 && typable)
                product = productAt(r);
        }
        QVERIFY(product);
        LibraryFile *file = product->filesModel()->fileAt(0);
        QCOMPARE(int(file->status()), int(LibraryFile::Remote));

        // Ctrl+F, the title, Tab into the list, Return opens the product.
        key(Qt::Key_F, Qt::ControlModifier);
        QQuickItem *search = object(QStringLiteral("searchFieldLoader"))->property("item").value<QQuickItem *>();
        QTRY_VERIFY(search->hasActiveFocus());
        type(product->title());
        QTRY_COMPARE(m_app.libraryModel()->rowCount(), 1);

        // A renewed token changes nothing the customer sees: the screen and the search stay.
        QSignalSpy announced(m_app.remoteAPI(), &RemoteAPI::loggedInChanged);
        m_sim.clearRequestLog();
        m_sim.expireTokens();
        key(Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")) == 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QCOMPARE(announced.count(), 0);
        QCOMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QCOMPARE(search->property("text").toString(), product->title());
        QCOMPARE(m_app.libraryModel()->rowCount(), 1);
        QVERIFY(!item("firstLoginNotice")->isVisible());
        key(Qt::Key_Tab);
        QQuickItem *list = item("libraryList");
        QTRY_VERIFY(list->hasActiveFocus());
        key(Qt::Key_Home);
        key(Qt::Key_Return);
        QVERIFY(settledOn(QStringLiteral("bookDetails")));

        // Tab to the file's button; Space downloads it.
        const auto fileAction = [this] { return QmlItems::findItem(screen(), QStringLiteral("actionArea")); };
        press(fileAction);
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        const QString path = file->filePath();
        QVERIFY(QFileInfo(path).isFile());

        // The file's folder, and the book's in the one above it; with no program for folders,
        // the status bar says so.
        const auto area = [this](const char *name) {
            return [this, name] { return QmlItems::findItem(screen(), QLatin1String(name)); };
        };
        press(area("folderArea"));
        QTRY_COMPARE(opened(), QFileInfo(path).absolutePath());
        press(area("productFolderArea"));
        QTRY_COMPARE(opened(), QFileInfo(QFileInfo(path).absolutePath()).absolutePath());
        qputenv("XDG_OPEN_EXIT", "3");
        press(area("folderArea"));
        QObject *bar = object(QStringLiteral("statusBar"));
        QTRY_VERIFY(bar->property("text").toString().contains("could not be opened"));
        qunsetenv("XDG_OPEN_EXIT");
        // Its close icon hides the bar without opening the errors list.
        QVERIFY(click(item("statusCloseArea")));
        QVERIFY(!bar->property("visible").toBool());
        QVERIFY(!isOpen(dialog("errorsListDialog")));

        // Delete, and Return answers the question.
        m_app.settings()->setShowDeleteConfirmation(true);
        QTRY_COMPARE(QmlItems::find(screen(), QStringLiteral("fileRow"))->property("action").toString(),
                     QStringLiteral("delete"));
        QVERIFY(tabTo(fileAction));
        key(Qt::Key_Return);
        QObject *ask = dialog("askDeleteDialog");
        QTRY_VERIFY(ask->property("opened").toBool());
        key(Qt::Key_Return);
        QTRY_COMPARE(int(file->status()), int(LibraryFile::Remote));
        QVERIFY(!QFileInfo::exists(path));
        QTRY_VERIFY(!ask->property("visible").toBool());

        // Escape leaves the details.
        key(Qt::Key_Escape);
        QVERIFY(settledOn(QStringLiteral("mainScreen")));
    }

    // A scan shows its notice until it ends.
    void scanNotice()
    {
        QObject *bar = object("statusBar");
        bar->setProperty("scanNoticeDelay", 20);
        bar->setProperty("visible", false);
        m_app.folderScanner()->setWithUI(true);
        emit m_app.libraryScanningStarted();
        QVERIFY(bar->property("visible").toBool());
        QCOMPARE(bar->property("state").toString(), QStringLiteral("folderScanner"));
        emit m_app.libraryScanningFinished();
        QTRY_VERIFY(!bar->property("visible").toBool());
    }

    // Ctrl+A ticks every product and Cancel clears them. With nothing left to update, the end
    // of the downloads goes back to "All" and ends the selection.
    void hasUpdatesFilter()
    {
        m_app.setIsInSelectionMode(true);
        key(Qt::Key_A, Qt::ControlModifier);
        QTRY_COMPARE(m_app.onlineLibrary()->selectedCount(), m_app.onlineLibrary()->rowCount());
        QVERIFY(click(item("cancelSelectionButton")));
        QCOMPARE(m_app.onlineLibrary()->selectedCount(), 0);
        QVERIFY(click(item("tileHalf")));
        QTRY_VERIFY(item("libraryTiles") && item("libraryTiles")->isVisible());
        verifyNamed();
        QQuickItem *updates = item("filterHasUpdates");
        m_app.onlineLibrary()->onUpdatedItemsChanged(true);
        QVERIFY(updates->isVisible());
        // The button's own signal: what a click does, whatever else shows on the shared display.
        QVERIFY(QMetaObject::invokeMethod(updates, "clicked"));
        QCOMPARE(int(m_app.libraryModel()->filter()), int(LibraryFilterType::UPDATE_AVAILABLE));
        m_app.setIsInSelectionMode(true);
        m_app.onlineLibrary()->onUpdatedItemsChanged(false);
        QVERIFY(!updates->isVisible());
        emit m_app.downloadManager()->downloadsRemainChanged();
        QCOMPARE(int(m_app.libraryModel()->filter()), int(LibraryFilterType::ALL));
        QCOMPARE(item("filterAll")->state(), QStringLiteral("selected"));
        QVERIFY(!m_app.isInSelectionMode());
    }

    // Swapped buttons would replace a file the user meant to keep.
    void dialogButtonsReachTheirSignals_data()
    {
        QTest::addColumn<QByteArray>("dialogName");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("signal");
        const QByteArray update = "askUpdateFileDialog", space = "askFreeSpaceDialog";
        QTest::newRow("overwrite") << update << "overwriteButton" << QByteArray(SIGNAL(replace()));
        QTest::newRow("rename") << update << "renameButton" << QByteArray(SIGNAL(rename()));
        QTest::newRow("do not update") << update << "doNotUpdateButton" << QByteArray(SIGNAL(cancel()));
        QTest::newRow("try again") << space << "tryAgainButton" << QByteArray(SIGNAL(tryAgain()));
        QTest::newRow("no space, cancel") << space << "cancelButton" << QByteArray(SIGNAL(cancel()));
    }

    void dialogButtonsReachTheirSignals()
    {
        QFETCH(QByteArray, dialogName);
        QFETCH(QString, button);
        QFETCH(QByteArray, signal);
        QObject *d = dialog(dialogName.constData());
        QMetaObject::invokeMethod(d, "open");
        QTRY_VERIFY(d->property("opened").toBool());
        verifyNamed();
        // The native side reads the remember box when the answer comes.
        if (QQuickItem *remember = QmlItems::findItem(d, QStringLiteral("rememberBox"))) {
            QVERIFY(click(remember));
            QVERIFY(d->property("remember").toBool());
            d->setProperty("remember", false);
        }
        QSignalSpy spy(d, signal.constData());
        QVERIFY(click(QmlItems::findItem(d, button)));
        QCOMPARE(spy.count(), 1);
        closePopup(d);
    }

    // Only entries that point at a product can be clicked; a click on one closes the list.
    void errorsList()
    {
        ErrorsListModel *model = m_app.errorsListModel();
        model->addError(LibraryErrorType::DownloadError, QStringLiteral("Bestiary"), 100);
        model->addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
        QObject *d = dialog("errorsListDialog");
        QMetaObject::invokeMethod(root(), "showErrorsListDialog");
        QTRY_VERIFY(d->property("opened").toBool());

        auto *list = QmlItems::findItem(d, QStringLiteral("errorsList"));
        // The list lays out its rows once the opened dialog has its size.
        const auto rows = [list] { return list->property("contentItem").value<QQuickItem *>()->childItems(); };
        QTRY_VERIFY(rows().size() >= model->rowCount());
        verifyNamed();
        QMap<QString, QQuickItem *> byText;
        for (QQuickItem *row : rows()) {
            if (QObject *first = QmlItems::find(row, QStringLiteral("errorFirstText")))
                byText.insert(first->property("text").toString(), row);
        }
        QVERIFY(click(byText.value(QStringLiteral("Error refreshing library. Please check your internet connection."))));
        QVERIFY(d->property("opened").toBool());
        QVERIFY(click(byText.value(QStringLiteral("Files failed to download: "))));
        QTRY_VERIFY(!d->property("visible").toBool());
    }

    // The offer of a newer version, and a download of it that fails: the reason replaces the
    // progress and only Cancel is left.
    void updateDialogShowsADownloadFailure()
    {
        m_sim.setManifest(QStringLiteral("9.0.0.0"), QStringLiteral("2030-01-01 12:00:00"), 0, 0);
        StorefrontSim::EndpointFault unavailable;
        unavailable.httpStatus = 503;
        unavailable.delayMs = 300;
        m_sim.setFault(StorefrontSim::Endpoint::Installer, unavailable);
        ApplicationUpdater *updater = m_app.updater();
        QObject *d = dialog("askUpdateAppDialog");
        updater->checkUpdates(false);
        QTRY_VERIFY_WITH_TIMEOUT(d->property("opened").toBool(), 20000);
        verifyNamed();
        QQuickItem *progress = QmlItems::findItem(d, QStringLiteral("progressBar"));

        QVERIFY(click(QmlItems::findItem(d, QStringLiteral("updateNowButton"))));
        QTRY_VERIFY(updater->downloading());
        QVERIFY(progress->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!updater->downloadError().isEmpty(), 20000);
        QCOMPARE(QmlItems::find(d, QStringLiteral("message"))->property("text").toString(), updater->downloadError());
        QVERIFY(!progress->isVisible());
        QQuickItem *cancel = QmlItems::findItem(d, QStringLiteral("cancelButton"));
        QTRY_VERIFY(cancel && cancel->isVisible());
        QVERIFY(!QmlItems::findItem(d, QStringLiteral("updateNowButton")));

        QVERIFY(click(cancel));
        QTRY_VERIFY(!d->property("visible").toBool());
        m_sim.clearFaults();
    }

    // ---- Book details: the delete question ----

    // Cancel, Escape and the close icon leave the file that asked, and the setting even with
    // "do not ask" ticked; the next confirmed question deletes its own file alone.
    void deleteQuestionReachesOnlyTheFileThatAsked_data()
    {
        QTest::addColumn<QString>("dismissal");
        QTest::newRow("cancel") << "cancelButton";
        QTest::newRow("escape") << "";
        QTest::newRow("close icon") << "dialogCloseArea";
    }

    void deleteQuestionReachesOnlyTheFileThatAsked()
    {
        QFETCH(QString, dismissal);
        m_app.settings()->setShowDeleteConfirmation(true);
        QVERIFY(click(item("listHalf")));
        int keptRow = -1, goneRow = -1;
        // Rows are clicked to download what is not on disk yet.
        LibraryFile *kept = downloadThroughRow(&keptRow);
        LibraryFile *gone = downloadThroughRow(&goneRow, kept);
        QVERIFY(kept && gone);
        const QString keptPath = kept->filePath(), gonePath = gone->filePath();
        QVERIFY2(keptPath.startsWith(m_library.path()), qPrintable(keptPath));

        QObject *ask = dialog("askDeleteDialog");
        const auto tickDoNotAsk = [ask] { return click(QmlItems::findItem(ask, QStringLiteral("dontShowBox"))); };
        pressDeleteInDetails(keptRow);
        verifyNamed();
        QVERIFY(tickDoNotAsk());
        if (dismissal.isEmpty())
            key(Qt::Key_Escape);
        else
            QVERIFY(click(QmlItems::findItem(ask, dismissal)));
        QTRY_VERIFY(!ask->property("visible").toBool());
        QVERIFY(m_app.settings()->showDeleteConfirmation());
        QVERIFY(backToLibrary());

        pressDeleteInDetails(goneRow);
        QVERIFY(tickDoNotAsk());
        QVERIFY(click(QmlItems::findItem(ask, QStringLiteral("deleteButton"))));
        QTRY_COMPARE(int(gone->status()), int(LibraryFile::Remote));
        QVERIFY(!QFileInfo::exists(gonePath));
        QCOMPARE(int(kept->status()), int(LibraryFile::Downloaded));
        QVERIFY(QFileInfo(keptPath).isFile());
        QVERIFY(!m_app.settings()->showDeleteConfirmation());
        object("statusBar")->setProperty("visible", false);
    }

    // ---- Library screen ----

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
        QVERIFY(click(item("listHalf")));
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

    void aboutWindowNamesItsControls()
    {
        QMetaObject::invokeMethod(root(), "showAbout");
        auto *about = object(QStringLiteral("aboutLoader"))->property("item").value<QQuickWindow *>();
        QVERIFY(about && QTest::qWaitForWindowExposed(about));
        verifyNamed(about);
        about->close();
    }

    // Failures of a "Download all" stay in the red bar past the scan that follows; the ticks,
    // the selection bar and the list's place go back to normal. Retry in the details fetches the
    // failed file once the service is sound again.
    void downloadAllEndsWithErrorsShownAndSelectionGone()
    {
        QVERIFY(click(item("listHalf")));
        QObject *bar = object("statusBar");
        bar->setProperty("visible", false);
        // A product with something left to fetch is ticked.
        int row = 0;
        while (row < m_app.libraryModel()->rowCount() && productAt(row)->filesModel()->fileAt(0)->status() != LibraryFile::Remote)
            ++row;
        QVERIFY(row < m_app.libraryModel()->rowCount());
        StorefrontSim::DownloadFault corrupt;
        corrupt.checksum = StorefrontSim::ChecksumMode::Wrong;
        m_sim.setDownloadFault(corrupt);
        LibraryFile *file = productAt(row)->filesModel()->fileAt(0);
        QVERIFY(click(QmlItems::findItem(showRow(row), QStringLiteral("selectCheck"))));
        QTRY_VERIFY(item("selectionPanel")->isVisible());
        verifyNamed();
        QQuickItem *list = libraryList();
        const qreal place = list->property("contentY").toReal();

        QVERIFY(click(item("syncButton")));
        QTRY_VERIFY(m_app.isSyncing());
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.isSyncing(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.isFolderScanning(), 20000);
        QVERIFY(!item("selectionPanel")->isVisible());
        QVERIFY(!m_app.isInSelectionMode());
        QCOMPARE(list->property("contentY").toReal(), place);
        QVERIFY(bar->property("visible").toBool());
        QCOMPARE(bar->property("state").toString(), QStringLiteral("error"));
        // Informative texts are read out with their current value.
        QAccessibleInterface *status = QAccessible::queryAccessibleInterface(item("statusText"));
        QVERIFY(status && status->role() == QAccessible::StaticText);
        QCOMPARE(status->text(QAccessible::Name), item("statusText")->property("text").toString());
        verifyNamed();
        m_sim.setDownloadFault(StorefrontSim::DownloadFault());

        QCOMPARE(int(file->status()), int(LibraryFile::DownloadError));
        pressInto(QmlItems::findItem(showRow(row), QStringLiteral("rowArea")), QStringLiteral("bookDetails"));
        QQuickItem *fileRow = nullptr;
        QTRY_VERIFY((fileRow = QmlItems::findItem(screen(), QStringLiteral("fileRow")))
                    && fileRow->property("action").toString() == QStringLiteral("retry"));
        verifyNamed();
        QVERIFY(click(QmlItems::findItem(fileRow, QStringLiteral("actionButton"))));
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
    }

    // ---- Settings ----

    // The folder chooser opens on the folder the field names. A check for a newer version that
    // cannot tell says why, not that there is nothing newer. An empty folder stops the whole
    // save, the other edits included; a save that goes through stores what the boxes show: the
    // Trash box is the inverse of "delete permanently", and a stored limit the box does not offer
    // is saved as the lowest.
    void settingsThroughTheWindow()
    {
        Settings *settings = m_app.settings();
        const QString folder = settings->libraryDirectory();
        settings->setDeletePermanently(true);
        settings->setSimultaneousDownloads(4);
        pressInto(item("settingsButton"), QStringLiteral("settingsWindow"));
        verifyNamed();
        QCOMPARE(item("downloadsBox")->property("currentIndex").toInt(), -1);

        QString opened;
        // The chooser is modal: it is read and dismissed from inside its own event loop.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                opened = chooser->directory().absolutePath();
                chooser->reject();
            }
        });
        poll.start(50);
        QVERIFY(click(item("chooseFolderButton")));
        poll.stop();
        QCOMPARE(opened, QDir(folder).absolutePath());
        QQuickItem *field = item("folderField");
        QCOMPARE(field->property("text").toString(), folder);
        QVERIFY(click(field));
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        QCOMPARE(field->property("text").toString(), QString());

        // The rest of the settings lies below the fold: reached with Tab, pressed with Space.
        StorefrontSim::EndpointFault missing;
        missing.httpStatus = 404;
        missing.times = 1;
        m_sim.setFault(StorefrontSim::Endpoint::Manifest, missing);
        press([this] { return item("checkNowButton"); });
        QObject *message = object("noUpdatesMessage");
        QTRY_VERIFY(isOpen(message));
        QCOMPARE(message->property("text").toString(), QStringLiteral("Could not check for updates"));
        QVERIFY(!message->property("informativeText").toString().isEmpty());
        closePopup(message);
        // A message's own window may leave none of ours focused; Tab starts from the top then.
        view()->contentItem()->forceActiveFocus();

        press([this] { return item("trashBox"); });
        press([this] { return item("saveButton"); });
        QTRY_VERIFY(isOpen(object("notWritableMessage")));
        QCOMPARE(settings->libraryDirectory(), folder);
        QVERIFY(settings->deletePermanently());
        closePopup(object("notWritableMessage"));

        field->setProperty("text", folder);
        // Keys reach Save above; one more key press after the second message window was lost under load.
        QVERIFY(QMetaObject::invokeMethod(item("saveButton"), "clicked"));
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QCOMPARE(settings->libraryDirectory(), folder);
        QVERIFY(!settings->deletePermanently());
        QCOMPARE(settings->simultaneousDownloads(), 1);
    }

    // ---- Tray ----

    // "Download all" from the tray onto a full volume: the question comes with the window.
    void freeSpaceQuestionFromTheTrayShowsTheWindow()
    {
        const QString folder = m_app.settings()->libraryDirectory();
        // A volume with no room at all.
        m_app.settings()->setLibraryDirectory(QStringLiteral("/proc"));
        m_app.view()->hide();
        QObject *ask = dialog("askFreeSpaceDialog");
        m_app.syncAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(isOpen(ask), 20000);
        QTRY_VERIFY(m_app.view()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        QVERIFY(click(QmlItems::findItem(ask, QStringLiteral("cancelButton"))));
        QTRY_VERIFY(!isOpen(ask));
        QVERIFY(!m_app.isSyncing());
        m_app.settings()->setLibraryDirectory(folder);
    }

    // One file changed, one gone, one intact: the check from Settings finds each and marks
    // the two bad ones, which wait for the customer; "Download all" in the errors list fetches them.
    void libraryCheckAndDownloadAllFromTheErrorsList()
    {
        QList<LibraryFile *> files;
        for (int row = 0; row < m_app.onlineLibrary()->rowCount() && files.size() < 3; ++row) {
            ItemFilesModel *model = m_app.onlineLibrary()->itemAt(row)->filesModel();
            if (model->count() == 1)
                files.append(model->fileAt(0));
        }
        QCOMPARE(files.size(), 3);
        for (LibraryFile *file : qAsConst(files)) {
            if (file->status() != LibraryFile::Downloaded)
                m_app.downloadManager()->setFileStatus(file, LibraryFile::Queued);
            QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        }
        QFile damaged(files.at(1)->filePath());
        QVERIFY(damaged.open(QIODevice::Append) && damaged.write("x") == 1);
        damaged.close();
        QVERIFY(QFile::remove(files.at(2)->filePath()));
        // Emptied, the errors list holds only what the check marks.
        m_app.errorsListModel()->clear();

        press([this] { return item("settingsButton"); });
        QVERIFY(settledOn(QStringLiteral("settingsWindow")));
        press([this] { return item("verifyButton"); });
        // The files of the cases before are counted too.
        QTRY_VERIFY_WITH_TIMEOUT(item("verifyStatus")->property("text").toString().endsWith(", 1 missing"), 20000);
        QCOMPARE(int(files.at(0)->status()), int(LibraryFile::Downloaded));
        QCOMPARE(int(files.at(1)->status()), int(LibraryFile::Remote));
        QCOMPARE(int(files.at(2)->status()), int(LibraryFile::Remote));
        QVERIFY(!m_app.downloadManager()->isDownloading());

        // The red bar names the last problem; a click on it opens the list.
        key(Qt::Key_Escape);
        QVERIFY(settledOn(QStringLiteral("mainScreen")));
        QTRY_VERIFY(item("statusBarArea")->isVisible());
        QVERIFY(QmlItems::click(item("statusBarArea")));
        QObject *errors = dialog("errorsListDialog");
        QTRY_VERIFY(errors->property("opened").toBool());
        QQuickItem *downloadAll = QmlItems::findItem(errors, QStringLiteral("errorsDownloadAllButton"));
        QTRY_VERIFY(downloadAll && downloadAll->isVisible());
        QVERIFY(QmlItems::click(downloadAll));
        QTRY_VERIFY(!errors->property("visible").toBool());
        for (LibraryFile *file : qAsConst(files))
            QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.isSyncing(), 60000);
    }

    // It signs out, and in again by "Log In".
    void signOutReturnsToLogin()
    {
        QObject *bar = object("statusBar");
        m_app.errorsListModel()->addError(LibraryErrorType::GeneralError, QStringLiteral("Disk gone"), -1);
        emit m_app.libraryScanningStarted();
        QVERIFY(bar->property("visible").toBool());
        QMetaObject::invokeMethod(root(), "showSettings");
        m_app.remoteAPI()->doLogout();
        QTRY_COMPARE(currentScreen(), QStringLiteral("loginWindow"));
        QCOMPARE(object("screenStack")->property("depth").toInt(), 1);
        QVERIFY(!bar->property("visible").toBool());
        QCOMPARE(m_app.errorsListModel()->rowCount(), 0);
        signIn();
    }

    // Ctrl+Q quits as the tray's "Quit" does.
    void controlQQuits()
    {
        QSignalSpy quit(view()->engine(), &QQmlEngine::quit);
        key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    // xdg-open records its argument and exits with $XDG_OPEN_EXIT.
    QTemporaryDir bin;
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened\"\nexit \"${XDG_OPEN_EXIT:-0}\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + qgetenv("PATH"));
    return execWindowTest<TestMainForm>(argc, argv, 8);
}

#include "tst_mainform.moc"
