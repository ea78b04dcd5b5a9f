#include "mainwindow.h"

#include "app/core/constants.h"
#include "app/core/settings.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QQuickView>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>

namespace {

const QSize kDefaultWindowSize(920, 700);
// The part of a window's top edge that must be on a screen for it to be dragged back.
const QSize kVisibleGrip(120, 30);

const QString kMaximizedKey = QStringLiteral("maximized");
const QString kGeometryKey = QStringLiteral("geometry");
const QString kTrayNoticeKey = QStringLiteral("trayBackgroundRunningNotify");

} // namespace

MainWindow::MainWindow(QQuickView *view, QAction *syncAction, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_keepRunning([] { return false; })
    , m_trayMenu(std::make_unique<QMenu>())
{
    m_trayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/icon-app-small.svg")), this);
    m_trayIcon->setToolTip(Constants::ApplicationName);

    QAction *show = m_trayMenu->addAction(tr("Show application window"));
    m_trayMenu->addAction(syncAction);
    QAction *quit = m_trayMenu->addAction(tr("Quit"));
    m_trayIcon->setContextMenu(m_trayMenu.get());

    connect(show, &QAction::triggered, this, &MainWindow::raise);
    connect(quit, &QAction::triggered, this, &MainWindow::quitRequested);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            raise();
    });

    m_view->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    m_view->removeEventFilter(this);
    // The menu must not outlive the icon that shows it.
    delete m_trayIcon;
    m_trayIcon = nullptr;
}

void MainWindow::setKeepRunningCheck(std::function<bool()> check)
{
    m_keepRunning = std::move(check);
}

void MainWindow::setSignedIn(bool signedIn)
{
    m_signedIn = signedIn;
    m_trayIcon->setVisible(signedIn);
}

void MainWindow::restore()
{
    const QSettings store;
    if (store.value(kMaximizedKey, false).toBool()) {
        m_view->showMaximized();
        return;
    }
    const QVariant geometry = store.value(kGeometryKey);
    const QRect saved = geometry.userType() == QMetaType::QRect ? geometry.toRect() : QRect();
    const QRect area = availableArea(saved);
    if (saved.isValid()) {
        m_view->setGeometry(placedOnScreen(saved, area));
    } else {
        // A small screen gets a first window that fits on it.
        QRect first(QPoint(), kDefaultWindowSize.boundedTo(area.size()).expandedTo(m_view->minimumSize()));
        first.moveCenter(area.center());
        m_view->setGeometry(first);
    }
    m_view->showNormal();
}

QRect MainWindow::availableArea(const QRect &saved)
{
    // The screen the window was on, if it is still there; the primary one otherwise.
    const QScreen *screen = QGuiApplication::screenAt(saved.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(), kDefaultWindowSize);
}

QRect MainWindow::placedOnScreen(const QRect &saved, const QRect &area)
{
    // Enough of the title bar to grab it counts as visible; otherwise the saved size moves
    // onto the area, its top left corner first.
    const QRect grip(saved.topLeft(), QSize(qMin(saved.width(), kVisibleGrip.width()), kVisibleGrip.height()));
    bool reachable = false;
    for (const QScreen *screen : QGuiApplication::screens())
        reachable = reachable || screen->availableGeometry().contains(grip);
    if (reachable)
        return saved;
    QRect placed = saved;
    placed.moveLeft(qBound(area.left(), saved.left(), qMax(area.left(), area.right() + 1 - saved.width())));
    placed.moveTop(qBound(area.top(), saved.top(), qMax(area.top(), area.bottom() + 1 - saved.height())));
    return placed;
}

void MainWindow::saveState()
{
    QSettings store;
    const bool maximized = m_view->windowState() == Qt::WindowMaximized;
    store.setValue(kMaximizedKey, maximized);
    // Quitting maximized keeps the stored normal geometry for the next normal start.
    if (!maximized)
        store.setValue(kGeometryKey, m_view->geometry());
    Settings::protectStore(store);
}

void MainWindow::raise()
{
    m_view->raise();
    if (m_signedIn) {
        // Hiding and showing again brings a window back from the tray and from behind others.
        if (m_view->windowState() & Qt::WindowMaximized) {
            qDebug().nospace() << "INFO: " << "MainWindow: maximized";
            m_view->hide();
            m_view->showMaximized();
            m_view->requestActivate();
            return;
        }
        qDebug().nospace() << "INFO: " << "MainWindow: normal";
        m_view->hide();
        m_view->showNormal();
    }
    m_view->requestActivate();
}

bool MainWindow::hidesToTray() const
{
    // Without a tray to come back from, a hidden window would be lost: closing then quits.
    return m_trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() && m_keepRunning();
}

void MainWindow::showTrayNoticeOnce()
{
    QSettings store;
    if (!store.value(kTrayNoticeKey, true).toBool())
        return;
    store.setValue(kTrayNoticeKey, false);
    Settings::protectStore(store);
    m_trayIcon->showMessage(Constants::ApplicationName,
                            tr("The program will keep running in the system tray. To terminate the program, "
                               "choose Quit in the context menu of the system tray entry."),
                            QSystemTrayIcon::Information, kTrayMessageMs);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::Close && hidesToTray()) {
        m_view->hide();
        event->ignore();
        showTrayNoticeOnce();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
