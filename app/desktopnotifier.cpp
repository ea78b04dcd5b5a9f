#include "desktopnotifier.h"

#include "app/mainwindow.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QSystemTrayIcon>
#include <QVariantMap>
#include <QWindow>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action a click on the notification's body invokes.
const QString kDefaultAction = QStringLiteral("default");
const QString kDesktopEntry = QStringLiteral("example.tolvane_store.tolvane");

} // namespace

DesktopNotifier::DesktopNotifier(QWindow *window, QSystemTrayIcon *tray, QObject *parent)
    : QObject(parent), m_window(window), m_tray(tray)
{
    QDBusConnection::sessionBus().connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                          SLOT(onActionInvoked(uint, QString)));
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] { emit activated(m_lastFailed); });
}

void DesktopNotifier::downloadsEnded(int downloaded, int failed)
{
    if (m_window->isVisible() && m_window->isActive())
        return;
    m_lastFailed = failed > 0;
    const QString title = failed > 0 ? tr("Downloads finished with errors") : tr("Downloads finished");
    QString body = tr("%n file(s) downloaded", nullptr, downloaded);
    if (failed > 0)
        body += QStringLiteral(", ") + tr("%n failed", nullptr, failed);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        showInTray(title, body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), kDesktopEntry}};
    call << QStringLiteral("Tolvane") << m_lastId << QStringLiteral("tolvane") << title << body
         << QStringList{kDefaultAction, tr("Show")} << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            qDebug().nospace() << "WARNING: " << "Notifications: No notification service: " << reply.error().message();
            showInTray(title, body);
            return;
        }
        m_lastId = reply.value();
        emit sent(m_lastId);
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString &action)
{
    if (id != 0 && id == m_lastId && action == kDefaultAction)
        emit activated(m_lastFailed);
}

void DesktopNotifier::showInTray(const QString &title, const QString &body)
{
    if (m_tray->isVisible() && QSystemTrayIcon::supportsMessages())
        m_tray->showMessage(title, body, QSystemTrayIcon::Information, MainWindow::kTrayMessageMs);
}
