#include "app/mainwindow.h"
#include "guitest.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QQuickView>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QSettings().clear();
        m_view = std::make_unique<QQuickView>();
        m_view->setMinimumSize(QSize(820, 440));
        m_syncAction = std::make_unique<QAction>(QStringLiteral("Download all"));
        m_window = std::make_unique<MainWindow>(m_view.get(), m_syncAction.get());
        m_window->setKeepRunningCheck([this] { return m_busy; });
        m_busy = false;
    }

    void cleanup()
    {
        m_window.reset();
        m_view.reset();
        m_syncAction.reset();
    }

    // The tray offers the window, "Download all" and quitting, and shows only while signed in.
    void trayMenuOffersShowSyncAndQuit()
    {
        const QList<QAction *> actions = m_window->trayMenu()->actions();
        QCOMPARE(actions.at(1), m_syncAction.get());
        QSignalSpy quit(m_window.get(), &MainWindow::quitRequested);
        actions.at(2)->trigger();
        QCOMPARE(quit.count(), 1);
        QVERIFY(!m_window->trayIcon()->isVisible());
        m_window->setSignedIn(true);
        QVERIFY(m_window->trayIcon()->isVisible());
        m_window->setSignedIn(false);
        QVERIFY(!m_window->trayIcon()->isVisible());
    }

    void closeHidesToTrayOnlyWhileSignedInAndBusy_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("hides");
        QTest::newRow("signed in, downloading") << true << true << true;
        QTest::newRow("signed in, idle") << true << false << false;
        QTest::newRow("signed out, downloading") << false << true << false;
    }

    void closeHidesToTrayOnlyWhileSignedInAndBusy()
    {
        QFETCH(bool, signedIn);
        QFETCH(bool, busy);
        QFETCH(bool, hides);
        // The tray host may still be starting beside the display.
        if (hides && !QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000))
            QSKIP("no system tray on this display");

        m_window->setSignedIn(signedIn);
        m_busy = busy;
        m_window->restore();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        keepGlDriverLoaded();

        QCloseEvent close;
        QCoreApplication::sendEvent(m_view.get(), &close);
        QCOMPARE(close.isAccepted(), !hides);
        QVERIFY(!m_view->isVisible());
        // The notice is shown once ever: the flag only goes from true to false.
        QCOMPARE(QSettings().value("trayBackgroundRunningNotify", true).toBool(), !hides);
    }

    void stateRoundTrip()
    {
        const QRect geometry(40, 50, 900, 640);
        m_view->setGeometry(geometry);
        m_view->show();
        QTRY_COMPARE(m_view->geometry(), geometry);

        // A window hidden in the tray is saved like a shown one.
        m_view->hide();
        m_window->saveState();
        QCOMPARE(QSettings().value("maximized").toBool(), false);

        m_view->resize(1000, 800);
        m_window->restore();
        QTRY_COMPARE(m_view->geometry(), geometry);

        // Quitting maximized keeps the normal geometry stored before.
        m_view->showMaximized();
        QTRY_COMPARE(m_view->windowState(), Qt::WindowMaximized);
        m_window->saveState();
        QCOMPARE(QSettings().value("maximized").toBool(), true);
        QCOMPARE(QSettings().value("geometry").toRect(), geometry);

        // Raised from the tray, a hidden window comes back in the state it had.
        m_window->setSignedIn(true);
        m_view->hide();
        m_window->raise();
        QTRY_VERIFY(m_view->isVisible());
        QVERIFY(m_view->windowStates() & Qt::WindowMaximized);
    }

    void somethingElseStoredAsGeometryCountsAsAbsent()
    {
        QSettings().setValue(QStringLiteral("geometry"), QStringLiteral("40,50,900,640"));
        m_window->restore();
        QTRY_COMPARE(m_view->size(), QSize(920, 700));
    }

    // A screen unplugged since the last run: the window comes back where it can be reached.
    void savedPositionOffEveryScreenMovesOnScreen_data()
    {
        QTest::addColumn<bool>("fromBottomRight");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("right of the screen") << false << QPoint(5000, 100);
        QTest::newRow("above the screen") << false << QPoint(100, -3000);
        QTest::newRow("only a corner showing") << true << QPoint(-20, -20);
    }

    void savedPositionOffEveryScreenMovesOnScreen()
    {
        QFETCH(bool, fromBottomRight);
        QFETCH(QPoint, offset);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize size(840, 460);
        const QPoint topLeft = (fromBottomRight ? area.bottomRight() : area.topLeft()) + offset;
        QSettings().setValue(QStringLiteral("geometry"), QRect(topLeft, size));
        m_window->restore();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        QTRY_COMPARE(m_view->size(), size);
        QTRY_VERIFY2(area.contains(m_view->geometry()), qPrintable(QStringLiteral("%1,%2").arg(m_view->x()).arg(m_view->y())));
    }

private:
    std::unique_ptr<QQuickView> m_view;
    std::unique_ptr<QAction> m_syncAction;
    std::unique_ptr<MainWindow> m_window;
    bool m_busy = false;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    qRegisterMetaTypeStreamOperators<QRect>("QRect");
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
