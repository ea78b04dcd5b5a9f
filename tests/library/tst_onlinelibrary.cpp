#include "downloadsfixture.h"
#include "libraryfixtures.h"
#include "logcapture.h"
#include "scratchmount.h"
#include "testservices.h"

#include "downloads/downloadmanager.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/binarystorereader.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <limits>

using namespace fixtures;

namespace {

const int kLargeLibrary = 6000;  // several megabytes on disk: a kill lands inside a write

void useDataDir(const QString &dir)
{
    qputenv("XDG_DATA_HOME", dir.toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
}

void refresh(OnlineLibrary &library, const QList<QJsonArray> &pages, bool finish = true)
{
    for (int page = 0; page < pages.size(); ++page)
        library.onTitlesRefreshResult(page + 1, pages.at(page));
    if (finish)
        library.onTitlesRefreshFinished();
}

QJsonArray products(int from, int count)
{
    QJsonArray page;
    for (int i = from; i < from + count; ++i)
        page.append(product(QString::number(i), QStringLiteral("Book %1").arg(i)));
    return page;
}

QStringList titles(const OnlineLibrary &library)
{
    QStringList result;
    for (int row = 0; row < library.rowCount(); ++row)
        result << library.itemAt(row)->title();
    return result;
}

// Child mode: saves a large library over and over until it is killed.
int saveForever(const QString &dir)
{
    useDataDir(dir);
    IdleFileActions idle;
    OnlineLibrary library(idle);
    library.onTitlesRefreshResult(1, products(0, kLargeLibrary));
    QTextStream out(stdout);
    for (;;) {
        library.save();
        out << "saved" << Qt::endl;
    }
}

// Empty when the file cannot be read.
QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const int kDepth = 64;

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
QByteArray binary(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toBinaryData() : QJsonDocument(value.toObject()).toBinaryData();
}

// What the framework's own reader makes of the bytes; undefined when it refuses them.
QJsonValue framework(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
    if (document.isArray())
        return document.array();
    if (document.isObject())
        return document.object();
    return QJsonValue(QJsonValue::Undefined);
}
QT_WARNING_POP

QJsonValue readBack(const QByteArray &bytes)
{
    const BinaryStoreReader reader(bytes, kDepth);
    if (reader.verdict() != BinaryStoreReader::Valid)
        return QJsonValue(QJsonValue::Undefined);
    return reader.toJsonValue(reader.root());
}

// A saved library in small: text in both encodings, numbers inline and not, nesting.
QJsonArray sample()
{
    QJsonArray items;
    for (int i = 0; i < 12; ++i) {
        const QJsonObject file{{QStringLiteral("serverFileName"), QStringLiteral("Book %1.pdf").arg(i)},
                               {QStringLiteral("totalSize"), 5000000000.0 + i},
                               {QStringLiteral("downloadProgress"), 0.25 * (i % 4)},
                               {QStringLiteral("bundleId"), -i},
                               {QStringLiteral("lastModified"), i % 3 ? QJsonValue(QStringLiteral("2021-01-0%1T10:00:00").arg(i % 9 + 1)) : QJsonValue()}};
        items.append(QJsonObject{{QStringLiteral("title"), QString::fromUtf8("Dr\xc3\xa4" "che \xe2\x80\x94 %1").arg(i)},
                                 {QStringLiteral("productId"), QString::number(100 + i)},
                                 {QStringLiteral("selectedForSync"), i % 2 == 0},
                                 {QStringLiteral("archived"), i},
                                 {QString::fromUtf8("\xe2\x9c\x93 key"), QJsonArray{1, QStringLiteral("x"), QJsonObject{}}},
                                 {QStringLiteral("files"), QJsonArray{file, file}}});
    }
    return items;
}

} // namespace

class TestOnlineLibrary : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        useDataDir(m_home.path());
    }

    void init()
    {
        OnlineLibrary::setSaveDelay(OnlineLibrary::kSaveDelayMs);
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

    void saveAndLoad_data()
    {
        QTest::addColumn<bool>("binary");
        QTest::newRow("library.dat") << true;
        QTest::newRow("library.js") << false;
    }

    // Items follow the products, never the bytes of a page: a product on two pages or twice on
    // one is one item under its latest name, objects without an id are none, and products a
    // refresh no longer lists stay. The depth walk must pass every store this program writes,
    // brackets in texts included. Names that clean up to one folder: the product that had it
    // first keeps it, every later one gets its own, and a save and load move none of them.
    void saveAndLoad()
    {
        QFETCH(bool, binary);
        const QString bracketed = QString(200, QLatin1Char('[')) + QStringLiteral("{\\\"");
        QTemporaryDir books;
        QString copy;
        const QJsonArray book{serviceFile(QStringLiteral("book.pdf"))};
        const QStringList twins{QStringLiteral("/lib/Ember Press/Twin_One/book.pdf"),
                                QStringLiteral("/lib/Ember Press/Twin_One (9)/book.pdf"),
                                QStringLiteral("/lib/Ember Press/Twin_One (10)/book.pdf")};
        const auto twinPaths = [](const OnlineLibrary &library) {
            QStringList result;
            for (int row : {4, 5, 8}) {
                LibraryFile *file = library.itemAt(row)->filesModel()->fileAt(0);
                file->setLocalDir(QStringLiteral("/lib"));
                result.append(file->downloadPath());
            }
            return result;
        };
        {
            OnlineLibrary library(m_idle);
            library.setBinaryStore(binary);
            QJsonArray page = products(1, 3);
            for (int i = 0; i < 100000; ++i)
                page.append(QJsonObject());
            page.append(QJsonObject{{QStringLiteral("products_name"), QStringLiteral("No id")}});
            page.append(product(QStringLiteral("7"), QStringLiteral("Old name")));
            page.append(product(QStringLiteral("7"), QStringLiteral("Older name")));
            page.append(product(QStringLiteral("8"), QStringLiteral("Twin/One"), book));
            page.append(product(QStringLiteral("9"), QStringLiteral("Twin_One"), book));
            refresh(library, {page, {product(QStringLiteral("5"), bracketed),
                                     product(QStringLiteral("7"), QStringLiteral("Dragon Tales"))}});
            refresh(library, {products(4, 1) + product(QStringLiteral("10"), QStringLiteral("Twin:One"), book)}, false);
            QCOMPARE(twinPaths(library), twins);
            library.itemAt(1)->setSelectedForSync(true);
            setStatus(library.itemAt(2)->filesModel()->fileAt(0), LibraryFile::Downloaded);
            // A kill during a re-download leaves a copy of another size than the recorded one.
            LibraryFile *halfWritten = library.itemAt(0)->filesModel()->fileAt(0);
            halfWritten->setLocalDir(books.path());
            setStatus(halfWritten, LibraryFile::Downloaded);
            copy = halfWritten->filePath();
            QVERIFY(DownloadsFixture::writeFile(copy, QByteArray(500, 'x')));
            library.onTitlesRefreshFinished();
        }
        // Only the store in use is written.
        const QDir dir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        QCOMPARE(dir.entryList({QStringLiteral("library.*")}), QStringList{binary ? "library.dat" : "library.js"});

        // What an interrupted save left beside the stores goes with the next load.
        const QStringList leftovers{"library.dat.Ab12Cd", "library.js.XyZ789"};
        const QStringList kept{"library.dat.damaged", "notes.dat.Ab12Cd"};
        for (const QString &name : leftovers + kept)
            QFile(dir.filePath(name)).open(QIODevice::Append);

        OnlineLibrary loaded(m_idle);
        loaded.setBinaryStore(binary);
        loaded.load();
        QCOMPARE(dir.entryList(leftovers + kept), kept);
        QCOMPARE(titles(loaded), (QStringList{"Book 1", "Book 2", "Book 3", "Dragon Tales", "Twin/One", "Twin_One",
                                              bracketed, "Book 4", "Twin:One"}));
        QVERIFY(loaded.damagedStorePaths().isEmpty());
        QCOMPARE(twinPaths(loaded), twins);
        QCOMPARE(loaded.itemAt(7)->titleBadge(), LibraryItemBadge::New);
        QCOMPARE(loaded.itemAt(0)->titleBadge(), LibraryItemBadge::None);
        QVERIFY(loaded.itemAt(1)->selectedForSync());
        QCOMPARE(loaded.itemAt(2)->filesModel()->fileAt(0)->status(), LibraryFile::Downloaded);
        QVERIFY(!loaded.itemAt(2)->displayDownloadedDate().isEmpty());
        QCOMPARE(loaded.itemAt(0)->filesModel()->fileAt(0)->status(), LibraryFile::Remote);
        QVERIFY(QFile::exists(copy));

        // A second load replaces the items; the old ones are no longer found.
        QPointer<LibraryItem> before(loaded.itemAt(0));
        loaded.load();
        QVERIFY(before.isNull());
        for (int row = 0; row < loaded.rowCount(); ++row)
            QCOMPARE(loaded.indexByLibraryItem(loaded.itemAt(row)), row);

        // Qt writes nothing at all for an empty array; a customer without products still gets a
        // store, and no warning that the library is too large.
        LogCapture log;
        loaded.clear();
        refresh(loaded, {});
        QVERIFY(!log.contains("too large"));
        OnlineLibrary empty(m_idle);
        empty.setBinaryStore(binary);
        refresh(empty, {products(1, 1)}, false);
        empty.load();
        QCOMPARE(empty.rowCount(), 0);
        QVERIFY(empty.damagedStorePaths().isEmpty());
    }

    // Items whose files are all remote keep them in their saved form after a binary load;
    // everything read or saved from such an item must be what a full load of the same library gives.
    void itemsWithWaitingFilesReadAsFullyLoadedOnes()
    {
        {
            OnlineLibrary source(m_idle);
            refresh(source, {QJsonArray{product(QStringLiteral("1"), QStringLiteral("Plain")),
                                        product(QStringLiteral("2"), QStringLiteral("Two files"),
                                                {serviceFile(QStringLiteral("a.pdf"), QStringLiteral("2019-03-04T05:06:07")),
                                                 serviceFile(QStringLiteral("b.pdf"))}),
                                        product(QStringLiteral("3"), QStringLiteral("Failed")),
                                        product(QStringLiteral("4"), QString::fromUtf8("Dr\xc3\xa4" "che \xe2\x80\x94 Band 2")),
                                        product(QStringLiteral("5"), QStringLiteral("Paused"))}});
            source.itemAt(2)->filesModel()->fileAt(0)->setErrorMessage(QStringLiteral("checksum differs"));
            setStatus(source.itemAt(2)->filesModel()->fileAt(0), LibraryFile::DownloadError);
            setStatus(source.itemAt(4)->filesModel()->fileAt(0), LibraryFile::DownloadPaused);
            source.itemAt(1)->setSelectedForSync(true);
            source.save();
            source.setBinaryStore(false);
            source.save();
        }

        const QByteArray saved = contentOf(OnlineLibrary(m_idle).storePath());
        OnlineLibrary lazy(m_idle);
        lazy.load();
        OnlineLibrary full(m_idle);
        full.setBinaryStore(false);
        full.load();
        QCOMPARE(lazy.rowCount(), 5);
        // The plain ones wait, the others were made as they always were.
        const QList<bool> waiting{true, true, false, true, false};
        for (int row = 0; row < lazy.rowCount(); ++row)
            QCOMPARE(lazy.itemAt(row)->filesPending(), waiting.at(row));

        // Saved while its items wait, the library writes every product and file as it found them.
        OnlineLibrary::setSaveDelay(1);
        lazy.saveDelayed();
        QTRY_VERIFY(!lazy.isSavePending());
        QVERIFY(!saved.isEmpty());
        QCOMPARE(contentOf(lazy.storePath()), saved);

        // What the views, the search and the filters read first must not make the files.
        for (int row = 0; row < lazy.rowCount(); ++row) {
            for (int role : lazy.roleNames().keys()) {
                if (role != OnlineLibrary::FilesModelRole && role != OnlineLibrary::LibraryItemObjectRole)
                    QCOMPARE(lazy.data(lazy.index(row), role), full.data(full.index(row), role));
            }
            QCOMPARE(lazy.itemAt(row)->searchText(), full.itemAt(row)->searchText());
            QCOMPARE(lazy.filesCount(row), full.filesCount(row));
            QCOMPARE(lazy.anyFileDownloadedAt(row), full.anyFileDownloadedAt(row));
            QCOMPARE(lazy.anyFileNotDownloadedAt(row), full.anyFileNotDownloadedAt(row));
            QCOMPARE(lazy.anyFileUpdateAvailableAt(row), full.anyFileUpdateAvailableAt(row));
            QCOMPARE(lazy.itemAt(row)->toJson(), full.itemAt(row)->toJson());
        }
        for (int row = 0; row < lazy.rowCount(); ++row)
            QCOMPARE(lazy.itemAt(row)->filesPending(), waiting.at(row));
        QCOMPARE(lazy.anyItemUpdateAvailable(), full.anyItemUpdateAvailable());
        QCOMPARE(lazy.noneSelected(), full.noneSelected());

        // Made on demand, the files are those of a full load, flags included.
        QCOMPARE(lazy.remainingBytes(), full.remainingBytes());
        const char *const flags[] = {"downloadAllEnabled", "oneFileDownloaded", "allFilesDownloaded", "anyFilesDownloaded",
                                     "anyFileIsDownloading", "anyFileIsErrored", "anyFileUpdateAvailable", "count", "lastError"};
        for (int row = 0; row < lazy.rowCount(); ++row) {
            ItemFilesModel *made = lazy.itemAt(row)->filesModel();
            ItemFilesModel *loaded = full.itemAt(row)->filesModel();
            QVERIFY(!lazy.itemAt(row)->filesPending());
            QCOMPARE(lazy.data(lazy.index(row), OnlineLibrary::FilesModelRole).value<QObject *>(), made);
            for (const char *flag : flags)
                QCOMPARE(made->property(flag), loaded->property(flag));
            for (int file = 0; file < made->count(); ++file) {
                QCOMPARE(made->fileAt(file)->toJson(), loaded->fileAt(file)->toJson());
                QCOMPARE(made->fileAt(file)->item(), lazy.itemAt(row));
            }
        }
    }

    // Deep nesting: Qt's readers recurse once per level, so a hostile store must not reach them.
    void damagedStoreIsKeptAside_data()
    {
        QTest::addColumn<bool>("binary");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rowsAfter");   // of the two held before the load
        QTest::newRow("binary garbage") << true << QByteArray("qbjs\x01\0\0\0garbage", 15) << 0;
        QTest::newRow("truncated text") << false << QByteArray("[{\"title\": \"Bo") << 2;
        QTest::newRow("text, 100 levels") << false << QByteArray(100, '[') + QByteArray(100, ']') << 2;
    }

    void damagedStoreIsKeptAside()
    {
        QFETCH(bool, binary);
        QFETCH(QByteArray, content);
        QFETCH(int, rowsAfter);
        OnlineLibrary library(m_idle);
        library.setBinaryStore(binary);
        refresh(library, {products(1, 2)}, false);
        // Each damaged store is kept under its own name; only the newest few stay.
        for (int i = 0; i < 5; ++i) {
            QVERIFY(DownloadsFixture::writeFile(library.storePath(), content + QByteArray(i, ' ')));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: OnlineLibrary: .*damaged")));
            library.load();
            QCOMPARE(library.rowCount(), rowsAfter);
            QVERIFY(!QFile::exists(library.storePath()));
        }
        const QStringList kept = library.damagedStorePaths();
        QCOMPARE(kept.size(), 3);
        for (int i = 0; i < kept.size(); ++i)
            QVERIFY(contentOf(kept.at(i)) == content + QByteArray(i + 2, ' '));
    }

    // A pipe would block the open for ever; the start goes on without the store.
    void storeThatIsNoFileIsKeptAside()
    {
        OnlineLibrary library(m_idle);
        const QFileInfo path(library.storePath());
        QVERIFY(QDir().mkpath(path.absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(path.filePath()).constData(), 0600), 0);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: OnlineLibrary: .*not a regular file; kept aside")));
        library.load();
        QCOMPARE(library.rowCount(), 0);
        QVERIFY(!QFileInfo::exists(path.filePath()));
        QCOMPARE(path.dir().entryList({path.fileName() + ".damaged-*"}, QDir::AllEntries | QDir::System).size(), 1);
    }

    // Each queued file used to re-sum the whole queue while the library loaded. Sizes are capped
    // one by one; a thousand of them are not.
    void loadedSumsQueueOnceAndSaturate()
    {
        TestServices services;
        const auto file = [](const QString &name, double total, double done, LibraryFile::Status status) {
            return QJsonObject{{QStringLiteral("serverFileName"), name}, {QStringLiteral("totalSize"), total},
                               {QStringLiteral("downloadedSize"), done}, {QStringLiteral("status"), int(status)}};
        };
        QJsonArray items;
        for (int i = 0; i < 2000; ++i) {
            const QJsonArray queued{file(QStringLiteral("f.pdf"), 1000, 0, LibraryFile::Queued)};
            items.append(QJsonObject{{QStringLiteral("productId"), QString::number(i)}, {QStringLiteral("files"), queued}});
        }
        QJsonArray huge;
        const double most = 9007199254740992.0;
        for (int i = 0; i < 1100; ++i)
            huge.append(file(QStringLiteral("f%1.pdf").arg(i), most, -most, LibraryFile::Remote));
        for (const QString &id : {QStringLiteral("huge 1"), QStringLiteral("huge 2")})
            items.append(QJsonObject{{QStringLiteral("productId"), id}, {QStringLiteral("files"), huge}});
        OnlineLibrary library(services.fileActions());
        QSignalSpy progress(services.downloadManager(), &DownloadManager::syncingProgressChanged);
        library.setBinaryStore(false);
        QVERIFY(DownloadsFixture::writeFile(library.storePath(), QJsonDocument(items).toJson()));
        library.load();
        library.rejoinQueue();
        QCOMPARE(services.downloadManager()->downloadsRemain(), 2000);
        QCoreApplication::processEvents();
        QVERIFY2(progress.count() <= 1, qPrintable(QString::number(progress.count())));

        library.selectAll();
        const ItemFilesModel *files = library.itemAt(2000)->filesModel();
        QCOMPARE((QVector<qint64>{files->totalSize(), files->remainingBytes(), library.remainingBytes(),
                                  library.remainingBytesSelected()}),
                 QVector<qint64>(4, std::numeric_limits<qint64>::max()));
    }

    void killedWhileSavingLeavesALoadableLibrary()
    {
        {
            OnlineLibrary old(m_idle);
            refresh(old, {products(0, 3)});
        }
        QProcess child;
        QByteArray output;
        connect(&child, &QProcess::readyReadStandardOutput, this, [&] { output += child.readAllStandardOutput(); });
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--save-forever"), m_home.path()});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(output.contains("saved") || child.state() != QProcess::Running, 120000);
        QVERIFY(child.state() == QProcess::Running);
        // Watch the store while the child keeps saving; kill it the moment the file looks
        // shorter than a complete save (a write in progress), or after a few more saves.
        const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/library.dat");
        const qint64 complete = QFileInfo(path).size();
        QElapsedTimer watch;
        watch.start();
        while (output.count("saved") < 4 && watch.elapsed() < 20000) {
            QCoreApplication::processEvents();
            if (QFileInfo(path).size() < complete)
                break;
        }
        child.kill();
        QVERIFY(child.waitForFinished());

        OnlineLibrary library(m_idle);
        library.load();
        QVERIFY2(library.rowCount() == 3 || library.rowCount() == kLargeLibrary, qPrintable(QString::number(library.rowCount())));
        QVERIFY(library.damagedStorePaths().isEmpty());
    }

    // The delayed save copies the items a slice at a time and writes on another thread:
    // changes made while it runs ride along with the next save, and a save that goes with the
    // library (quit) or a cleared library wins over the one under way.
    void changesDuringABackgroundSaveAreKept_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("saves settle") << QStringLiteral("settle");
        QTest::newRow("library goes") << QStringLiteral("destroy");
        QTest::newRow("library cleared") << QStringLiteral("clear");
    }

    void changesDuringABackgroundSaveAreKept()
    {
        QFETCH(QString, ending);
        OnlineLibrary::setSaveDelay(0);
        {
            OnlineLibrary library(m_idle);
            refresh(library, {products(0, 3000)});
            LibraryFile *first = library.itemAt(0)->filesModel()->fileAt(0);
            LibraryFile *last = library.itemAt(2999)->filesModel()->fileAt(0);
            for (int i = 1; i <= 20; ++i) {
                first->setDownloadedSize(i);
                last->setDownloadedSize(i);
                QCoreApplication::processEvents();
            }
            QVERIFY(library.isSavePending());
            if (ending == QLatin1String("settle"))
                QTRY_VERIFY_WITH_TIMEOUT(!library.isSavePending(), 30000);
            if (ending == QLatin1String("clear")) {
                library.clear();
                QTRY_VERIFY_WITH_TIMEOUT(!library.isSavePending(), 30000);
                OnlineLibrary stored(m_idle);
                stored.load();
                QCOMPARE(stored.rowCount(), 0);
                // The next refresh counts as the first one: no New badges.
                refresh(library, {products(1, 1)});
                QCOMPARE(library.itemAt(0)->titleBadge(), LibraryItemBadge::None);
                return;
            }
        }
        OnlineLibrary loaded(m_idle);
        loaded.load();
        QCOMPARE(loaded.rowCount(), 3000);
        QCOMPARE(loaded.itemAt(0)->filesModel()->fileAt(0)->downloadedSize(), qint64(20));
        QCOMPARE(loaded.itemAt(2999)->filesModel()->fileAt(0)->downloadedSize(), qint64(20));
    }

    // A full disk leaves the old store byte for byte and says so; the next save, with room
    // again, goes through.
    void refusedSaveKeepsTheOldStore()
    {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        ScratchMount mount(dir, 256 * 1024);
        if (!mount.mounted())
            QSKIP("No right to mount a scratch file system");
        OnlineLibrary library(m_idle);
        QSignalSpy failures(&library, &OnlineLibrary::saveFailed);
        refresh(library, {products(0, 3)});
        const QByteArray before = contentOf(library.storePath());
        QVERIFY(!before.isEmpty());

        QVERIFY(mount.refuseWrites(false));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^WARNING: OnlineLibrary: could not save .*stays as it was")));
        refresh(library, {products(0, 40)});
        QCOMPARE(failures.count(), 1);
        QVERIFY(failures.constFirst().constFirst().toString().contains(QDir::toNativeSeparators(library.storePath())));
        QVERIFY2(contentOf(library.storePath()) == before, "the saved library changed");
        // Nothing half-written is left beside it.
        QCOMPARE(QDir(dir).entryList(QDir::Files), (QStringList{"filler", "library.dat"}));

        QVERIFY(mount.allowWrites());
        library.save();
        QCOMPARE(failures.count(), 1);
        OnlineLibrary reloaded(m_idle);
        reloaded.load();
        QCOMPARE(reloaded.rowCount(), 40);
    }

    // The reader of the binary store, against the framework's own.
    void readsWhatTheFrameworkReads_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("library") << QJsonValue(sample());
        // An object at the top, keys in both encodings, empty containers, numbers on either side
        // of what fits inline, long and wide text.
        QTest::newRow("edge values") << QJsonValue(QJsonObject{
            {QStringLiteral("b"), QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonObject()}}},
            {QString::fromUtf8("\xc3\xa9"), QJsonArray{0, -1, 67108863, -67108864, 67108864, 1e300, -0.5, 2.5e-9}},
            {QString::fromUtf8("\xe4\xb8\xad"), QJsonValue()},
            {QStringLiteral("a"), QJsonArray{QString(40000, QLatin1Char('a')), QString(3, QChar(0x4e2d)), QString()}}});
    }

    void readsWhatTheFrameworkReads()
    {
        QFETCH(QJsonValue, value);
        const QByteArray bytes = binary(value);
        QCOMPARE(readBack(bytes), framework(bytes));
        QCOMPARE(readBack(bytes), value);
    }

    // Damaged stores: whatever the reader takes in, the framework takes in too and reads
    // the same way, and what the framework takes in is not refused.
    void agreesWithTheFrameworkOnDamagedBytes_data()
    {
        QTest::addColumn<int>("flips");
        QTest::newRow("one byte") << 1;
        QTest::newRow("four bytes") << 4;
        QTest::newRow("truncated") << 0;
    }

    void agreesWithTheFrameworkOnDamagedBytes()
    {
        QFETCH(int, flips);
        const QByteArray good = binary(sample());
        QRandomGenerator random(20210119);
        int refused = 0;
        for (int run = 0; run < 3000; ++run) {
            QByteArray bytes = good;
            if (flips == 0) {
                bytes.truncate(random.bounded(good.size()));
            } else {
                for (int i = 0; i < flips; ++i)
                    bytes[random.bounded(bytes.size())] = char(random.bounded(256));
            }
            const QJsonValue mine = readBack(bytes);
            const QJsonValue theirs = framework(bytes);
            if (mine.isUndefined())
                ++refused;
            QVERIFY2(mine == theirs || (mine.isUndefined() && theirs.isUndefined()),
                     qPrintable(QStringLiteral("run %1").arg(run)));
        }
        QVERIFY(refused > 0);
    }

    void nestingIsBounded()
    {
        QJsonArray nested;
        for (int level = 1; level < kDepth; ++level)
            nested = QJsonArray{nested};
        QCOMPARE(BinaryStoreReader(binary(nested), kDepth).verdict(), BinaryStoreReader::Valid);
        QCOMPARE(BinaryStoreReader(binary(QJsonArray{nested}), kDepth).verdict(), BinaryStoreReader::TooDeep);
    }

private:
    // Statuses are the download manager's to set.
    void setStatus(LibraryFile *file, LibraryFile::Status status)
    {
        m_services.downloadManager()->setFileStatus(file, status);
    }

    QTemporaryDir m_home;
    IdleFileActions m_idle;
    TestServices m_services;
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--save-forever") == 0) {
        QCoreApplication app(argc, argv);
        return saveForever(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestOnlineLibrary test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_onlinelibrary.moc"
