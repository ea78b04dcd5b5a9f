#include "app/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QWindow>
#include <QtTest>

namespace {

// The desktop's notification service as far as the program uses it, recording each call. It
// sits on a connection of its own, so that calls travel through the bus.
class RecordingService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &, int)
    {
        calls.append({summary, body, actions});
        return uint(calls.size());
    }
};

} // namespace

// Runs on a private session bus (dbus-run-session), never the developer's.
class TestDesktopNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(m_serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(QStringLiteral("service")); }

    void notifiesOnlyWhenNotLooked_data()
    {
        QTest::addColumn<int>("downloaded");
        QTest::addColumn<int>("failed");
        QTest::addColumn<QStringList>("shown");   // summary and body
        QTest::newRow("all downloaded") << 3 << 0 << QStringList{"Downloads finished", "3 file(s) downloaded"};
        QTest::newRow("some failed")
            << 2 << 1 << QStringList{"Downloads finished with errors", "2 file(s) downloaded, 1 failed"};
    }

    // While the window is in front nothing is sent; hidden, one notification with the counts.
    // Its click asks for the window, with the errors list when something failed.
    void notifiesOnlyWhenNotLooked()
    {
        QFETCH(int, downloaded);
        QFETCH(int, failed);
        QFETCH(QStringList, shown);
        m_service.calls.clear();
        QWindow window;
        window.resize(200, 100);
        QSystemTrayIcon tray;
        DesktopNotifier notifier(&window, &tray);
        QSignalSpy sent(&notifier, &DesktopNotifier::sent);
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);

        window.show();
        window.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        notifier.downloadsEnded(downloaded, failed);
        window.hide();
        notifier.downloadsEnded(downloaded, failed);
        QVERIFY(sent.wait(10000));
        QCOMPARE(m_service.calls.size(), 1);
        QCOMPARE((QStringList{m_service.calls.first().summary, m_service.calls.first().body}), shown);
        // Without the default action the desktop offers no click.
        QVERIFY(m_service.calls.first().actions.contains(QStringLiteral("default")));
        QDBusMessage click = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                        "org.freedesktop.Notifications", "ActionInvoked");
        click << sent.first().first().toUInt() << QStringLiteral("default");
        QVERIFY(m_serviceBus.send(click));
        QVERIFY(activated.wait(10000));
        QCOMPARE(activated.first().first().toBool(), failed > 0);
    }

private:
    QDBusConnection m_serviceBus{QString()};
    RecordingService m_service;
};

QTEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
