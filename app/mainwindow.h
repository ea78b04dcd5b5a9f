#pragma once

#include <QObject>
#include <QRect>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QQuickView;
class QSystemTrayIcon;

// The one top-level window and its tray icon: restoring and saving the window's state, bringing
// it back to the front, and keeping the program alive in the tray while work is running.
class MainWindow : public QObject
{
    Q_OBJECT
public:
    // syncAction is shown in the tray menu between "Show application window" and "Quit".
    MainWindow(QQuickView *view, QAction *syncAction, QObject *parent = nullptr);
    ~MainWindow() override;

    // Asked when the window is closed: while it answers true (transfers are running), closing
    // hides the window to the tray instead of ending the program.
    void setKeepRunningCheck(std::function<bool()> check);

    // The tray icon shows exactly while a customer is signed in.
    void setSignedIn(bool signedIn);

    void restore();
    void saveState();

    // Where a saved geometry is shown: as saved while its top edge is on some screen, moved
    // onto `area` otherwise.
    static QRect placedOnScreen(const QRect &saved, const QRect &area);
    static QRect availableArea(const QRect &saved);

    QSystemTrayIcon *trayIcon() const { return m_trayIcon; }
    QMenu *trayMenu() const { return m_trayMenu.get(); }

    static const int kTrayMessageMs = 10000;

public slots:
    void raise();

signals:
    void quitRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool hidesToTray() const;
    void showTrayNoticeOnce();

    QQuickView *m_view;
    bool m_signedIn = false;
    std::function<bool()> m_keepRunning;
    std::unique_ptr<QMenu> m_trayMenu;
    QSystemTrayIcon *m_trayIcon = nullptr;
};
