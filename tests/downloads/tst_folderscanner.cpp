#include "downloads/folderscanner.h"
#include "downloads/folderscannertask.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

const QDateTime kOldDate(QDate(2020, 1, 1), QTime(10, 0));
const QDateTime kNewDate(QDate(2021, 1, 1), QTime(10, 0));
// Sparse: large enough that a scan is still hashing it when a test acts, without using disk.
const qint64 kLargeFileSize = qint64(2) << 30;

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool writeSparseFile(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

} // namespace

class TestFolderScanner : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void appliesMatch_data();
    void appliesMatch();
    void sharedChecksumUpdatesEveryFile();
    void skipsKnownUnchangedFiles_data();
    void skipsKnownUnchangedFiles();
    void emptyFolderReportsZeroThenHundred();
    void walksLinksOnceAndSkipsHiddenAndSpecialEntries();
    void cancelKeepsWhatWasMatched();
    void newScanCancelsRunningOne();
    void leavesFileDeletedDuringScanAlone();

private:
    LibraryFile *addFile(const QString &name, const QMap<QString, QDateTime> &hashes);
    FolderScannerTaskData data() const;
    // Runs a scan to its end; false when it did not end.
    bool scan(FolderScanner &scanner, const QString &folder);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<LibraryItem> m_item;
    std::vector<std::unique_ptr<LibraryFile>> m_files;
};

void TestFolderScanner::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_item = std::make_unique<LibraryItem>();
    m_item->setPublisher(QStringLiteral("Ember Press"));
    m_item->setTitle(QStringLiteral("Deep Keep"));
}

void TestFolderScanner::cleanup()
{
    m_files.clear();
    m_item.reset();
    m_dir.reset();
}

LibraryFile *TestFolderScanner::addFile(const QString &name, const QMap<QString, QDateTime> &hashes)
{
    m_files.push_back(std::make_unique<LibraryFile>(m_item.get(), DownloadContext()));
    LibraryFile *file = m_files.back().get();
    file->setServerFileName(name);
    file->setLocalDir(m_dir->path() + QStringLiteral("/library"));
    file->setHashes(hashes);
    return file;
}

FolderScannerTaskData TestFolderScanner::data() const
{
    QMultiHash<QString, LibraryFile *> byHash;
    QMap<QString, LibraryFile *> byPath;
    for (const auto &file : m_files) {
        if (!file)
            continue;
        const QMap<QString, QDateTime> hashes = file->hashes();
        for (auto it = hashes.cbegin(); it != hashes.cend(); ++it)
            byHash.insert(it.key(), file.get());
        byPath.insert(file->downloadPath(), file.get());
    }
    return FolderScannerTaskData(byHash, byPath);
}

bool TestFolderScanner::scan(FolderScanner &scanner, const QString &folder)
{
    QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
    scanner.startScanning(data(), folder, true);
    return (!finished.isEmpty() || finished.wait(30000)) && !scanner.scanning();
}

void TestFolderScanner::appliesMatch_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("copyIsOlder");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("applied");

    QTest::newRow("remote copy becomes downloaded") << int(LibraryFile::Remote) << false << int(LibraryFile::Downloaded) << true;
    QTest::newRow("failed download becomes downloaded") << int(LibraryFile::DownloadError) << false << int(LibraryFile::Downloaded) << true;
    QTest::newRow("update available stays") << int(LibraryFile::UpdateAvailable) << false << int(LibraryFile::UpdateAvailable) << true;
    QTest::newRow("older copy changes nothing") << int(LibraryFile::Downloaded) << true << int(LibraryFile::Downloaded) << false;
    QTest::newRow("queued file is left to its transfer") << int(LibraryFile::Queued) << false << int(LibraryFile::Queued) << false;
}

void TestFolderScanner::appliesMatch()
{
    QFETCH(int, status);
    QFETCH(bool, copyIsOlder);
    QFETCH(int, expected);
    QFETCH(bool, applied);

    const QByteArray oldContent("first printing");
    const QByteArray newContent("second printing");
    LibraryFile *file = addFile(QStringLiteral("Deep Keep.pdf"), {{md5(oldContent), kOldDate}, {md5(newContent), kNewDate}});
    file->setStatus(LibraryFile::Status(status));
    if (copyIsOlder) {
        file->setLocalFileName(QStringLiteral("Deep Keep.pdf"));
        file->setLocalFileHash(md5(newContent));
    }
    const QString folder = m_dir->path() + QStringLiteral("/found");
    const QString copy = folder + QStringLiteral("/sub/renamed copy.pdf");
    QVERIFY(writeFile(copy, copyIsOlder ? oldContent : newContent));
    const QString nameBefore = file->localFileName();
    const QString dirBefore = file->localDir();

    FolderScanner scanner;
    QVERIFY(scan(scanner, folder));

    QCOMPARE(int(file->status()), expected);
    QCOMPARE(file->localDir(), applied ? folder : dirBefore);
    QCOMPARE(file->localFileName(), applied ? QStringLiteral("renamed copy.pdf") : nameBefore);
    QCOMPARE(file->foundFilePath(), applied ? copy : QString());
    QCOMPARE(scanner.scanningProgress(), 100);
}

