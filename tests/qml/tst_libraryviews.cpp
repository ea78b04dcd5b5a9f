#include "../library/libraryfixtures.h"
#include "../../tools/ui-screenshots/qmlitems.h"
#include "guitest.h"
#include "testservices.h"

#include "api/libraryerrortype.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/filesystemops.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryfiltertype.h"
#include "library/libraryitem.h"
#include "library/libraryitembadge.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixtures;

// What the views read of the application object.
class ViewsApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isInSelectionMode MEMBER inSelectionMode NOTIFY isInSelectionModeChanged)
public:
    bool inSelectionMode = false;
signals:
    void isInSelectionModeChanged();
};

// Stands in for the root form: records the details screens asked for.
class ViewsRoot : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void openBookDetails(int row) { detailsRows << row; }
    QList<int> detailsRows;
};

class TestLibraryViews : public QObject
{
    Q_OBJECT
private:
    // One product per entry, each with the given file statuses, in library order.
    void fill(const QVector<QList<LibraryFile::Status>> &products)
    {
        QJsonArray page;
        for (int i = 0; i < products.size(); ++i)
            page.append(product(QString::number(i + 1), QStringLiteral("Book %1").arg(i + 1)));
        m_library->onTitlesRefreshResult(1, page);
        m_library->onTitlesRefreshFinished();
        m_model->setSortRoleName(QByteArray());
        for (int row = 0; row < products.size(); ++row) {
            QJsonArray saved;
            for (int i = 0; i < products.at(row).size(); ++i) {
                const QString name = QStringLiteral("f%1-%2.pdf").arg(row).arg(i);
                QJsonObject file{{QStringLiteral("serverFileName"), name},
                                 {QStringLiteral("status"), int(products.at(row).at(i))}};
                if (products.at(row).at(i) == LibraryFile::DownloadError)
                    file.insert(QStringLiteral("errorMessage"), QStringLiteral("Checksum mismatch"));
                saved.append(file);
            }
            m_library->itemAt(row)->filesModel()->loadSavedFiles(saved);
        }
    }

    QQuickItem *show(const QString &file)
    {
        m_view->setSource(QUrl::fromLocalFile(QStringLiteral(TESTS_SOURCE_DIR "/../qml/modelviews/") + file));
        if (!m_view->errors().isEmpty())
            qWarning() << m_view->errors();
        QQuickItem *root = m_view->rootObject();
        if (!root)
            return nullptr;
        root->setProperty("model", QVariant::fromValue<QObject *>(m_model));
        return root;
    }

    // Shows the view in the window and waits for the delegate of the given row.
    QQuickItem *showOnScreen(const QString &file, int row = 0)
    {
        QQuickItem *root = show(file);
        m_view->show();
        if (!root || !QTest::qWaitForWindowExposed(m_view.get()))
            return nullptr;
        return QTest::qWaitFor([&] { return delegateAt(row) != nullptr; }) ? root : nullptr;
    }

    static void addViewRows()
    {
        QTest::addColumn<QString>("view");
        QTest::newRow("list") << "LibraryListView.qml";
        QTest::newRow("tiles") << "LibraryTileView.qml";
    }

    // Delegates hang from the view's content item by visual parent only.
    static QQuickItem *delegateIn(QQuickItem *parent, int row)
    {
        const auto children = parent->childItems();
        for (QQuickItem *item : children) {
            if (item->property("rowIndex").toInt() == row && item->property("filesModel").isValid() && item->isVisible())
                return item;
            if (QQuickItem *found = delegateIn(item, row))
                return found;
        }
        return nullptr;
    }

    QQuickItem *delegateAt(int row) const
    {
        return m_view->rootObject() ? delegateIn(m_view->rootObject(), row) : nullptr;
    }

