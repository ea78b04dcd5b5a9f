#include "downloads/folderscanner.h"
#include "downloads/folderscannertask.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
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

// With a size, a sparse file of that size instead of the data.
bool writeFile(const QString &path, const QByteArray &data, qint64 sparseSize = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && (sparseSize > 0 ? file.resize(sparseSize) : file.write(data) == data.size());
}

} // namespace

class TestFolderScanner : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = m_dir->path() + QStringLiteral("/found");
        m_item = std::make_unique<LibraryItem>(m_idle);
        m_item->setPublisher(QStringLiteral("Ember Press"));
        m_item->setTitle(QStringLiteral("Deep Keep"));
    }

    void cleanup()
    {
        FolderScanner::setSlice(FolderScanner::kSliceMs);
        m_files.clear();
        m_item.reset();
        m_dir.reset();
    }

    void appliesMatch_data()
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

    void appliesMatch()
    {
        QFETCH(int, status);
        QFETCH(bool, copyIsOlder);
        QFETCH(int, expected);
        QFETCH(bool, applied);

        const QByteArray oldContent("first printing");
        const QByteArray newContent("second printing");
        LibraryFile *file = addFile(QStringLiteral("Deep Keep.pdf"), {{md5(oldContent), kOldDate}, {md5(newContent), kNewDate}});
        IdleFileActions::setStatusForTest(file, LibraryFile::Status(status));
        if (copyIsOlder) {
            file->setLocalFileName(QStringLiteral("Deep Keep.pdf"));
            file->setLocalFileHash(md5(newContent));
        }
        const QString copy = m_folder + QStringLiteral("/sub/renamed copy.pdf");
        QVERIFY(writeFile(copy, copyIsOlder ? oldContent : newContent));
        const QString nameBefore = file->localFileName();
        const QString dirBefore = file->localDir();

        FolderScanner scanner;
        QVERIFY(scan(scanner, m_folder));

        QCOMPARE(int(file->status()), expected);
        QCOMPARE(file->localDir(), applied ? m_folder : dirBefore);
        QCOMPARE(file->localFileName(), applied ? QStringLiteral("renamed copy.pdf") : nameBefore);
        QCOMPARE(file->foundFilePath(), applied ? copy : QString());
        QCOMPARE(scanner.scanningProgress(), 100);
    }

    void sharedChecksumUpdatesEveryFile_data()
    {
        QTest::addColumn<bool>("firstDeleted");
        QTest::newRow("every file kept") << false;
        QTest::newRow("a file deleted during the scan") << true;
    }

    void sharedChecksumUpdatesEveryFile()
    {
        QFETCH(bool, firstDeleted);
        const QByteArray content("one book sold twice");
        LibraryFile *first = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
        LibraryFile *second = addFile(QStringLiteral("b.pdf"), {{md5(content), kNewDate}});
        LibraryFile *other = addFile(QStringLiteral("c.pdf"), {{md5("something else"), kNewDate}});
        QVERIFY(writeFile(m_folder + QStringLiteral("/book.pdf"), content));

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(data(), m_folder, true);
        // Before the worker's match can be applied: the event loop has not run yet.
        if (firstDeleted)
            m_files.front().reset();
        QVERIFY(!finished.isEmpty() || finished.wait(30000));
        if (!firstDeleted)
            QCOMPARE(first->status(), LibraryFile::Downloaded);
        QCOMPARE(second->status(), LibraryFile::Downloaded);
        QCOMPARE(second->foundFilePath(), m_folder + QStringLiteral("/book.pdf"));
        QCOMPARE(other->status(), LibraryFile::Remote);
    }

    void skipsKnownUnchangedFiles_data()
    {
        QTest::addColumn<int>("recorded");
        // 0: the exact time; 1: whole seconds, as the saved library keeps it; 2: none yet.
        QTest::newRow("recorded time") << 0;
        QTest::newRow("saved time") << 1;
        QTest::newRow("no time, recorded by the first scan") << 2;
    }

    void skipsKnownUnchangedFiles()
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

    void emptyFolderReportsZeroThenHundred()
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

    void walksLinksOnceAndSkipsHiddenAndSpecialEntries()
    {
        const QByteArray inside("reached inside, once");
        const QByteArray outside("lies outside the folder");
        const QByteArray hidden("kept in a hidden folder");
        LibraryFile *insideFile = addFile(QStringLiteral("inside.pdf"), {{md5(inside), kNewDate}});
        LibraryFile *outsideFile = addFile(QStringLiteral("outside.pdf"), {{md5(outside), kNewDate}});
        LibraryFile *hiddenFile = addFile(QStringLiteral("hidden.pdf"), {{md5(hidden), kNewDate}});
        const QString elsewhere = m_dir->path() + QStringLiteral("/elsewhere");
        QVERIFY(writeFile(m_folder + QStringLiteral("/shelf/copy.pdf"), inside));
        QVERIFY(writeFile(elsewhere + QStringLiteral("/copy.pdf"), outside));
        QVERIFY(writeFile(m_folder + QStringLiteral("/.hidden/copy.pdf"), hidden));
        QVERIFY(QFile::link(m_folder + QStringLiteral("/shelf"), m_folder + QStringLiteral("/again")));
        QVERIFY(QFile::link(elsewhere, m_folder + QStringLiteral("/link")));
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/copy.pdf"), m_folder + QStringLiteral("/passwd")));
        QVERIFY(QFile::link(m_folder, m_folder + QStringLiteral("/loop")));
        QVERIFY(QFile::link(m_folder + QStringLiteral("/missing"), m_folder + QStringLiteral("/dangling")));
        QCOMPARE(::mkfifo(QFile::encodeName(m_folder + QStringLiteral("/pipe")).constData(), 0600), 0);

        FolderScanner scanner;
        QVERIFY(scan(scanner, m_folder));
        QCOMPARE(insideFile->status(), LibraryFile::Downloaded);
        QVERIFY(insideFile->foundFilePath().endsWith(QStringLiteral("/copy.pdf")));
        QCOMPARE(scanner.hashedBytes(), qint64(inside.size()));
        QCOMPARE(outsideFile->status(), LibraryFile::Remote);
        QCOMPARE(hiddenFile->status(), LibraryFile::Remote);
    }

    void cancelKeepsWhatWasMatched()
    {
        const QByteArray content("matched before the cancel");
        LibraryFile *file = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
        // Files of a folder are hashed before its subfolders.
        QVERIFY(writeFile(m_folder + QStringLiteral("/a.pdf"), content));
        QVERIFY(writeFile(m_folder + QStringLiteral("/sub/large.bin"), {}, kLargeFileSize));

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        QSignalSpy scanning(&scanner, &FolderScanner::scanningChanged);
        scanner.startScanning(data(), m_folder, true);
        QTRY_COMPARE_WITH_TIMEOUT(file->status(), LibraryFile::Downloaded, 30000);
        QVERIFY(scanner.scanning());

        scanner.cancelScanning();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QVERIFY(!scanner.scanning());
        QCOMPARE(scanning.size(), 2);
        QVERIFY(scanner.hashedBytes() < kLargeFileSize);
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        QCOMPARE(file->foundFilePath(), m_folder + QStringLiteral("/a.pdf"));
    }

    void newScanCancelsRunningOne()
    {
        const QByteArray content("found by the second scan");
        LibraryFile *file = addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
        const QString slow = m_dir->path() + QStringLiteral("/slow");
        const QString quick = m_dir->path() + QStringLiteral("/quick");
        QVERIFY(writeFile(slow + QStringLiteral("/large.bin"), {}, kLargeFileSize));
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

    void recordsDownloadPathsAsTheFilesBuildThem_data()
    {
        QTest::addColumn<QString>("publisher");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("localName");
        QTest::addColumn<bool>("ownFolder");

        QTest::newRow("local name wins") << "Ember Press" << "Deep Keep" << "Deep Keep.pdf" << "renamed.pdf" << false;
        QTest::newRow("illegal characters, final dot and space") << "Ember: Press." << "Deep/Keep* " << "a<b>|c." << "" << false;
        QTest::newRow("empty publisher and title") << "" << "" << "Deep Keep.pdf" << "" << false;
        QTest::newRow("folder of its own") << "Ember Press" << "Deep/Keep" << "Deep Keep.pdf" << "" << true;
        QTest::newRow("own folder, overlong title") << "Ember Press" << QString(300, 'k') << "Deep Keep.pdf" << "" << true;
    }

    void recordsDownloadPathsAsTheFilesBuildThem()
    {
        QFETCH(QString, publisher);
        QFETCH(QString, title);
        QFETCH(QString, serverName);
        QFETCH(QString, localName);
        QFETCH(bool, ownFolder);
        m_item->setPublisher(publisher);
        m_item->setTitle(title);
        m_item->setProductId(QStringLiteral("4711"));
        m_item->setOwnFolder(ownFolder);
        addFile(QStringLiteral("no checksums.pdf"), {});
        LibraryFile *file = addFile(serverName, {{md5("x"), kNewDate}});
        file->setLocalFileName(localName);

        const FolderScannerTaskData taskData = data();
        QCOMPARE(taskData.fileCount(), 1);
        QCOMPARE(taskData.file(0), file);
        QCOMPARE(taskData.downloadPath(0), file->downloadPath());
        QCOMPARE(file->downloadPath().contains(QStringLiteral(" (4711)/")), ownFolder);
        QCOMPARE(taskData.hashes(0), QStringList{md5("x")});
        // A later change to the file is not the scan's business.
        const QString before = file->downloadPath();
        file->setLocalDir(QStringLiteral("/elsewhere"));
        QCOMPARE(taskData.downloadPath(0), before);
    }

    void appliesAcrossTurnsInScanOrder()
    {
        FolderScanner::setSlice(0);
        const QList<LibraryFile *> files = addCopies(m_folder, 6);
        QCOMPARE(files.size(), 6);
        // The scan hashes a folder's files in the order it lists them.
        QStringList listed;
        for (QDirIterator it(m_folder, QDir::Files); it.hasNext();)
            listed.append(QFileInfo(it.next()).fileName());
        LibraryFile *last = files.at(listed.constLast().section(QLatin1Char(' '), 1, 1).section(QLatin1Char('.'), 0, 0).toInt());

        int turn = 0;
        QTimer turns;
        turns.setInterval(0);
        connect(&turns, &QTimer::timeout, this, [&turn] { ++turn; });
        turns.start();
        QStringList applied;
        QList<int> appliedTurns;
        for (LibraryFile *file : files) {
            connect(file, &LibraryFile::localFileNameChanged, this, [&, file] {
                applied.append(file->localFileName());
                appliedTurns.append(turn);
                // Gone between two slices, before its own match comes up.
                if (applied.size() == 1) {
                    QTimer::singleShot(0, this, [&] {
                        for (auto &owned : m_files) {
                            if (owned.get() == last)
                                owned.reset();
                        }
                    });
                }
            });
        }

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(data(), m_folder, true);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 1);
        listed.removeLast();
        QCOMPARE(applied, listed);
        for (int i = 1; i < appliedTurns.size(); ++i)
            QVERIFY2(appliedTurns.at(i) > appliedTurns.at(i - 1), "two matches applied in one turn");
    }

    void setupAcrossTurns_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<bool>("withChecksums");

        QTest::newRow("completes") << QString() << true;
        QTest::newRow("nothing to look for") << QString() << false;
        QTest::newRow("cancelled") << QStringLiteral("cancel") << true;
        QTest::newRow("replaced by another scan") << QStringLiteral("restart") << true;
        QTest::newRow("scanner destroyed") << QStringLiteral("destroy") << true;
    }

    void setupAcrossTurns()
    {
        QFETCH(QString, interruption);
        QFETCH(bool, withChecksums);
        FolderScanner::setSlice(0);
        QList<LibraryFile *> files = addCopies(m_folder, 3);
        QCOMPARE(files.size(), 3);
        if (!withChecksums) {
            for (LibraryFile *file : files)
                file->setHashes({});
        }

        // One file a call, as a library hands over one product a call; the token stands for the
        // products a collector keeps alive.
        auto token = std::make_shared<int>(0);
        const std::weak_ptr<int> held = token;
        int calls = 0;
        FolderScanner::Collector collect = [&calls, files, token, next = 0](FolderScannerTaskData &data, qint64) mutable {
            ++calls;
            data.addFile(files.at(next++));
            return next == files.size();
        };
        token.reset();

        auto scanner = std::make_unique<FolderScanner>();
        QSignalSpy finished(scanner.get(), &FolderScanner::scanFinished);
        QSignalSpy scanning(scanner.get(), &FolderScanner::scanningChanged);
        scanner->startScanning(std::move(collect), m_folder, true);
        QCOMPARE(calls, 1);
        QVERIFY(!scanner->scanning());

        if (interruption.isEmpty()) {
            if (withChecksums) {
                QVERIFY(finished.wait(30000));
                QCOMPARE(calls, 3);
                for (LibraryFile *file : files)
                    QCOMPARE(file->status(), LibraryFile::Downloaded);
            } else {
                QTRY_COMPARE(calls, 3);
                // Nothing to look for: the set-up ends there, without a scan.
                QVERIFY(finished.isEmpty());
                QVERIFY(scanning.isEmpty());
            }
            QVERIFY(held.expired());
            return;
        }

        if (interruption == QLatin1String("cancel"))
            scanner->cancelScanning();
        else if (interruption == QLatin1String("restart"))
            scanner->startScanning([](FolderScannerTaskData &, qint64) { return true; }, m_folder, true);
        else
            scanner.reset();
        QVERIFY(held.expired());
        // The slice the dropped set-up had queued finds nothing to do.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(calls, 1);
        for (LibraryFile *file : files)
            QCOMPARE(file->status(), LibraryFile::Remote);
        QVERIFY(finished.isEmpty());
        QVERIFY(scanning.isEmpty());
    }

    void scansLibrarySetUpInSlices_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::newRow("refreshed from the service") << false;
        // Loaded products keep plain files in saved form; the scan must not make them all.
        QTest::newRow("loaded from the saved library") << true;
    }

    void scansLibrarySetUpInSlices()
    {
        QFETCH(bool, saved);
        FolderScanner::setSlice(0);
        QJsonArray products;
        for (int i = 0; i < 4; ++i) {
            const QByteArray content = "product " + QByteArray::number(i);
            // The last product has no copy on disk.
            if (i < 3)
                QVERIFY(writeFile(m_folder + QStringLiteral("/sub %1/copy.pdf").arg(i), content));
            products.append(QJsonObject{
                {QStringLiteral("products_id"), QString::number(100 + i)},
                {QStringLiteral("products_name"), QStringLiteral("Title %1").arg(i)},
                {QStringLiteral("files"),
                 QJsonArray{QJsonObject{{QStringLiteral("filename"), QStringLiteral("book %1.pdf").arg(i)},
                                        {QStringLiteral("checksums"),
                                         QJsonArray{QJsonObject{{QStringLiteral("checksum"), md5(content)},
                                                                {QStringLiteral("checksum_date"),
                                                                 QStringLiteral("2020-11-10 10:00:00")}}}}}}}});
        }
        const QString storeName = QStringLiteral("scan-%1.dat").arg(QFileInfo(m_dir->path()).fileName());
        OnlineLibrary refreshed(m_idle);
        refreshed.setStoreName(storeName);
        refreshed.onTitlesRefreshResult(1, products);
        refreshed.save();
        OnlineLibrary loaded(m_idle);
        loaded.setStoreName(storeName);
        loaded.load();
        QFile::remove(loaded.storePath());
        OnlineLibrary &library = saved ? loaded : refreshed;
        QCOMPARE(library.rowCount(), 4);
        QCOMPARE(library.itemAt(0)->filesPending(), saved);

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(library.fileHashCollector(), m_folder, true);
        QVERIFY(!scanner.scanning());
        QVERIFY(finished.wait(30000));
        QCOMPARE(library.itemAt(3)->filesPending(), saved);
        for (int row = 0; row < library.rowCount(); ++row) {
            LibraryFile *file = library.itemAt(row)->filesModel()->fileAt(0);
            if (row == 3) {
                QCOMPARE(file->status(), LibraryFile::Remote);
                continue;
            }
            QCOMPARE(file->status(), LibraryFile::Downloaded);
            QCOMPARE(file->foundFilePath(), m_folder + QStringLiteral("/sub %1/copy.pdf").arg(row));
        }

        // Products dropped while the scan is set up are walked, kept alive by the set-up only, and
        // gone before a match could reach them.
        scanner.startScanning(library.fileHashCollector(), m_folder, true);
        library.clear();
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 2);
        QCOMPARE(scanner.scanning(), false);
    }