void TestFolderScanner::sharedChecksumUpdatesEveryFile()
{
    const QByteArray content("one book sold twice");
    LibraryFile *first = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
    LibraryFile *second = addFile(QStringLiteral("b.pdf"), {{md5(content), kNewDate}});
    LibraryFile *other = addFile(QStringLiteral("c.pdf"), {{md5("something else"), kNewDate}});
    const QString folder = m_dir->path() + QStringLiteral("/found");
    QVERIFY(writeFile(folder + QStringLiteral("/book.pdf"), content));

    FolderScanner scanner;
    QVERIFY(scan(scanner, folder));
    QCOMPARE(first->status(), LibraryFile::Downloaded);
    QCOMPARE(second->status(), LibraryFile::Downloaded);
    QCOMPARE(second->foundFilePath(), folder + QStringLiteral("/book.pdf"));
    QCOMPARE(other->status(), LibraryFile::Remote);
}

void TestFolderScanner::skipsKnownUnchangedFiles_data()
{
    QTest::addColumn<int>("recorded");
    // 0: the exact time; 1: whole seconds, as the saved library keeps it; 2: none yet.
    QTest::newRow("recorded time") << 0;
    QTest::newRow("saved time") << 1;
    QTest::newRow("no time, recorded by the first scan") << 2;
}

void TestFolderScanner::skipsKnownUnchangedFiles()
{
    QFETCH(int, recorded);
    const QByteArray content("the library's own copy");
    LibraryFile *file = addFile(QStringLiteral("Deep Keep.pdf"), {{md5(content), kNewDate}});
    const QString path = file->downloadPath();
    QVERIFY(writeFile(path, content));
    // A time within a second, so that whole seconds differ from the exact time.
    {
        QFile touch(path);
        QVERIFY(touch.open(QIODevice::ReadWrite));
        QVERIFY(touch.setFileTime(QDateTime::fromMSecsSinceEpoch(1600000000250), QFileDevice::FileModificationTime));
    }
    const QDateTime mtime = QFileInfo(path).lastModified();
    if (recorded == 0)
        file->setLocalLastModified(mtime);
    else if (recorded == 1)
        file->setLocalLastModified(QDateTime::fromString(mtime.toString(Qt::ISODate), Qt::ISODate));

    FolderScanner scanner;
    QVERIFY(scan(scanner, file->localDir()));
    if (recorded == 2) {
        QCOMPARE(scanner.hashedBytes(), qint64(content.size()));
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        QCOMPARE(file->localLastModified(), mtime);
        QVERIFY(scan(scanner, file->localDir()));
    }
    QCOMPARE(scanner.hashedBytes(), qint64(0));
    if (recorded != 2)
        QCOMPARE(file->status(), LibraryFile::Remote);

    // A changed copy is hashed again.
    QVERIFY(writeFile(path, content + "!"));
    QVERIFY(scan(scanner, file->localDir()));
    QCOMPARE(scanner.hashedBytes(), qint64(content.size() + 1));
}

void TestFolderScanner::emptyFolderReportsZeroThenHundred()
{
    addFile(QStringLiteral("a.pdf"), {{md5("a"), kNewDate}});
    QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/empty")));
    FolderScannerTaskData taskData = data();
    taskData.setFolder(m_dir->path() + QStringLiteral("/empty"));
    FolderScannerTask task(taskData);
    QSignalSpy progress(&task, &FolderScannerTask::scanningProgress);
    QSignalSpy finished(&task, &FolderScannerTask::scanningFinished);
    QVERIFY(task.searchFilesInFolderByHash());
    QCOMPARE(progress.size(), 2);
    QCOMPARE(progress.at(0).at(0).toDouble(), 0.0);
    QCOMPARE(progress.at(1).at(0).toDouble(), 100.0);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!task.isRunning());
}

