#include "app/core/settings.h"
#include "scratchmount.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

bool isPrivate(const QString &path)
{
    return !(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                         | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    }

    void init() { QSettings().clear(); }

    void clampsSimultaneousDownloads_data()
    {
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("stored");
        QTest::newRow("zero") << 0 << 1;
        QTest::newRow("nine") << 9 << 5;
        QTest::newRow("in range") << 2 << 2;
    }

    void clampsSimultaneousDownloads()
    {
        QFETCH(int, given);
        QFETCH(int, stored);
        Settings settings;
        QSignalSpy changed(&settings, &Settings::simultaneousDownloadsChanged);
        settings.setSimultaneousDownloads(given);
        QCOMPARE(settings.simultaneousDownloads(), stored);
        // The default is 3: only a real change is announced.
        QCOMPARE(changed.count(), stored == 3 ? 0 : 1);
    }

    void stripsTrailingSeparators_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("stored");
        QTest::newRow("two backslashes") << QStringLiteral("C:\\Books\\\\") << QStringLiteral("C:\\Books");
        QTest::newRow("mixed") << QStringLiteral("/home/u/Books/\\/\\") << QStringLiteral("/home/u/Books");
        QTest::newRow("only slashes") << QStringLiteral("///") << QString();
    }

    void stripsTrailingSeparators()
    {
        QFETCH(QString, given);
        QFETCH(QString, stored);
        Settings settings;
        QSignalSpy changed(&settings, &Settings::libraryDirectoryChanged);
        settings.setLibraryDirectory(given);
        QCOMPARE(settings.libraryDirectory(), stored);
        settings.setLibraryDirectory(stored + QStringLiteral("/"));
        QCOMPARE(changed.count(), 1);
    }

    void loadsOutOfRangeValuesUnchanged()
    {
        {
            QSettings store;
            store.setValue(QStringLiteral("simultaneousDownloads"), 8);
            store.setValue(QStringLiteral("updateBookPolicy"), 7);
            store.setValue(QStringLiteral("libraryDirectory"), QStringLiteral("/books//"));
        }
        Settings settings;
        QCOMPARE(settings.simultaneousDownloads(), 8);
        QCOMPARE(settings.updateBookPolicy(), Settings::AskEachTime);
        QCOMPARE(settings.libraryDirectory(), QStringLiteral("/books//"));
        settings.setSimultaneousDownloads(8);
        QCOMPARE(settings.simultaneousDownloads(), 5);
        settings.save();
        QCOMPARE(QSettings().value(QStringLiteral("updateBookPolicy")).toInt(), 7);
    }

    void valuesSurviveOnlyAfterSave()
    {
        Settings settings;
        settings.setSimultaneousDownloads(5);
        settings.setLibraryDirectory(QStringLiteral("/srv/books"));
        settings.setEqualRowHeight(true);
        QCOMPARE(Settings().simultaneousDownloads(), 3);
        settings.save();
        Settings reloaded;
        QCOMPARE(reloaded.simultaneousDownloads(), 5);
        QCOMPARE(reloaded.libraryDirectory(), QStringLiteral("/srv/books"));
        QCOMPARE(QSettings().value(QStringLiteral("LibraryView/equalRowHeight")).toBool(), true);

        // The delete question's own box is the exception: written at once.
        settings.setShowDeleteConfirmation(false);
        QVERIFY(!Settings().showDeleteConfirmation());
    }

    void storeIsPrivate()
    {
        Settings settings;
        settings.save();
        const QString file = QSettings().fileName();
        QVERIFY(isPrivate(file) && isPrivate(QFileInfo(file).absolutePath()));
        // Widened by someone else: tightened again by the next write.
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        settings.setShowDeleteConfirmation(false);
        QVERIFY(isPrivate(file));
    }

    // A write of the store cut short by a kill leaves a temporary copy holding the token.
    void leftoversOfAnInterruptedWriteAreRemoved()
    {
        Settings().save();
        const QFileInfo store(QSettings().fileName());
        const QString leftover = store.absoluteFilePath() + QStringLiteral(".a1B2c3");
        const QString other = store.absolutePath() + QStringLiteral("/Other.conf.a1B2c3");
        QFile(leftover).open(QIODevice::WriteOnly);
        QFile(other).open(QIODevice::WriteOnly);
        Settings settings;
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(QFile::exists(other));
        QVERIFY(store.exists());
    }

    // A store the disk refuses is reported, not taken for saved.
    void refusedStoreIsReported_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("full disk") << false;
        QTest::newRow("read-only folder") << true;
    }

    void refusedStoreIsReported()
    {
        QFETCH(bool, readOnly);
        const QString dir = QFileInfo(QSettings().fileName()).absolutePath();
        ScratchMount mount(dir, 64 * 1024);
        if (!mount.mounted())
            QSKIP("No right to mount a scratch file system");
        QVERIFY(mount.refuseWrites(readOnly));
        Settings settings;
        QSignalSpy failed(&settings, &Settings::storeFailed);
        settings.setSimultaneousDownloads(2);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: Settings: could not write ")));
        settings.save();
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.constFirst().constFirst().toString().contains(QSettings().fileName()));
    }

    // Where no secret service runs (a server, cron, these tests), the secrets stay in the
    // private settings file, at once rather than after a wait for a service.
    void secretsFallBackToThePrivateFile_data()
    {
        QTest::addColumn<QByteArray>("bus");
        QTest::newRow("no session bus") << QByteArray();
        QTest::newRow("bus socket missing") << QByteArray("unix:path=/nonexistent/bus");
    }

    void secretsFallBackToThePrivateFile()
    {
        QFETCH(QByteArray, bus);
        const QByteArray before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        if (bus.isEmpty())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        QElapsedTimer clock;
        clock.start();
        Settings::writeSecret(QStringLiteral("login/access_token"), QStringLiteral("T0KEN"));
        QCOMPARE(Settings::readSecret(QStringLiteral("login/access_token")), QStringLiteral("T0KEN"));
        QCOMPARE(QSettings().value(QStringLiteral("login/access_token")).toString(), QStringLiteral("T0KEN"));
        QVERIFY(isPrivate(QSettings().fileName()));
        Settings::removeSecret(QStringLiteral("login/access_token"));
        QVERIFY(Settings::readSecret(QStringLiteral("login/access_token")).isEmpty());
        QVERIFY(!QSettings().contains(QStringLiteral("login/access_token")));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        qputenv("DBUS_SESSION_BUS_ADDRESS", before);
    }

    // A pipe in the store's place would block every read of the settings.
    void pipeAsStoreIsKeptAside()
    {
        const QString path = QSettings().fileName();
        QFile::remove(path);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: Settings: .* is not a regular file; kept aside")));
        Settings settings;
        settings.setSimultaneousDownloads(2);
        settings.save();
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(Settings().simultaneousDownloads(), 2);
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
