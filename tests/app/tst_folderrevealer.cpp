#include "app/folderrevealer.h"

#include <QDBusConnection>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

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

// Runs on a private session bus (dbus-run-session), never the developer's; xdg-open is a
// script on PATH that records its argument.
class TestFolderRevealer : public QObject
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

        m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fileManager"));
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                            QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(QStringLiteral("fileManager")); }

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
    FileManagerStandIn m_fileManager;
};

QTEST_MAIN(TestFolderRevealer)
#include "tst_folderrevealer.moc"
