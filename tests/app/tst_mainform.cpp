// The window's QML content driven through the real controller, signed in to an in-process
// storefront simulator.
#include "api/libraryerrortype.h"
#include "dialogs/applicationupdater.h"
#include "downloads/folderscanner.h"
#include "downloads/libraryfile.h"
#include "library/errorslistmodel.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "windowtest.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QtTest>

using QmlItems::click;

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

    // Opens a downloaded file's product by its row and presses the delete icon of its file.
    void pressDeleteInDetails(int row)
    {
        QQuickItem *delegate = showRow(row);
        QVERIFY(delegate);
        pressInto(QmlItems::findItem(delegate, QStringLiteral("actionFace")), QStringLiteral("bookDetails"));
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
        QVERIFY(root());
        for (const char *name : {"askDeleteDialog", "askUpdateFileDialog", "askFreeSpaceDialog"})
            QVERIFY2(dialog(name), name);
    }

    void signInThroughTheWindow()
    {
        QCOMPARE(currentScreen(), QStringLiteral("loginWindow"));
        QQuickItem *loginButton = item("loginButton");
        QQuickItem *keyField = item("keyField");

        // A wrong key: the error row appears and "Log In" can be pressed again.
        keyField->setProperty("text", QStringLiteral("not-a-key"));
        QVERIFY(click(loginButton));
        QVERIFY(!loginButton->isEnabled());
        QVERIFY(item("busyIndicator")->isVisible());
        QTRY_VERIFY(item("errorRow")->property("shown").toBool());
        QVERIFY(loginButton->isEnabled());

        // The key from e-mail and password lands in the key field.
        QVERIFY(click(item("getMyKeyLink")));
        QTRY_VERIFY(item("getKeyView")->isVisible());
        QVERIFY(!item("errorRow")->property("shown").toBool());
        item("emailField")->setProperty("text", m_sim.email());
        item("passwordField")->setProperty("text", QStringLiteral("wrong password"));
        QVERIFY(click(item("getKeyButton")));
        QTRY_VERIFY(item("errorRow")->property("shown").toBool());
        QVERIFY(item("getKeyButton")->isEnabled());

        item("passwordField")->setProperty("text", m_sim.password());
        QVERIFY(click(item("getKeyButton")));
        QTRY_COMPARE(keyField->property("text").toString(), m_sim.appKey());
        QVERIFY(item("keyView")->isVisible());

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
        QVERIFY(item("libraryViews")->isVisible());
        QCOMPARE(object("screenStack")->property("depth").toInt(), 1);
        QCOMPARE(m_sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")), 1);
        QCOMPARE(announced.count(), 1);
    }

    void firstLoginNoticeEndsWithAFailedRefresh()
    {
        signIn();
        StorefrontSim::EndpointFault failing;
        failing.failure = true;
        failing.times = 1;
        m_sim.setFault(StorefrontSim::Endpoint::Library, failing);
        QMetaObject::invokeMethod(root(), "showFirstLoginInfo");
        QVERIFY(item("firstLoginNotice")->isVisible());
        m_app.remoteAPI()->refreshLibrary(1);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QVERIFY(!item("firstLoginNotice")->isVisible());
        m_sim.clearFaults();
    }

    void statusBar()
    {
        signIn();
        QObject *bar = object("statusBar");
        bar->setProperty("scanNoticeDelay", 20);
        m_app.folderScanner()->setWithUI(true);
        // The failed refresh before left its error showing: seen and closed.
        if (bar->property("visible").toBool())
            QVERIFY(click(item("statusCloseArea")));

        // A scan shows the notice and its end hides it after the delay.
        emit m_app.libraryScanningStarted();
        QVERIFY(bar->property("visible").toBool());
        QCOMPARE(bar->property("state").toString(), QStringLiteral("folderScanner"));
        emit m_app.libraryScanningFinished();
        QTRY_VERIFY(!bar->property("visible").toBool());

        // A failure during a scan turns the bar red and the scan's end leaves it.
        emit m_app.libraryScanningStarted();
        emit m_app.downloadManager()->downloadFailedForItem(nullptr);
        QCOMPARE(bar->property("state").toString(), QStringLiteral("error"));
        emit m_app.libraryScanningFinished();
        QVERIFY(!bar->property("hidePending").toBool());
        QVERIFY(bar->property("visible").toBool());
        // Nor does the next scan hide the error before it is seen.
        emit m_app.libraryScanningStarted();
        QCOMPARE(bar->property("state").toString(), QStringLiteral("error"));
        emit m_app.libraryScanningFinished();

        // A click on the red bar opens the errors list.
        QObject *errors = dialog("errorsListDialog");
        QVERIFY(click(item("statusBarArea")));
        QTRY_VERIFY(isOpen(errors));
        QVERIFY(!bar->property("visible").toBool());
        closePopup(errors);

        m_app.errorsListModel()->addError(LibraryErrorType::GeneralError, QStringLiteral("Disk gone"), -1);
        QVERIFY(bar->property("visible").toBool());
        QCOMPARE(bar->property("text").toString(), QStringLiteral("Disk gone"));
        QVERIFY(click(item("statusCloseArea")));
        QVERIFY(!bar->property("visible").toBool());
        QVERIFY(!isOpen(errors));
    }

    void hasUpdatesFilter()
    {
        signIn();
        QQuickItem *all = item("filterAll");
        QQuickItem *updates = item("filterHasUpdates");
        QVERIFY(!updates->isVisible());

        m_app.onlineLibrary()->onUpdatedItemsChanged(true);
        QVERIFY(updates->isVisible());
        QCOMPARE(updates->state(), QStringLiteral("blueglow"));
        // The buttons' own signal: what a click does, whatever else shows on the shared display.
        QVERIFY(QMetaObject::invokeMethod(updates, "clicked"));
        QCOMPARE(updates->state(), QStringLiteral("selected"));
        QCOMPARE(all->state(), QStringLiteral("notselected"));
        QVERIFY(QMetaObject::invokeMethod(all, "clicked"));
        QCOMPARE(updates->state(), QStringLiteral("notselected"));

        // Appearing again calls for attention again.
        m_app.onlineLibrary()->onUpdatedItemsChanged(false);
        QVERIFY(!updates->isVisible());
        m_app.onlineLibrary()->onUpdatedItemsChanged(true);
        QCOMPARE(updates->state(), QStringLiteral("blueglow"));

        // With nothing left to update, the end of the downloads goes back to "All".
        QVERIFY(QMetaObject::invokeMethod(updates, "clicked"));
        QCOMPARE(int(m_app.libraryModel()->filter()), int(LibraryFilterType::UPDATE_AVAILABLE));
        m_app.setIsInSelectionMode(true);
        m_app.onlineLibrary()->onUpdatedItemsChanged(false);
        QCOMPARE(m_app.libraryModel()->size(), 0);
        emit m_app.downloadManager()->downloadsRemainChanged();
        QCOMPARE(int(m_app.libraryModel()->filter()), int(LibraryFilterType::ALL));
        QCOMPARE(all->state(), QStringLiteral("selected"));
        QVERIFY(!m_app.isInSelectionMode());
        QVERIFY(m_app.libraryModel()->size() > 0);
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
        openPopup(d);
        QSignalSpy spy(d, signal.constData());
        QVERIFY(click(QmlItems::findItem(d, button)));
        QCOMPARE(spy.count(), 1);
        closePopup(d);
    }

    // The native side reads the box when the answer comes.
    void rememberBoxIsTheDialogsRemember()
    {
        QObject *d = dialog("askUpdateFileDialog");
        openPopup(d);
        QVERIFY(!d->property("remember").toBool());
        QVERIFY(click(item("rememberBox")));
        QVERIFY(d->property("remember").toBool());
        d->setProperty("remember", false);
        closePopup(d);
    }

    void deleteConfirmation_data()
    {
        QTest::addColumn<bool>("showBefore");
        QTest::addColumn<bool>("toggleBox");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("showAfter");
        QTest::addColumn<int>("accepted");
        QTest::newRow("keep asking") << true << false << "deleteButton" << true << 1;
        QTest::newRow("stop asking") << true << true << "deleteButton" << false << 1;
        QTest::newRow("unchecked again") << false << true << "deleteButton" << true << 1;
        QTest::newRow("cancel keeps the setting") << true << true << "cancelButton" << true << 0;
    }

    void deleteConfirmation()
    {
        QFETCH(bool, showBefore);
        QFETCH(bool, toggleBox);
        QFETCH(QString, button);
        QFETCH(bool, showAfter);
        QFETCH(int, accepted);

        m_app.settings()->setShowDeleteConfirmation(showBefore);
        QObject *d = dialog("askDeleteDialog");
        QSignalSpy acceptedSpy(d, SIGNAL(accepted()));
        QMetaObject::invokeMethod(root(), "askDeleteFile");
        QTRY_VERIFY(d->property("opened").toBool());
        QQuickItem *box = QmlItems::findItem(d, QStringLiteral("dontShowBox"));
        QCOMPARE(box->property("checked").toBool(), !showBefore);
        if (toggleBox)
            QVERIFY(click(box));
        QVERIFY(click(QmlItems::findItem(d, button)));
        QTRY_VERIFY(!d->property("visible").toBool());
        QCOMPARE(m_app.settings()->showDeleteConfirmation(), showAfter);
        QCOMPARE(acceptedSpy.count(), accepted);
    }

    void errorsList()
    {
        // Entries are kept per product: one entry without a product at most.
        ErrorsListModel *model = m_app.errorsListModel();
        model->addError(LibraryErrorType::DownloadError, QStringLiteral("Bestiary"), 100);
        model->addError(LibraryErrorType::GeneralError, QStringLiteral("Disk gone"), 101);
        model->addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
        QObject *d = dialog("errorsListDialog");
        QMetaObject::invokeMethod(root(), "showErrorsListDialog");
        QTRY_VERIFY(d->property("opened").toBool());

        auto *list = QmlItems::findItem(d, QStringLiteral("errorsList"));
        QTRY_COMPARE(list->property("count").toInt(), model->rowCount());
        // The list lays out its rows once the opened dialog has its size.
        const auto rows = [list] { return list->property("contentItem").value<QQuickItem *>()->childItems(); };
        QTRY_VERIFY(rows().size() >= model->rowCount());
        QMap<QString, QQuickItem *> byText;
        for (QQuickItem *row : rows()) {
            if (QObject *first = QmlItems::find(row, QStringLiteral("errorFirstText")))
                byText.insert(first->property("text").toString(), row);
        }
        const QString refresh = QStringLiteral("Error refreshing library. Please check your internet connection.");
        QVERIFY(byText.contains(refresh));
        // A download failure names its product below the reason; a general error is its own text.
        QCOMPARE(QmlItems::find(byText.value(QStringLiteral("Files failed to download: ")),
                                QStringLiteral("errorSecondText"))->property("text").toString(),
                 QStringLiteral("Bestiary"));
        QVERIFY(byText.contains(QStringLiteral("Disk gone")));

        // Only entries that point at a product can be clicked.
        QVERIFY(click(byText.value(refresh)));
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
        QVERIFY(d);
        updater->checkUpdates(false);
        QTRY_VERIFY_WITH_TIMEOUT(d->property("opened").toBool(), 20000);
        QObject *message = QmlItems::find(d, QStringLiteral("message"));
        QQuickItem *progress = QmlItems::findItem(d, QStringLiteral("progressBar"));
        QVERIFY(!progress->isVisible());

        QVERIFY(click(QmlItems::findItem(d, QStringLiteral("updateNowButton"))));
        QTRY_VERIFY(updater->downloading());
        QVERIFY(progress->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!updater->downloadError().isEmpty(), 20000);
        QCOMPARE(message->property("text").toString(), updater->downloadError());
        QVERIFY(!progress->isVisible());
        QQuickItem *cancel = QmlItems::findItem(d, QStringLiteral("cancelButton"));
        QTRY_VERIFY(cancel && cancel->isVisible());
        QVERIFY(!QmlItems::findItem(d, QStringLiteral("updateNowButton")));

        QVERIFY(click(cancel));
        QTRY_VERIFY(!d->property("visible").toBool());
        QVERIFY(!updater->downloading());
        QVERIFY(updater->downloadError().isEmpty());
        m_sim.clearFaults();
    }

    // A customer's way through the window: download a product from its row, open its details,
    // delete the file after the question, and retry a download that failed.
    void downloadDeleteAndRetryThroughTheWindow()
    {
        signIn();
        m_app.settings()->setShowDeleteConfirmation(true);
        // Earlier steps may have left the details of a product open.
        QVERIFY(backToLibrary());
        QVERIFY(click(item("listHalf")));

        // The first row with a single file that is not on disk yet.
        int row = 0;
        while (row < m_app.libraryModel()->rowCount()
               && !(productAt(row)->filesModel()->count() == 1
                    && productAt(row)->filesModel()->fileAt(0)->status() == LibraryFile::Remote))
            ++row;
        QVERIFY(row < m_app.libraryModel()->rowCount());
        LibraryItem *product = productAt(row);
        LibraryFile *file = product->filesModel()->fileAt(0);
        QQuickItem *delegate = showRow(row);
        QVERIFY(delegate);
        QCOMPARE(delegate->property("rowState").toString(), QStringLiteral("initial"));

        QVERIFY(click(QmlItems::findItem(delegate, QStringLiteral("actionFace"))));
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        QTRY_COMPARE(delegate->property("rowState").toString(), QStringLiteral("downloaded"));
        const QString path = file->filePath();
        QVERIFY2(path.startsWith(m_library.path()), qPrintable(path));
        QVERIFY(QFileInfo(path).isFile());

        // A downloaded row's button leads to the details; deleting asks first, "DELETE" removes the file.
        pressDeleteInDetails(row);
        QQuickItem *details = screen();
        QTRY_COMPARE(QmlItems::find(details, QStringLiteral("titleText"))->property("text").toString(), product->title());
        QVERIFY(click(QmlItems::findItem(dialog("askDeleteDialog"), QStringLiteral("deleteButton"))));
        QTRY_COMPARE(int(file->status()), int(LibraryFile::Remote));
        QVERIFY(!QFileInfo::exists(path));
        // The files model may rebuild its rows on a status change: look the row up each time.
        const auto fileRow = [&] { return QmlItems::findItem(details, QStringLiteral("fileRow")); };
        const auto action = [&] { return fileRow() ? fileRow()->property("action").toString() : QString(); };
        const auto clickAction = [&] { return click(QmlItems::findItem(fileRow(), QStringLiteral("actionButton"))); };
        QTRY_COMPARE(action(), QStringLiteral("download"));

        // A download that arrives damaged fails; once the service is sound again, retry fetches it.
        StorefrontSim::DownloadFault corrupt;
        corrupt.checksum = StorefrontSim::ChecksumMode::Wrong;
        const QString key = product->productId() + QLatin1Char('/') + QString::number(file->bundleId());
        m_sim.setDownloadFault(corrupt, key);
        QVERIFY(clickAction());
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::DownloadError), 60000);
        QTRY_COMPARE(action(), QStringLiteral("retry"));
        m_sim.setDownloadFault(StorefrontSim::DownloadFault(), key);
        QVERIFY(clickAction());
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        QTRY_COMPARE(action(), QStringLiteral("delete"));
        QVERIFY(QFileInfo(path).isFile());

        QVERIFY(click(item("backButton")));
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        // The errors list took the failure; the bar that announced it goes for the next tests.
        object("statusBar")->setProperty("visible", false);
    }

    // ---- Book details: the delete question ----

    // Cancel, Escape and the close icon leave the file that asked; the next confirmed question
    // deletes its own file alone.
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
        signIn();
        QVERIFY(backToLibrary());
        m_app.settings()->setShowDeleteConfirmation(true);
        QVERIFY(click(item("listHalf")));
        int keptRow = -1, goneRow = -1;
        LibraryFile *kept = downloadThroughRow(&keptRow);
        LibraryFile *gone = downloadThroughRow(&goneRow, kept);
        QVERIFY(kept && gone);
        const QString keptPath = kept->filePath(), gonePath = gone->filePath();

        QObject *ask = dialog("askDeleteDialog");
        pressDeleteInDetails(keptRow);
        if (dismissal.isEmpty())
            key(Qt::Key_Escape);
        else
            QVERIFY(click(QmlItems::findItem(ask, dismissal)));
        QTRY_VERIFY(!ask->property("visible").toBool());
        QVERIFY(backToLibrary());

        pressDeleteInDetails(goneRow);
        QVERIFY(click(QmlItems::findItem(ask, QStringLiteral("deleteButton"))));
        QTRY_COMPARE(int(gone->status()), int(LibraryFile::Remote));
        QVERIFY(!QFileInfo::exists(gonePath));
        QCOMPARE(int(kept->status()), int(LibraryFile::Downloaded));
        QVERIFY(QFileInfo(keptPath).isFile());
        QVERIFY(backToLibrary());
        object("statusBar")->setProperty("visible", false);
    }

    // ---- Library screen ----

    // A renewed token changes nothing the customer sees: the screen, the filter and the search stay.
    void tokenRenewalLeavesTheScreenAlone()
    {
        signIn();
        QVERIFY(backToLibrary());
        QVERIFY(click(item("listHalf")));
        auto *search = object("searchFieldLoader")->property("item").value<QQuickItem *>();
        QVERIFY(search);
        QVERIFY(click(search));
        type(QStringLiteral("a"));
        const QString searched = search->property("text").toString();
        QVERIFY(!searched.isEmpty());
        QSignalSpy announced(m_app.remoteAPI(), &RemoteAPI::loggedInChanged);
        m_sim.clearRequestLog();
        m_sim.expireTokens();

        QVERIFY(click(item("refreshButton")));
        QTRY_VERIFY_WITH_TIMEOUT(m_sim.countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")) == 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        QCOMPARE(announced.count(), 0);
        QCOMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QCOMPARE(search->property("text").toString(), searched);
        QVERIFY(!item("firstLoginNotice")->isVisible());
        QVERIFY(libraryList()->isVisible());
        search->setProperty("text", QString());
    }

    // Failures of a "Download all" stay in the red bar past the scan that follows, and lead to
    // the list; the ticks, the selection bar and the list's place go back to normal.
    void downloadAllEndsWithErrorsShownAndSelectionGone()
    {
        signIn();
        QVERIFY(backToLibrary());
        QVERIFY(click(item("listHalf")));
        QObject *bar = object("statusBar");
        bar->setProperty("visible", false);
        StorefrontSim::DownloadFault corrupt;
        corrupt.checksum = StorefrontSim::ChecksumMode::Wrong;
        m_sim.setDownloadFault(corrupt);
        // A product with something left to fetch is ticked.
        int row = 0;
        while (row < m_app.libraryModel()->rowCount() && productAt(row)->filesModel()->fileAt(0)->status() != LibraryFile::Remote)
            ++row;
        QVERIFY(row < m_app.libraryModel()->rowCount());
        QQuickItem *ticked = showRow(row);
        QVERIFY(ticked);
        QVERIFY(click(QmlItems::findItem(ticked, QStringLiteral("selectCheck"))));
        QTRY_VERIFY(item("selectionPanel")->isVisible());
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
        QVERIFY(click(item("statusBarArea")));
        QTRY_VERIFY(isOpen(dialog("errorsListDialog")));
        closePopup(dialog("errorsListDialog"));
        m_sim.setDownloadFault(StorefrontSim::DownloadFault());
    }

    // ---- Settings ----

    void emptyOrRelativeFolderIsRefused_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << QStringLiteral("books");
    }

    void emptyOrRelativeFolderIsRefused()
    {
        QFETCH(QString, folder);
        signIn();
        QVERIFY(backToLibrary());
        const QString before = m_app.settings()->libraryDirectory();
        pressInto(item("settingsButton"), QStringLiteral("settingsWindow"));
        QQuickItem *field = item("folderField");
        QVERIFY(click(field));
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        type(folder);
        QCOMPARE(field->property("text").toString(), folder);
        // "Save changes" lies below the fold of the settings: reached with Tab, pressed with Space.
        QVERIFY(tabTo([this] { return item("saveButton"); }));
        key(Qt::Key_Space);
        QTRY_VERIFY(isOpen(object("notWritableMessage")));
        QCOMPARE(m_app.settings()->libraryDirectory(), before);
        closePopup(object("notWritableMessage"));
        QVERIFY(backToLibrary());
    }

    // The chooser opens on the folder the field names.
    void folderChooserStartsInTheFieldsFolder()
    {
        signIn();
        QVERIFY(backToLibrary());
        pressInto(item("settingsButton"), QStringLiteral("settingsWindow"));
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
        QCOMPARE(opened, QDir(m_library.path()).absolutePath());
        QCOMPARE(item("folderField")->property("text").toString(), m_library.path());
        QVERIFY(backToLibrary());
    }

    // ---- Tray ----

    // "Download all" from the tray onto a full volume: the question comes with the window.
    void freeSpaceQuestionFromTheTrayShowsTheWindow()
    {
        signIn();
        QVERIFY(backToLibrary());
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

    // Last: it signs out, and in again by "Log In".
    void signOutReturnsToLogin()
    {
        signIn();
        QObject *bar = object("statusBar");
        m_app.errorsListModel()->addError(LibraryErrorType::GeneralError, QStringLiteral("Disk gone"), -1);
        emit m_app.libraryScanningStarted();
        QVERIFY(bar->property("visible").toBool());
        QMetaObject::invokeMethod(root(), "showSettings");
        m_app.remoteAPI()->doLogout();
        QTRY_COMPARE(currentScreen(), QStringLiteral("loginWindow"));
        QCOMPARE(object("screenStack")->property("depth").toInt(), 1);
        QVERIFY(!bar->property("visible").toBool());
        QVERIFY(item("loginButton")->isEnabled());
        QCOMPARE(m_app.errorsListModel()->rowCount(), 0);
        signIn();
    }
};

int main(int argc, char *argv[])
{
    return execWindowTest<TestMainForm>(argc, argv, 6);
}

#include "tst_mainform.moc"