    void click(QQuickItem *item) { QVERIFY(QmlItems::click(item)); }

private slots:
    void cleanupTestCase() { keepGlDriverLoaded(); }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
        FileSystemOps::setViewerOpener([this](const QString &path) {
            m_opened << path;
            return true;
        });
        qmlRegisterUncreatableType<LibraryFile>("LibraryModelData", 1, 0, "LibraryFile", QStringLiteral("no"));
        qmlRegisterUncreatableType<LibraryItemBadge>("LibraryModelData", 1, 0, "LibraryItemBadge", QStringLiteral("no"));
        qmlRegisterUncreatableType<LibraryErrorType>("LibraryModelData", 1, 0, "LibraryErrorType", QStringLiteral("no"));
        qmlRegisterType<LibraryFilterType>("LibraryFilterType", 1, 0, "LibraryFilter");
        QFile pdf(m_dir.filePath(QStringLiteral("book.pdf")));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF");
    }

    void init()
    {
        m_services = new TestServices(this);
        m_library = new OnlineLibrary(m_services->fileActions(), this);
        m_model = new LibrarySortFilterModel(this);
        m_model->setSourceModel(m_library);
        m_app = std::make_unique<ViewsApp>();
        m_root = std::make_unique<ViewsRoot>();
        m_view = std::make_unique<QQuickView>();
        m_view->rootContext()->setContextProperty(QStringLiteral("app"), m_app.get());
        m_view->rootContext()->setContextProperty(QStringLiteral("onlineLibrary"), m_library);
        m_view->rootContext()->setContextProperty(QStringLiteral("libraryModel"), m_model);
        m_view->rootContext()->setContextProperty(QStringLiteral("rootWindow"), m_root.get());
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->resize(700, 600);
    }

    void cleanup()
    {
        m_view.reset();
        delete m_model;
        delete m_library;
        delete m_services;
    }

    // A row click opens the only downloaded file; with more than one, or with a failure, it
    // shows the details instead. The same rule holds for a tile while nothing is selected.
    void rowClickOpensOneFileOrDetails_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QList<LibraryFile::Status>>("statuses");
        QTest::addColumn<bool>("opens");
        const QList<LibraryFile::Status> one{LibraryFile::Downloaded, LibraryFile::Remote};
        const QList<LibraryFile::Status> two{LibraryFile::Downloaded, LibraryFile::Downloaded};
        const QList<LibraryFile::Status> failed{LibraryFile::Downloaded, LibraryFile::DownloadError};
        QTest::newRow("list, one downloaded") << "LibraryListView.qml" << "rowArea" << one << true;
        QTest::newRow("list, two downloaded") << "LibraryListView.qml" << "rowArea" << two << false;
        QTest::newRow("list, one downloaded, one failed") << "LibraryListView.qml" << "rowArea" << failed << false;
        QTest::newRow("tile, one downloaded") << "LibraryTileView.qml" << "tileArea" << one << true;
        QTest::newRow("tile, two downloaded") << "LibraryTileView.qml" << "tileArea" << two << false;
    }

    void rowClickOpensOneFileOrDetails()
    {
        QFETCH(QString, view);
        QFETCH(QString, area);
        QFETCH(QList<LibraryFile::Status>, statuses);
        QFETCH(bool, opens);
        fill({statuses});
        ItemFilesModel *files = m_library->itemAt(0)->filesModel();
        for (LibraryFile *file : files->files())
            file->setFoundFilePath(m_dir.filePath(QStringLiteral("book.pdf")));
        QVERIFY(showOnScreen(view));

        m_opened.clear();
        click(delegateAt(0)->findChild<QQuickItem *>(area));
        QCOMPARE(m_opened.size(), opens ? 1 : 0);
        QCOMPARE(m_root->detailsRows, opens ? QList<int>{} : QList<int>{0});
    }

    // The action button of a failed row warns, and a click shows the failure without starting
    // anything.
    void failedRowShowsErrorInsteadOfDownloading()
    {
        fill({{LibraryFile::Remote, LibraryFile::DownloadError}});
        QVERIFY(showOnScreen(QStringLiteral("LibraryListView.qml")));
        QQuickItem *row = delegateAt(0);
        QCOMPARE(row->property("rowState").toString(), QStringLiteral("error"));

        QQuickItem *button = row->findChild<QQuickItem *>(QStringLiteral("actionButton"));
        click(button->findChild<QQuickItem *>(QStringLiteral("actionFace")));
        QObject *tip = button->findChild<QObject *>(QStringLiteral("errorTip"));
        QTRY_VERIFY(tip && tip->property("visible").toBool());
        QCOMPARE(tip->property("text").toString(), QStringLiteral("Checksum mismatch"));
        QCOMPARE(m_library->itemAt(0)->filesModel()->fileAt(0)->status(), LibraryFile::Remote);
        QVERIFY(m_root->detailsRows.isEmpty());
    }

    // A selection made anywhere shows on the row or tile at once, and a click on its check box
    // reaches the item.
    void selectionFollowsTheItem_data() { addViewRows(); }

    void selectionFollowsTheItem()
    {
        QFETCH(QString, view);
        fill({{LibraryFile::Remote}, {LibraryFile::Remote}});
        QVERIFY(showOnScreen(view, 1));
        const auto checked = [this](int row) {
            return delegateAt(row)->findChild<QQuickItem *>(QStringLiteral("selectCheck"))->property("checked").toBool();
        };

        m_library->itemAt(1)->setSelectedForSync(true);
        QVERIFY(checked(1));
        QVERIFY(!checked(0));

        click(delegateAt(0)->findChild<QQuickItem *>(QStringLiteral("selectCheck")));
        QTRY_VERIFY(m_library->itemAt(0)->selectedForSync());
    }

    // A product with nothing on disk shows its picture faded, in both presentations, until
    // its first file is downloaded; an update keeps it in colour.
    void pictureFadedUntilAFileIsDownloaded_data() { addViewRows(); }

    void pictureFadedUntilAFileIsDownloaded()
    {
        QFETCH(QString, view);
        fill({{LibraryFile::Remote, LibraryFile::Remote}});
        QVERIFY(showOnScreen(view));
        const auto faded = [this] {
            const QObject *effect = delegateAt(0)->findChild<QObject *>(QStringLiteral("fadedPicture"));
            return effect && effect->property("active").toBool();
        };
        QVERIFY(faded());
        LibraryFile *file = m_library->itemAt(0)->filesModel()->fileAt(1);
        m_services->downloadManager()->setFileStatus(file, LibraryFile::Downloaded);
        QTRY_VERIFY(!faded());
        m_services->downloadManager()->setFileStatus(file, LibraryFile::UpdateAvailable);
        QVERIFY(!faded());
        m_services->downloadManager()->setFileStatus(file, LibraryFile::Remote);
        QTRY_VERIFY(faded());
    }

    // Only the presentation on screen holds delegates; hidden and shown again, it is back
    // where it was scrolled to.
    void hiddenViewHoldsNoDelegates_data() { addViewRows(); }

    void hiddenViewHoldsNoDelegates()
    {
        QFETCH(QString, view);
        fill(QVector<QList<LibraryFile::Status>>(60, {LibraryFile::Remote}));
        QQuickItem *root = showOnScreen(view);
        QVERIFY(root);
        const auto delegates = [root] {
            int count = 0;
            const auto children = root->property("contentItem").value<QQuickItem *>()->childItems();
            for (const QQuickItem *item : children)
                count += item->property("filesModel").isValid() ? 1 : 0;
            return count;
        };
        root->setProperty("contentY", 700);
        QTRY_VERIFY(delegateAt(12));
        const qreal scrolled = root->property("contentY").toReal();

        root->setVisible(false);
        QTRY_COMPARE(delegates(), 0);
        m_model->setFilterString(QStringLiteral("book"));
        QCOMPARE(delegates(), 0);
        root->setVisible(true);
        QTRY_VERIFY(delegateAt(12));
        QCOMPARE(root->property("contentY").toReal(), scrolled);
    }

    // Three 230-pixel columns fit 700 pixels: the first size change keeps the base size, the
    // next spreads the tiles over the width.
    void tilesFollowTheWidth()
    {
        fill({{LibraryFile::Remote}});
        m_view->setResizeMode(QQuickView::SizeViewToRootObject);
        QQuickItem *grid = show(QStringLiteral("LibraryTileView.qml"));
        QVERIFY(grid);
        const auto cell = [grid] {
            return QSizeF(grid->property("cellWidth").toReal(), grid->property("cellHeight").toReal());
        };
        grid->setWidth(700);
        QCOMPARE(cell(), QSizeF(230, 310));
        grid->setHeight(620);
        QVERIFY2(qAbs(cell().width() - 233.33) < 0.01 && qAbs(cell().height() - 314.49) < 0.01,
                 qPrintable(QStringLiteral("%1x%2").arg(cell().width()).arg(cell().height())));
    }

private:
    QTemporaryDir m_dir;
    QStringList m_opened;
    TestServices *m_services = nullptr;
    OnlineLibrary *m_library = nullptr;
    LibrarySortFilterModel *m_model = nullptr;
    std::unique_ptr<ViewsApp> m_app;
    std::unique_ptr<ViewsRoot> m_root;
    std::unique_ptr<QQuickView> m_view;
};

QTEST_MAIN(TestLibraryViews)
#include "tst_libraryviews.moc"
