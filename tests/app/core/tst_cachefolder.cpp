#include "app/core/cachefolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestCacheFolder : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestCacheFolder)
#include "tst_cachefolder.moc"
