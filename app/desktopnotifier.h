#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;
class QWindow;

// Tells the customer how a run of downloads ended when they are not looking at the window: a
// notification of the desktop's notification service, or the tray's message where the session
// has none. A click on it asks for the window, and for the errors list when something failed.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    DesktopNotifier(QWindow *window, QSystemTrayIcon *tray, QObject *parent = nullptr);

    void downloadsEnded(int downloaded, int failed);

signals:
    void activated(bool showErrors);
    // The notification service took the notification; its id, for whoever follows it.
    void sent(uint id);

private slots:
    void onActionInvoked(uint id, const QString &action);

private:
    void showInTray(const QString &title, const QString &body);

    QWindow *const m_window;
    QSystemTrayIcon *const m_tray;
    uint m_lastId = 0;
    bool m_lastFailed = false;
};