private:
    // Makes `count` files whose copies lie directly in `folder`; returns them.
    QList<LibraryFile *> addCopies(const QString &folder, int count)
    {
        QList<LibraryFile *> files;
        for (int i = 0; i < count; ++i) {
            const QByteArray content = "copy number " + QByteArray::number(i);
            files.append(addFile(QStringLiteral("book %1.pdf").arg(i), {{md5(content), kNewDate}}));
            if (!writeFile(folder + QStringLiteral("/copy %1.pdf").arg(i), content))
                return {};
        }
        return files;
    }

    LibraryFile *addFile(const QString &name, const QMap<QString, QDateTime> &hashes)
    {
        m_files.push_back(std::make_unique<LibraryFile>(m_item.get(), m_idle));
        LibraryFile *file = m_files.back().get();
        file->setServerFileName(name);
        file->setLocalDir(m_dir->path() + QStringLiteral("/library"));
        file->setHashes(hashes);
        return file;
    }

    FolderScannerTaskData data() const
    {
        FolderScannerTaskData data;
        for (const auto &file : m_files)
            data.addFile(file.get());
        return data;
    }

    // Runs a scan to its end; false when it did not end.
    bool scan(FolderScanner &scanner, const QString &folder)
    {
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(data(), folder, true);
        return (!finished.isEmpty() || finished.wait(30000)) && !scanner.scanning();
    }

    IdleFileActions m_idle;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;  // where the tests put the copies a scan looks for
    std::unique_ptr<LibraryItem> m_item;
    std::vector<std::unique_ptr<LibraryFile>> m_files;
};

QTEST_GUILESS_MAIN(TestFolderScanner)
#include "tst_folderscanner.moc"
