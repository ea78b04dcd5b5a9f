#include "../library/libraryfixtures.h"
#include "testfiles.h"

#include "downloads/folderscanner.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

const QDateTime kNewDate(QDate(2021, 1, 1), QTime(10, 0));
// Sparse: large enough that a scan is still hashing it when a test acts, without using disk.
const qint64 kLargeFileSize = qint64(2) << 30;

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
    }

    void cleanup()
    {
        FolderScanner::setSlice(FolderScanner::kSliceMs);
        m_files.clear();
        m_item.reset();
        m_dir.reset();
    }

    // A copy found for a remote file makes it downloaded where the copy lies; an update stays
    // one; a queued file is left to its transfer (whether an older copy may replace the recorded
    // one is the file's own rule). Every file with the digest takes the copy, also when another
    // of them is gone before the match comes back. Matches land one a turn, in listing order.
    void appliesMatches()
    {
        FolderScanner::setSlice(0);
        const QByteArray content("one book sold three times");
        addFile(QStringLiteral("a.pdf"), {{md5(content), kNewDate}});
        const QList<LibraryFile *> sharing{addFile(QStringLiteral("b.pdf"), {{md5(content), kNewDate}}),
                                           addFile(QStringLiteral("c.pdf"), {{md5(content), kNewDate}})};
        LibraryFile *other = addFile(QStringLiteral("d.pdf"), {{md5("something else"), kNewDate}});
        QVERIFY(writeFile(m_folder + QStringLiteral("/book.pdf"), content));
        const QList<LibraryFile *> files = addCopies(m_folder + QStringLiteral("/sub"), 4);
        QVERIFY(!files.contains(nullptr));
        IdleFileActions::setStatusForTest(files.at(1), LibraryFile::UpdateAvailable);
        IdleFileActions::setStatusForTest(files.at(2), LibraryFile::Queued);
        QStringList listed;
        for (QDirIterator it(m_folder + QStringLiteral("/sub"), QDir::Files); it.hasNext();)
            listed.append(QFileInfo(it.next()).fileName());
        listed.removeOne(QStringLiteral("copy 2.pdf"));

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
            });
        }

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(data(), m_folder, true);
        // Before the worker's match can be applied: the event loop has not run yet.
        m_files.front().reset();
        QVERIFY(!finished.isEmpty() || finished.wait(30000));
        QCOMPARE(scanner.scanningProgress(), 100);
        for (LibraryFile *file : sharing) {
            QCOMPARE(file->status(), LibraryFile::Downloaded);
            QCOMPARE(file->foundFilePath(), m_folder + QStringLiteral("/book.pdf"));
        }
        QCOMPARE(other->status(), LibraryFile::Remote);
        const QList<LibraryFile::Status> after{LibraryFile::Downloaded, LibraryFile::UpdateAvailable, LibraryFile::Queued,
                                               LibraryFile::Downloaded};
        for (int i = 0; i < files.size(); ++i) {
            const QString copy = i == 2 ? QString() : QStringLiteral("copy %1.pdf").arg(i);
            QCOMPARE(files.at(i)->status(), after.at(i));
            QCOMPARE(files.at(i)->localDir() == m_folder, !copy.isEmpty());
            QCOMPARE(files.at(i)->localFileName(), copy);
            QCOMPARE(files.at(i)->foundFilePath(), copy.isEmpty() ? QString() : m_folder + QStringLiteral("/sub/") + copy);
        }
        QCOMPARE(applied, listed);
        for (int i = 1; i < appliedTurns.size(); ++i)
            QVERIFY2(appliedTurns.at(i) > appliedTurns.at(i - 1), "two matches applied in one turn");
    }

    // A copy at its download path whose time the file recorded (in whole seconds, as the saved
    // library keeps it) is not read again; one without a recorded time is read once. The scan
    // knows those paths as the files build them: names cleaned, the local name first, a long
    // title cut to size.
    void skipsKnownUnchangedFiles()
    {
        m_item->setPublisher(QStringLiteral("Ember: Press."));
        m_item->setTitle(QString(300, 'k'));
        m_item->setProductId(QStringLiteral("4711"));
        m_item->setOwnFolder(true);
        LibraryFile *saved = addFile(QStringLiteral("saved<copy>. "), {{md5("saved copy"), kNewDate}});
        LibraryFile *fresh = addFile(QStringLiteral("Deep Keep.pdf"), {{md5("fresh copy"), kNewDate}});
        fresh->setLocalFileName(QStringLiteral("fresh:copy.pdf"));
        // The product's id survives the shortening of its title.
        QVERIFY(saved->downloadPath().contains(QStringLiteral(" (4711)/")));
        // A time within a second, so that whole seconds differ from the exact time.
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(1600000000250);
        for (LibraryFile *file : {saved, fresh}) {
            QVERIFY(writeFile(file->downloadPath(), file == saved ? "saved copy" : "fresh copy"));
            QFile touch(file->downloadPath());
            QVERIFY(touch.open(QIODevice::ReadWrite) && touch.setFileTime(time, QFileDevice::FileModificationTime));
        }
        saved->setLocalLastModified(QDateTime::fromString(time.toString(Qt::ISODate), Qt::ISODate));

        FolderScanner scanner;
        QVERIFY(scan(scanner, saved->localDir()));
        QCOMPARE(scanner.hashedBytes(), qint64(10));
        QCOMPARE(saved->status(), LibraryFile::Remote);
        QCOMPARE(fresh->status(), LibraryFile::Downloaded);
        QCOMPARE(fresh->localLastModified(), time);
        QVERIFY(scan(scanner, saved->localDir()));
        QCOMPARE(scanner.hashedBytes(), qint64(0));

        // A changed copy is read again.
        QVERIFY(writeFile(saved->downloadPath(), "saved copy!"));
        QVERIFY(scan(scanner, saved->localDir()));
        QCOMPARE(scanner.hashedBytes(), qint64(11));
    }

    void walksLinksOnceAndSkipsHiddenAndSpecialEntries()
    {
        const QString elsewhere = m_dir->path() + QStringLiteral("/elsewhere");
        LibraryFile *insideFile = addCopy(m_folder + QStringLiteral("/shelf/copy.pdf"));
        LibraryFile *outsideFile = addCopy(elsewhere + QStringLiteral("/copy.pdf"));
        LibraryFile *hiddenFile = addCopy(m_folder + QStringLiteral("/.hidden/copy.pdf"));
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
        QCOMPARE(scanner.hashedBytes(), QFileInfo(insideFile->foundFilePath()).size());
        QCOMPARE(outsideFile->status(), LibraryFile::Remote);
        QCOMPARE(hiddenFile->status(), LibraryFile::Remote);
    }

    // A new scan cancels the running one at once; what that one matched until then stays.
    void newScanCancelsTheRunningOne()
    {
        // Files of a folder are hashed before its subfolders.
        LibraryFile *file = addCopy(m_folder + QStringLiteral("/a.pdf"));
        QVERIFY(writeFile(m_folder + QStringLiteral("/sub/large.bin"), {}, kLargeFileSize));
        const QString quick = m_dir->path() + QStringLiteral("/quick");
        LibraryFile *second = addCopy(quick + QStringLiteral("/copy.pdf"));

        FolderScanner scanner;
        QSignalSpy finished(&scanner, &FolderScanner::scanFinished);
        scanner.startScanning(data(), m_folder, false);
        QTRY_COMPARE_WITH_TIMEOUT(file->status(), LibraryFile::Downloaded, 30000);
        QVERIFY(scanner.scanning());
        scanner.startScanning(data(), quick, true);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0), (QVariantList{m_folder, true}));
        QVERIFY(scanner.hashedBytes() < kLargeFileSize);
        QCOMPARE(file->foundFilePath(), m_folder + QStringLiteral("/a.pdf"));
        QVERIFY(scanner.withUI());
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.at(1), (QVariantList{quick, false}));
        QCOMPARE(second->foundFilePath(), quick + QStringLiteral("/copy.pdf"));
        QVERIFY(!scanner.scanning());
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
            QJsonObject file = fixtures::serviceFile(QStringLiteral("book %1.pdf").arg(i));
            file.insert(QStringLiteral("checksums"),
                        QJsonArray{QJsonObject{{QStringLiteral("checksum"), md5(content)},
                                               {QStringLiteral("checksum_date"), QStringLiteral("2020-11-10 10:00:00")}}});
            products.append(fixtures::product(QString::number(100 + i), QStringLiteral("Title %1").arg(i), {file}));
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
            QCOMPARE(file->status(), row < 3 ? LibraryFile::Downloaded : LibraryFile::Remote);
            QCOMPARE(file->foundFilePath(), row < 3 ? m_folder + QStringLiteral("/sub %1/copy.pdf").arg(row) : QString());
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
        for (int i = 0; i < count; ++i)
            files.append(addCopy(folder + QStringLiteral("/copy %1.pdf").arg(i)));
        return files;
    }

    // A file of the library whose copy, holding its own path, lies at `path`.
    LibraryFile *addCopy(const QString &path)
    {
        if (!writeFile(path, path.toUtf8()))
            return nullptr;
        return addFile(QFileInfo(path).fileName(), {{md5(path.toUtf8()), kNewDate}});
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