void TestFolderScanner::walksLinksOnceAndSkipsHiddenAndSpecialEntries()
{
    const QByteArray linked("reached through a link");
    const QByteArray hidden("kept in a hidden folder");
    LibraryFile *linkedFile = addFile(QStringLiteral("linked.pdf"), {{md5(linked), kNewDate}});
    LibraryFile *hiddenFile = addFile(QStringLiteral("hidden.pdf"), {{md5(hidden), kNewDate}});
    const QString folder = m_dir->path() + QStringLiteral("/found");
    const QString elsewhere = m_dir->path() + QStringLiteral("/elsewhere");
    QVERIFY(writeFile(elsewhere + QStringLiteral("/copy.pdf"), linked));
    QVERIFY(writeFile(folder + QStringLiteral("/.hidden/copy.pdf"), hidden));
    QVERIFY(QFile::link(elsewhere, folder + QStringLiteral("/link")));
    QVERIFY(QFile::link(folder, folder + QStringLiteral("/loop")));
    QVERIFY(QFile::link(folder + QStringLiteral("/missing"), folder + QStringLiteral("/dangling")));
    QCOMPARE(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe")).constData(), 0600), 0);

    FolderScanner scanner;
    QVERIFY(scan(scanner, folder));
    QCOMPARE(linkedFile->status(), LibraryFile::Downloaded);
    QCOMPARE(linkedFile->foundFilePath(), folder + QStringLiteral("/link/copy.pdf"));
    QCOMPARE(scanner.hashedBytes(), qint64(linked.size()));
    QCOMPARE(hiddenFile->status(), LibraryFile::Remote);
}

void TestFolderScanner::cancelKeepsWhatWasMatched()
{
    const QByteArray content("matched before the cancel");
    LibraryFile *file = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
    const QString folder = m_dir->path() + QStringLiteral("/found");
    // Files of a folder are hashed before its subfolders.
    QVERIFY(writeFile(folder + QStringLiteral("/a.pdf"), content));
    QVERIFY(writeSparseFile(folder + QStringLiteral("/sub/large.bin"), kLargeFileSize));

    FolderScanner scanner;
    QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
    QSignalSpy scanning(&scanner, &FolderScanner::scanningChanged);
    scanner.startScanning(data(), folder, true);
    QTRY_COMPARE_WITH_TIMEOUT(file->status(), LibraryFile::Downloaded, 30000);
    QVERIFY(scanner.scanning());

    scanner.cancelScanning();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QVERIFY(!scanner.scanning());
    QCOMPARE(scanning.size(), 2);
    QVERIFY(scanner.hashedBytes() < kLargeFileSize);
    QCOMPARE(file->status(), LibraryFile::Downloaded);
    QCOMPARE(file->foundFilePath(), folder + QStringLiteral("/a.pdf"));
}

void TestFolderScanner::newScanCancelsRunningOne()
{
    const QByteArray content("found by the second scan");
    LibraryFile *file = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
    const QString slow = m_dir->path() + QStringLiteral("/slow");
    const QString quick = m_dir->path() + QStringLiteral("/quick");
    QVERIFY(writeSparseFile(slow + QStringLiteral("/large.bin"), kLargeFileSize));
    QVERIFY(writeFile(quick + QStringLiteral("/copy.pdf"), content));

    FolderScanner scanner;
    QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
    scanner.startScanning(data(), slow, false);
    QTRY_VERIFY_WITH_TIMEOUT(scanner.hashedBytes() > 0, 30000);
    scanner.startScanning(data(), quick, true);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0), (QVariantList{slow, true}));
    QVERIFY(scanner.withUI());

    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.at(1), (QVariantList{quick, false}));
    QCOMPARE(file->foundFilePath(), quick + QStringLiteral("/copy.pdf"));
    QVERIFY(!scanner.scanning());
}

void TestFolderScanner::leavesFileDeletedDuringScanAlone()
{
    const QByteArray content("two files, one copy");
    addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
    LibraryFile *kept = addFile(QStringLiteral("b.pdf"), {{md5(content), kNewDate}});
    const QString folder = m_dir->path() + QStringLiteral("/found");
    QVERIFY(writeFile(folder + QStringLiteral("/copy.pdf"), content));

    FolderScanner scanner;
    QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
    scanner.startScanning(data(), folder, true);
    // Before the worker's match can be applied: the event loop has not run yet.
    m_files.front().reset();
    QVERIFY(finished.wait(30000));
    QCOMPARE(kept->status(), LibraryFile::Downloaded);
}

QTEST_GUILESS_MAIN(TestFolderScanner)
#include "tst_folderscanner.moc"
