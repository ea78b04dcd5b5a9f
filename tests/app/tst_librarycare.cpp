// A customer who looks after the library from the window, against the storefront simulator:
// shows a downloaded book in its folder (no file manager on the bus: the folder opens through
// xdg-open, here a script on PATH that records what it was given), then checks the library
// from Settings after one file was damaged and another deleted, and fetches both again from the
// errors list.
#include "../../tools/ui-screenshots/qmlitems.h"

#include "app/core/constants.h"
#include "app/quenlithapplication.h"
#include "app/core/settings.h"
#include "api/remoteapi.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "guitest.h"
#include "windowtest.h"
#include "library/errorslistmodel.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "storefrontsim.h"

#include <QQuickView>
#include <QTemporaryDir>
#include <QtTest>


class TestLibraryCare : public QObject, private WindowProbe
{
    Q_OBJECT
public:
    TestLibraryCare(QuenlithApplication &app, StorefrontSim &sim, QString bin)
        : WindowProbe(app), m_app(app), m_sim(sim), m_bin(std::move(bin))
    {
    }

private:
    QString opened() const
    {
        QFile record(m_bin + QStringLiteral("/opened"));
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        m_app.view()->resize(1000, 720);
        m_app.view()->showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        QTRY_COMPARE(currentScreen(), QStringLiteral("loginWindow"));
        QSignalSpy signedIn(m_app.remoteAPI(), &RemoteAPI::loginSucceeded);
        m_app.remoteAPI()->doLogin(m_sim.appKey());
        QVERIFY(signedIn.wait(20000));
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);
        // Three products of one file each, downloaded.
        for (int row = 0; row < m_app.onlineLibrary()->rowCount() && m_files.size() < 3; ++row) {
            LibraryItem *product = m_app.onlineLibrary()->itemAt(row);
            if (product->filesModel()->count() != 1)
                continue;
            m_products.append(product);
            m_files.append(product->filesModel()->fileAt(0));
            m_app.downloadManager()->setFileStatus(m_files.last(), LibraryFile::Queued);
        }
        QCOMPARE(m_files.size(), 3);
        for (LibraryFile *file : qAsConst(m_files))
            QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
    }

    void showsTheFileAndTheBookInTheirFolder()
    {
        LibraryItem *product = m_products.first();
        const QString path = m_files.first()->filePath();
        m_app.libraryModel()->setFilterString(product->title());
        QTRY_COMPARE(m_app.libraryModel()->rowCount(), 1);
        QQuickItem *list = item("libraryList");
        QTRY_COMPARE(list->property("count").toInt(), 1);
        // Tab into the list; the row's button opens the details of a downloaded book.
        QVERIFY(tabTo([list] { return list; }));
        key(Qt::Key_Home);
        const auto rowAction = [list] {
            return QmlItems::findItem(list->property("currentItem").value<QQuickItem *>(), QStringLiteral("actionButton"));
        };
        QVERIFY(tabTo(rowAction));
        key(Qt::Key_Return);
        QTRY_COMPARE(currentScreen(), QStringLiteral("bookDetails"));
        QTRY_VERIFY(stackSettled());

        QTRY_VERIFY(QmlItems::click(QmlItems::findItem(screen(), QStringLiteral("folderArea"))));
        QTRY_COMPARE(opened(), QFileInfo(path).absolutePath());
        QFile::remove(m_bin + QStringLiteral("/opened"));
        QVERIFY(QmlItems::click(QmlItems::findItem(screen(), QStringLiteral("productFolderArea"))));
        // The book's own folder, shown in the folder above it.
        QTRY_COMPARE(opened(), QFileInfo(QFileInfo(path).absolutePath()).absolutePath());

        // No program for folders: the status bar says so.
        qputenv("XDG_OPEN_EXIT", "3");
        QVERIFY(QmlItems::click(QmlItems::findItem(screen(), QStringLiteral("folderArea"))));
        QTRY_VERIFY(object(QStringLiteral("statusBar"))->property("text").toString().contains("could not be opened"));
        qunsetenv("XDG_OPEN_EXIT");

        key(Qt::Key_Escape);
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY(stackSettled());
        m_app.libraryModel()->setFilterString(QString());
    }

    // One byte changed, one file gone, one intact: the check finds each, and the two bad ones
    // wait for a download in the errors list.
    void checkMarksChangedAndMissingFiles()
    {
        {
            QFile damaged(m_files.at(1)->filePath());
            QVERIFY(damaged.open(QIODevice::ReadWrite));
            const QByteArray first = damaged.read(1);
            damaged.seek(0);
            damaged.write(first == "x" ? "y" : "x");
        }
        QVERIFY(QFile::remove(m_files.at(2)->filePath()));
        const int errorsBefore = m_app.errorsListModel()->rowCount();

        QVERIFY(QmlItems::click(item("settingsButton")));
        QTRY_COMPARE(currentScreen(), QStringLiteral("settingsWindow"));
        QTRY_VERIFY(stackSettled());
        QVERIFY(tabTo([this] { return item("verifyButton"); }));
        key(Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(item("verifyStatus")->property("text").toString(),
                                  QStringLiteral("1 good, 1 changed, 1 missing"), 20000);
        QCOMPARE(int(m_files.at(0)->status()), int(LibraryFile::Downloaded));
        QCOMPARE(int(m_files.at(1)->status()), int(LibraryFile::Remote));
        QCOMPARE(int(m_files.at(2)->status()), int(LibraryFile::Remote));
        QCOMPARE(m_app.errorsListModel()->rowCount(), errorsBefore + 2);
        // Marked only: nothing is fetched until the customer asks.
        QVERIFY(!m_app.downloadManager()->isDownloading());
    }

    // From the errors list, one click fetches what the check marked.
    void downloadAllFromTheErrorsList()
    {
        key(Qt::Key_Escape);
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QTRY_VERIFY(stackSettled());
        // The red bar names the last problem; a click on it opens the list.
        QTRY_VERIFY(item("statusBarArea")->isVisible());
        QVERIFY(QmlItems::click(item("statusBarArea")));
        QObject *dialog = root()->property("errorsListDialog").value<QObject *>();
        QTRY_VERIFY(dialog->property("opened").toBool());
        QQuickItem *downloadAll = QmlItems::findItem(dialog->property("contentItem").value<QQuickItem *>(),
                                                     QStringLiteral("errorsDownloadAllButton"));
        QVERIFY(downloadAll);
        QTRY_VERIFY(downloadAll->isVisible());
        QVERIFY(QmlItems::click(downloadAll));
        QTRY_VERIFY(!dialog->property("visible").toBool());
        for (LibraryFile *file : qAsConst(m_files))
            QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        QVERIFY(QFileInfo::exists(m_files.at(2)->filePath()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.isSyncing(), 60000);
    }

    void cleanupTestCase()
    {
        keepGlDriverLoaded();
    }

private:
    QuenlithApplication &m_app;
    StorefrontSim &m_sim;
    const QString m_bin;
    QList<LibraryItem *> m_products;
    QList<LibraryFile *> m_files;
};

int main(int argc, char *argv[])
{
    // xdg-open records its argument and exits with $XDG_OPEN_EXIT.
    QTemporaryDir tools;
    const QString bin = tools.path() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    QFile script(bin + QStringLiteral("/xdg-open"));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened\"\nexit \"${XDG_OPEN_EXIT:-0}\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    qputenv("PATH", bin.toLocal8Bit() + ':' + qgetenv("PATH"));

    return runWindowTest(argc, argv, 8, [&](QuenlithApplication &app, StorefrontSim &sim, const QTemporaryDir &) {
        TestLibraryCare test(app, sim, bin);
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_librarycare.moc"
