#include "app/desktopnotifier.h"
#include "app/folderrevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QUrl>
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

// The file manager's ShowItems call, recorded. It sits on a connection of its own, so that
// calls travel through the bus.
class FileManagerStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shownUris;

public slots:
    void ShowItems(const QStringList &uris, const QString &) { shownUris += uris; }
};

const QString kServiceName = QStringLiteral("org.freedesktop.FileManager1");

} // namespace

// What the program asks of the desktop over the session bus: notifications and showing a file.
// Runs on a private session bus (dbus-run-session), never the developer's; xdg-open is a
// script on PATH that records its argument.
class TestDesktopBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Books/Red Dragon")));
        m_book = m_dir.filePath(QStringLiteral("Books/Red Dragon/Red Dragon #1.pdf"));
        QVERIFY(QFile(m_book).open(QIODevice::WriteOnly));

        QFile script(m_dir.filePath(QStringLiteral("bin/xdg-open")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        qputenv("PATH", m_dir.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + qgetenv("PATH"));

        m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("services"));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_service,
                                            QDBusConnection::ExportAllSlots));
        QVERIFY(m_serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                            QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(QStringLiteral("services")); }

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

    void selectsTheFileInTheFileManager()
    {
        QVERIFY(m_serviceBus.registerService(kServiceName));
        FolderRevealer revealer;
        QSignalSpy shown(&revealer, &FolderRevealer::shown);
        revealer.show(m_book);
        QVERIFY(shown.wait(10000));
        QCOMPARE(shown.first().first().toString(), QStringLiteral("selected"));
        // Space and '#' must reach the file manager encoded, or it would look for another file.
        QCOMPARE(m_fileManager.shownUris,
                 QStringList{"file://" + m_dir.path() + "/Books/Red%20Dragon/Red%20Dragon%20%231.pdf"});
        QVERIFY(openedWith().isEmpty());
        QVERIFY(m_serviceBus.unregisterService(kServiceName));
    }

    // Without a file manager on the bus the folder goes to xdg-open, whose failure the window
    // test shows; a file gone from the disk is said before either is asked.
    void opensTheFolderWithoutOne()
    {
        FolderRevealer revealer;
        QSignalSpy shown(&revealer, &FolderRevealer::shown);
        QSignalSpy failed(&revealer, &FolderRevealer::failed);
        revealer.show(m_book);
        QVERIFY(shown.wait(10000));
        QCOMPARE(shown.first().first().toString(), QStringLiteral("folder"));
        QCOMPARE(openedWith(), m_dir.filePath(QStringLiteral("Books/Red Dragon")));

        revealer.show(m_dir.filePath(QStringLiteral("Books/Red Dragon/Gone.pdf")));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("\"Gone.pdf\" is no longer on the disk."));
    }

private:
    QString openedWith() const
    {
        QFile record(m_dir.filePath(QStringLiteral("bin/opened")));
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }

    QTemporaryDir m_dir;
    QString m_book;
    QDBusConnection m_serviceBus{QString()};
    RecordingService m_service;
    FileManagerStandIn m_fileManager;
};

QTEST_MAIN(TestDesktopBus)
#include "tst_desktopbus.moc"
