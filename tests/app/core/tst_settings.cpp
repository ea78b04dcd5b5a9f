#include "app/core/cachefolder.h"
#include "app/core/settings.h"
#include "scratchmount.h"

#include <QDir>
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

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
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

    // What the store holds is read as it is; only what is set is brought into range, and stored
    // by a save. An update policy this version does not know asks each time and is saved back
    // as it was. The delete question's own box is the exception: written at once.
    void normalisesWhatIsSetNotWhatIsLoaded()
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
        settings.setSimultaneousDownloads(0);
        QCOMPARE(settings.simultaneousDownloads(), 1);
        settings.setLibraryDirectory(QStringLiteral("/home/u/Books/\\/\\"));
        QCOMPARE(settings.libraryDirectory(), QStringLiteral("/home/u/Books"));
        QCOMPARE(Settings().simultaneousDownloads(), 8);
        settings.save();
        QCOMPARE(Settings().simultaneousDownloads(), 1);
        QCOMPARE(QSettings().value(QStringLiteral("updateBookPolicy")).toInt(), 7);
        settings.setShowDeleteConfirmation(false);
        QVERIFY(!Settings().showDeleteConfirmation());
    }

    // A write of the store cut short by a kill leaves a temporary copy holding the token; a pipe
    // in the store's place would block every read of the settings.
    void leftoversInTheStoresPlaceAreCleared()
    {
        Settings().save();
        const QString path = QSettings().fileName();
        const QString leftover = path + QStringLiteral(".a1B2c3");
        const QString other = QFileInfo(path).absolutePath() + QStringLiteral("/Other.conf.a1B2c3");
        QFile(leftover).open(QIODevice::WriteOnly);
        QFile(other).open(QIODevice::WriteOnly);
        QFile::remove(path);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: Settings: .* is not a regular file; kept aside")));
        Settings settings;
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(QFile::exists(other));
        settings.setSimultaneousDownloads(2);
        settings.save();
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(Settings().simultaneousDownloads(), 2);
    }

    // A store the disk refuses is reported, not taken for saved; the command-line test fills
    // the disk under its login.
    void refusedStoreIsReported()
    {
        const QString dir = QFileInfo(QSettings().fileName()).absolutePath();
        ScratchMount mount(dir, 64 * 1024);
        if (!mount.mounted())
            QSKIP("No right to mount a scratch file system");
        QVERIFY(mount.refuseWrites(true));
        Settings settings;
        QSignalSpy failed(&settings, &Settings::storeFailed);
        settings.setSimultaneousDownloads(2);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: Settings: could not write ")));
        settings.save();
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.constFirst().constFirst().toString().contains(QSettings().fileName()));
    }

    // Where no secret service runs (a server, cron, these tests), the secrets stay in the
    // private settings file, at once rather than after a wait for a service that is not there.
    void secretsFallBackToThePrivateFile()
    {
        const QByteArray before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        QElapsedTimer clock;
        clock.start();
        Settings::writeSecret(QStringLiteral("login/access_token"), QStringLiteral("T0KEN"));
        QCOMPARE(Settings::readSecret(QStringLiteral("login/access_token")), QStringLiteral("T0KEN"));
        QCOMPARE(QSettings().value(QStringLiteral("login/access_token")).toString(), QStringLiteral("T0KEN"));
        const QString file = QSettings().fileName();
        QVERIFY(isPrivate(file) && isPrivate(QFileInfo(file).absolutePath()));
        // Widened by someone else: tightened again by the next write.
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        Settings::removeSecret(QStringLiteral("login/access_token"));
        QVERIFY(isPrivate(file));
        QVERIFY(!QSettings().contains(QStringLiteral("login/access_token")));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        qputenv("DBUS_SESSION_BUS_ADDRESS", before);
    }

    // The image cache moved out of the data folder: the old one goes, and nothing else.
    void removesTheOldCacheOnly_data()
    {
        QTest::addColumn<QString>("oldCache");   // "dir", or "link" to a folder elsewhere
        QTest::newRow("old folder") << "dir";
        QTest::newRow("link out of the data folder") << "link";
    }

    void removesTheOldCacheOnly()
    {
        QFETCH(QString, oldCache);
        QTemporaryDir root;
        const QString data = root.filePath("data");
        const QString elsewhere = root.filePath("elsewhere");
        touch(data + "/library.dat");
        touch(elsewhere + "/keep.png");
        if (oldCache == "dir")
            touch(data + "/cache/covers/a.png");
        else
            QVERIFY(QFile::link(elsewhere, data + "/cache"));

        const QString cache = root.filePath("cache/Quenlith/Tolvane");
        QCOMPARE(CacheFolder::prepare(data, cache), cache);
        QVERIFY(QFileInfo(cache).isDir());
        QVERIFY(!QFileInfo(data + "/cache").exists() && !QFileInfo(data + "/cache").isSymLink());
        QVERIFY(QFile::exists(data + "/library.dat"));
        QVERIFY(QFile::exists(elsewhere + "/keep.png"));
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
