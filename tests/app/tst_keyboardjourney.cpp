// A customer without a mouse: sign in, find a product, download its file, delete it again, change
// a setting and quit, with key presses only, against the storefront simulator.
#include "api/remoteapi.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"
#include "windowtest.h"

#include <QQmlEngine>
#include <QtTest>

#include <algorithm>

class TestKeyboardJourney : public WindowTest
{
    Q_OBJECT
public:
    using WindowTest::WindowTest;

private slots:
    void initTestCase()
    {
        view()->showNormal();
        QVERIFY(activate());
    }

    void journey()
    {
        // The key field waits for the key.
        QTRY_COMPARE(currentScreen(), QStringLiteral("loginWindow"));
        QTRY_VERIFY(item("keyField")->hasActiveFocus());
        type(m_sim.appKey());
        key(Qt::Key_Return);
        // The library's keys answer once the screen has arrived.
        QVERIFY(settledOn(QStringLiteral("mainScreen")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_app.remoteAPI()->isRefreshing(), 20000);

        // A product with one file, not on disk.
        LibraryItem *product = nullptr;
        for (int r = 0; r < m_app.libraryModel()->rowCount() && !product; ++r) {
            LibraryItem *candidate = m_app.onlineLibrary()->itemAt(m_app.libraryModel()->rowToSource(r));
            // Typed key by key: a title the test keyboard can type.
            const QString title = candidate->title();
            const bool typable = std::all_of(title.begin(), title.end(), [](QChar c) { return c.unicode() < 128; });
            if (candidate->filesModel()->count() == 1 && typable)
                product = candidate;
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
        key(Qt::Key_Tab);
        QQuickItem *list = item("libraryList");
        QTRY_VERIFY(list->hasActiveFocus());
        key(Qt::Key_Home);
        key(Qt::Key_Return);
        QVERIFY(settledOn(QStringLiteral("bookDetails")));

        // Tab to the file's button; Space downloads it.
        const auto fileAction = [this] { return QmlItems::findItem(screen(), QStringLiteral("actionArea")); };
        QVERIFY(tabTo(fileAction));
        key(Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(int(file->status()), int(LibraryFile::Downloaded), 60000);
        const QString path = file->filePath();
        QVERIFY(QFileInfo(path).isFile());

        // Escape leaves the details; the row's button, downloaded now, opens them again.
        key(Qt::Key_Escape);
        QVERIFY(settledOn(QStringLiteral("mainScreen")));
        QTRY_VERIFY(list->hasActiveFocus());
        const auto rowAction = [list] {
            return QmlItems::findItem(list->property("currentItem").value<QQuickItem *>(), QStringLiteral("actionButton"));
        };
        QVERIFY(tabTo(rowAction));
        key(Qt::Key_Return);
        QVERIFY(settledOn(QStringLiteral("bookDetails")));

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

        // Escape back; Tab round to "Settings"; the delete question is turned off and saved.
        key(Qt::Key_Escape);
        QVERIFY(settledOn(QStringLiteral("mainScreen")));
        QVERIFY(tabTo([this] { return item("settingsButton"); }));
        key(Qt::Key_Space);
        QVERIFY(settledOn(QStringLiteral("settingsWindow")));
        QVERIFY(tabTo([this] { return item("deleteConfirmationBox"); }));
        key(Qt::Key_Space);
        QVERIFY(tabTo([this] { return item("saveButton"); }));
        key(Qt::Key_Return);
        QTRY_COMPARE(currentScreen(), QStringLiteral("mainScreen"));
        QVERIFY(!m_app.settings()->showDeleteConfirmation());

        // Ctrl+Q quits as the tray's "Quit" does.
        QSignalSpy quit(view()->engine(), &QQmlEngine::quit);
        key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.count(), 1);
    }
};

int main(int argc, char *argv[])
{
    return execWindowTest<TestKeyboardJourney>(argc, argv, 6);
}

#include "tst_keyboardjourney.moc"
