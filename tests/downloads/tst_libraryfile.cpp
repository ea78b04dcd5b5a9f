#include "app/core/settings.h"
#include "downloads/filesystemops.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"
#include "downloadsfixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// JSON written with single quotes, which read more easily here.
QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

// The saved forms of a new file and of one with every stored field set. Stores written by
// earlier versions hold them.
const char kFreshForm[] = "{'bundleId':0,'dlSize':0,'downloadProgress':0,'errorMessage':'',"
                          "'hashesMap':'{\\'hashes\\':[]}','lastModified':null,'localFileHash':'',"
                          "'localFileName':'','localLastModified':null,'serverFileName':'','totalSize':0}";
const char kFilledForm[] = "{'bundleId':-3,'dlSize':0,'downloadProgress':0.3333333333333333,"
                           "'downloadedSize':3000000000,'errorMessage':'','hashesMap':'{\\'hashes\\':["
                           "{\\'hash\\':\\'aa\\',\\'hashdate\\':\\'2020-01-02T03:04:05\\'}]}',"
                           "'lastModified':'2020-05-06T07:08:09','localDir':'/books',"
                           "'localFileHash':'0123456789abcdef','localFileName':'local.pdf',"
                           "'localLastModified':'2021-01-02T03:04:05Z',"
                           "'serverFileName':'Dräche \\'und\\' Zwölf.pdf','status':2,'totalSize':5000000000}";

QByteArray compact(const QJsonValue &saved)
{
    return QJsonDocument(saved.toObject()).toJson(QJsonDocument::Compact);
}

// The keys of a file's saved form whose values differ from those of a new file.
QByteArray changedKeys(const LibraryFile &file, const LibraryFile &fresh)
{
    QJsonObject saved = file.toJson().toObject();
    const QJsonObject defaults = fresh.toJson().toObject();
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        if (saved.value(it.key()) == it.value())
            saved.remove(it.key());
    }
    return compact(saved);
}

} // namespace

class TestLibraryFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.setUpOnce()); }

    void init()
    {
        QVERIFY(m_fixture.setUp());
        m_settings = m_fixture.settings.get();
        m_services = m_fixture.services.get();
        m_item = m_fixture.makeItem();
    }

    void cleanup() { m_fixture.tearDown(); }

    void sanitizesNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every reserved character") << "<>:\"/\\|?*" << "_________";
        QTest::newRow("colon and final full stop") << "Pub: Inc." << "Pub_ Inc_";
        QTest::newRow("only the last character") << "a.." << "a._";
        QTest::newRow("delete character kept") << QStringLiteral("a\x7f") << QStringLiteral("a\x7f");
    }

    void sanitizesNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(LibraryFile::sanitizeFileName(name), expected);
    }

    void renamesOldCopy_data()
    {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("archived");
        QTest::newRow("next free number") << "book.pdf" << QStringList{"book.pdf", "book.old-001.pdf"}
                                          << "book.old-002.pdf";
        QTest::newRow("last dot splits") << "a.tar.gz" << QStringList{"a.tar.gz"} << "a.tar.old-001.gz";
    }

    void renamesOldCopy()
    {
        QFETCH(QString, serverName);
        QFETCH(QStringList, present);
        QFETCH(QString, archived);
        for (const QString &name : present)
            writeFile(productDir() + '/' + name, name.toUtf8());
        LibraryFile *file = makeFile(serverName);
        QVERIFY(file->renameOldFile());
        QCOMPARE(QDir(productDir()).entryList(QDir::Files).size(), present.size());
        QVERIFY(!QFileInfo::exists(file->downloadPath()));
        QFile moved(productDir() + '/' + archived);
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), serverName.toUtf8());
    }

    // The saved form is kept key for key: a filled one loaded and saved again gives the same text.
    void savedForm()
    {
        LibraryFile *fresh = m_fixture.makeFile(m_item, QString());
        QCOMPARE(compact(fresh->toJson()), json(kFreshForm));
        LibraryFile *loaded = m_fixture.makeFile(m_item, QString());
        loaded->fromJson(QJsonDocument::fromJson(json(kFilledForm)).object());
        // Where a scan found the copy is not kept.
        loaded->setFoundFilePath(QStringLiteral("/elsewhere/local.pdf"));
        QCOMPARE(compact(loaded->toJson()), json(kFilledForm));
    }

    // Whatever a damaged or foreign store holds, loading converts what it can and keeps the
    // rest at what a new file has.
    void loadRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("kept");   // the saved keys that differ from a new file's
        QTest::newRow("downloading is queued") << QByteArray(R"({"serverFileName":"a.pdf","status":5})")
                                               << QByteArray(R"({"serverFileName":"a.pdf","status":4})");
        QTest::newRow("error clears the local copy, keeps the message")
            << QByteArray(R"({"status":7,"localFileName":"b.pdf","localFileHash":"ff",)"
                          R"("downloadProgress":0.5,"downloadedSize":10,"errorMessage":"Boom"})")
            << QByteArray(R"({"errorMessage":"Boom","status":7})");
        QTest::newRow("status out of range") << QByteArray(R"({"status":42})") << QByteArray("{}");
        QTest::newRow("wrong types")
            << QByteArray(R"({"status":"x","totalSize":"big","downloadProgress":null,"foundFilePath":"/x"})")
            << QByteArray("{}");
        QTest::newRow("progress beyond one, negative sizes")
            << QByteArray(R"({"downloadProgress":1e300,"totalSize":-5,"dlSize":-1,"downloadedSize":-9})")
            << QByteArray("{}");
        QTest::newRow("text where numbers are kept")
            << QByteArray(R"({"bundleId":"12","totalSize":"34","dlSize":"x","downloadProgress":"0.5"})")
            << QByteArray(R"({"bundleId":12,"downloadProgress":0.5,"totalSize":34})");
        QTest::newRow("nulls")
            << QByteArray(R"({"serverFileName":null,"bundleId":null,"lastModified":null,"hashesMap":null})")
            << QByteArray("{}");
        QTest::newRow("dates in other shapes")
            << QByteArray(R"({"lastModified":"2020-05-06","localLastModified":"2020-05-06T07:08:09+02:00"})")
            << QByteArray(R"({"lastModified":"2020-05-06T00:00:00",)"
                          R"("localLastModified":"2020-05-06T07:08:09+02:00"})");
    }

    void loadRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, kept);
        const LibraryFile *fresh = m_fixture.makeFile(m_item, QString());
        LibraryFile *file = m_fixture.makeFile(m_item, QString());
        file->fromJson(QJsonDocument::fromJson(json).object());
        QCOMPARE(changedKeys(*file, *fresh), kept);
    }

    // The saved hashes text must stay byte for byte what a compact JSON document gives, as saved
    // libraries and the download log carry it.
    void hashesTextMatchesCompactJson_data()
    {
        QTest::addColumn<QStringList>("hashes");
        const QString plain = QStringLiteral("9e107d9d372bb6826bd81d3542a419d6");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("two, in key order") << QStringList{plain, QStringLiteral("0123abcd")};
        QTest::newRow("escapes") << QStringList{QStringLiteral("a\"b\\c/d"),
                                                QString::fromUtf8("tab\tnl\ncr\rbs\bff\fnul") + QChar(0)
                                                    + QChar(0x1f) + QChar(0x7f)};
        QTest::newRow("beyond ASCII") << QStringList{QString::fromUtf8("h\xc3\xa9sh \xe2\x80\xa8 \xf0\x9f\x90\x89"),
                                                     QStringLiteral("x") + QChar(0xD800)};
    }

    void hashesTextMatchesCompactJson()
    {
        QFETCH(QStringList, hashes);
        QMap<QString, QDateTime> map;
        int day = 1;
        for (const QString &hash : hashes)
            map.insert(hash, QDateTime(QDate(2021, 3, day++), QTime(4, 5, 6)));
        if (!map.isEmpty())
            map.insert(QStringLiteral("undated"), QDateTime());
        LibraryFile *file = makeFile("a.pdf");
        file->setHashes(map);

        QJsonArray entries;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            entries.append(QJsonObject{{QStringLiteral("hash"), it.key()},
                                       {QStringLiteral("hashdate"), it.value().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss"))}});
        const QString expected = QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("hashes"), entries}}).toJson(QJsonDocument::Compact));
        QCOMPARE(file->hashesMap(), expected);

        // Read back, the text gives the same hashes.
        LibraryFile *back = makeFile("a.pdf");
        back->setHashesMap(expected);
        QCOMPARE(back->hashes(), map);
    }

    void hashesTextMerges()
    {
        LibraryFile *file = makeFile("a.pdf");
        file->setHashes({{"bb", QDateTime(QDate(2021, 2, 3), QTime(4, 5, 6))}, {"aa", QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5))}});
        // "bb" gets a new date, "cc" is added, "aa" stays; junk is ignored.
        file->setHashesMap(R"({"hashes":[{"hash":"bb","hashdate":"2022-01-01T00:00:00"},)"
                           R"({"hash":"cc","hashdate":"2023-01-01T00:00:00"},{"hash":""},7]})");
        QCOMPARE(file->hashes().keys(), (QStringList{"aa", "bb", "cc"}));
        QCOMPARE(file->hashes().value("bb"), QDateTime(QDate(2022, 1, 1), QTime(0, 0)));
        file->setHashesMap("not json");
        QCOMPARE(file->hashes().size(), 3);
    }

    // A saved library may hold digests recorded in upper case. (The downloads' own checks prove
    // the other verdicts.)
    void localHashMatchesAnyCase()
    {
        IdleFileActions idle;
        LibraryFile file(nullptr, idle);
        const QMap<QString, QDateTime> hashes{{QStringLiteral("AA11"), QDateTime()}};
        file.setHashes(hashes);
        file.setLocalFileHash(QStringLiteral("aa11"));
        QVERIFY(file.localHashMatches());
        // A reply that names no digest keeps the ones known.
        QVERIFY(!file.updateChecksums(QJsonArray()));
        QCOMPARE(file.hashes(), hashes);
    }

    // A copy found that is older than the recorded one changes nothing.
    void olderFoundCopyIsRefused()
    {
        LibraryFile *file = makeFile("a.pdf");
        file->setHashes({{"old", QDateTime(QDate(2020, 1, 1), QTime())},
                         {"new", QDateTime(QDate(2021, 1, 1), QTime())}});
        file->setLocalFileHash("new");
        QVERIFY(!file->updateLocalFile(inLibrary("old"), "old.pdf", "old"));
        QCOMPARE(file->status(), LibraryFile::Remote);
        QCOMPARE(file->filePath(), productDir() + "/a.pdf");
        QCOMPARE(file->localFileHash(), QStringLiteral("new"));
    }

    void deletingAPausedFileTakesItsPartialCopy()
    {
        LibraryFile *file = makeFile("paused.pdf", LibraryFile::DownloadPaused);
        writeFile(file->partialPath(), "half");
        file->deleteFile();
        QVERIFY(!QFileInfo::exists(file->partialPath()));
        QCOMPARE(file->status(), LibraryFile::Remote);
    }

    void deletes_data()
    {
        QTest::addColumn<bool>("permanently");
        QTest::addColumn<bool>("fails");
        QTest::newRow("to the trash") << false << false;
        QTest::newRow("permanently") << true << false;
        QTest::newRow("trash unavailable") << false << true;
        QTest::newRow("permanent removal refused") << true << true;
    }

    void deletes()
    {
        QFETCH(bool, permanently);
        QFETCH(bool, fails);
        m_settings->setDeletePermanently(permanently);
        LibraryFile *file = makeFile("my book %20.pdf", LibraryFile::Remote, "content");
        file->updateLocalFile(m_fixture.libraryPath(), QString(), "abc");
        const QString path = file->downloadPath();

        // Permanent removal fails on a folder in the file's place (even for root); the trash cannot
        // be set up when the data home is a plain file.
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        if (fails && permanently) {
            QDir().mkpath(inLibrary("found/sub"));
            file->setFoundFilePath(inLibrary("found"));
        } else if (fails) {
            writeFile(inLibrary("blocker"));
            qputenv("XDG_DATA_HOME", inLibrary("blocker").toLocal8Bit());
        }
        file->deleteFile();
        qputenv("XDG_DATA_HOME", dataHome);

        if (fails) {
            QCOMPARE(file->status(), LibraryFile::Downloaded);
            QVERIFY(QFileInfo::exists(file->filePath()) && QFileInfo::exists(path));
            QCOMPARE(m_services->errors.size(), 1);
            QVERIFY(m_services->errors.first().message.startsWith(QStringLiteral("Error deleting file \"my book %20.pdf\".")));
            QVERIFY(m_fixture.trashedFiles().isEmpty());
            return;
        }
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(file->status(), LibraryFile::Remote);
        QVERIFY(file->localFileHash().isEmpty() && m_services->errors.isEmpty());
        QCOMPARE(m_fixture.trashedFiles(), permanently ? QStringList() : QStringList{"my book %20.pdf"});
    }

    void deleteStaysInsideChosenFolders_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("saved record naming a folder outside") << "saved" << false;
        QTest::newRow("found through a folder link out") << "folder link" << false;
        QTest::newRow("link to a file outside") << "file link" << false;
        QTest::newRow("found in a folder the customer scanned") << "scanned" << true;
        QTest::newRow("in an earlier library folder") << "earlier" << true;
    }

    // What a delete may remove: only below a folder the customer chose, never through a link.
    void deleteStaysInsideChosenFolders()
    {
        QFETCH(QString, how);
        QFETCH(bool, deleted);
        m_settings->setDeletePermanently(true);
        const QString outside = m_fixture.libraryPath() + "-outside";
        const QString victim = outside + "/Pub/Title/a.pdf";
        writeFile(victim, "not the customer's book");
        LibraryFile *file = makeFile("a.pdf");
        if (how == "saved") {
            QJsonObject saved = file->toJson().toObject();
            saved.insert("localDir", outside);
            saved.insert("status", int(LibraryFile::Downloaded));
            file->fromJson(saved);
        } else if (how == "folder link") {
            QVERIFY(QFile::link(outside + "/Pub/Title", inLibrary("shelf")));
            file->updateLocalFile(m_fixture.libraryPath(), "a.pdf", "abc");
            file->setFoundFilePath(inLibrary("shelf/a.pdf"));
        } else if (how == "file link") {
            QVERIFY(QDir().mkpath(productDir()));
            QVERIFY(QFile::link(victim, productDir() + "/a.pdf"));
            file->updateLocalFile(m_fixture.libraryPath(), "a.pdf", "abc");
        } else if (how == "scanned") {
            file->updateLocalFile(outside, "a.pdf", "abc");
            file->setFoundFilePath(victim);
        } else {
            file->updateLocalFile(m_fixture.libraryPath(), "a.pdf", "abc");
            writeFile(file->downloadPath(), "the customer's book");
            m_settings->setLibraryDirectory(m_fixture.libraryPath() + "-new");
        }
        const QString path = file->filePath();

        file->deleteFile();
        QCOMPARE(file->status(), LibraryFile::Remote);
        QCOMPARE(QFileInfo::exists(path), !deleted);
        QCOMPARE(m_services->errors.size(), deleted ? 0 : 1);
        if (how != "earlier")
            QCOMPARE(QFileInfo::exists(victim), !deleted);
    }

    void updatePolicies_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QStringList>("left");   // empty: the user is asked
        QTest::newRow("rename old files") << int(Settings::RenameOldFiles) << QStringList{"a.old-001.pdf"};
        // Read as "ask each time".
        QTest::newRow("unknown policy") << 7 << QStringList{};
    }

    void updatePolicies()
    {
        QFETCH(int, policy);
        QFETCH(QStringList, left);
        m_settings->setUpdateBookPolicy(Settings::UpdateBookPolicy(policy));
        LibraryFile *file = makeFile("a.pdf", LibraryFile::UpdateAvailable, "old version");
        file->setDownloadedSize(11);
        file->setDownloadProgress(1.0);
        file->updateDownload();
        if (left.isEmpty()) {
            QCOMPARE(m_services->updateQuestions, QList<LibraryFile *>{file});
            QCOMPARE(file->status(), LibraryFile::UpdateAvailable);
            QVERIFY(QFileInfo::exists(file->downloadPath()));
            return;
        }
        QVERIFY(m_services->updateQuestions.isEmpty());
        QCOMPARE(file->status(), LibraryFile::Queued);
        QVERIFY(file->downloadedSize() == 0 && file->downloadProgress() == 0.0);
        QCOMPARE(QDir(productDir()).entryList(QDir::Files), left);
    }

    void replaceKeepsTheOldCopyUntilVerified_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QByteArray>("left");
        QTest::addColumn<QString>("hash");
        QTest::addColumn<int>("status");
        QTest::newRow("verified") << int(LibraryFile::Downloaded) << QByteArray("new version") << "new"
                                  << int(LibraryFile::Downloaded);
        QTest::newRow("checksum failed") << int(LibraryFile::DownloadError) << QByteArray("old version") << "old"
                                         << int(LibraryFile::UpdateAvailable);
        QTest::newRow("cancelled") << int(LibraryFile::Remote) << QByteArray("old version") << "old"
                                   << int(LibraryFile::UpdateAvailable);
    }

    void replaceKeepsTheOldCopyUntilVerified()
    {
        QFETCH(int, outcome);
        QFETCH(QByteArray, left);
        QFETCH(QString, hash);
        QFETCH(int, status);
        m_settings->setUpdateBookPolicy(Settings::ReplaceOldFiles);
        LibraryFile *file = makeFile("a.pdf", LibraryFile::UpdateAvailable, "old version");
        file->setLocalFileHash("old");
        const QString path = file->filePath();
        file->updateDownload();
        QVERIFY(QFileInfo(path).isFile());
        // What is saved meanwhile is still the old copy.
        QCOMPARE(file->toJson().toObject().value("localFileHash").toString(), QStringLiteral("old"));

        writeFile(file->downloadPath(), "new version");
        file->setLocalFileHash("new");
        m_fixture.manager->setFileStatus(file, LibraryFile::Status(outcome));
        QCOMPARE(int(file->status()), status);
        QCOMPARE(file->filePath(), path);
        QCOMPARE(file->localFileHash(), hash);
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), left);
        QCOMPARE(QDir(productDir()).entryList(QDir::Files), QStringList{"a.pdf"});
    }

    void openInDefaultViewer()
    {
        QStringList opened;
        FileSystemOps::setViewerOpener([&opened](const QString &path) {
            opened.append(path);
            return true;
        });
        LibraryFile *file = makeFile("a b.pdf", LibraryFile::Downloaded, "data");
        file->openInDefaultViewer();
        FileSystemOps::setViewerOpener(nullptr);
        QCOMPARE(opened, QStringList{file->downloadPath()});

        LibraryFile *gone = makeFile("a.pdf", LibraryFile::Downloaded);
        gone->setLocalFileName("gone.pdf");
        gone->setFoundFilePath("/nowhere/gone.pdf");
        gone->openInDefaultViewer();
        QCOMPARE(gone->status(), LibraryFile::DownloadError);
        QCOMPARE(gone->errorMessage(), QStringLiteral("File missing"));
        QVERIFY(gone->localFileName().isEmpty() && gone->foundFilePath().isEmpty());
    }

private:
    LibraryFile *makeFile(const QString &serverName, LibraryFile::Status status = LibraryFile::Remote,
                          const QByteArray &content = QByteArray())
    {
        LibraryFile *file = m_fixture.makeFile(m_item, serverName);
        file->setLocalDir(m_fixture.libraryPath());
        if (!content.isNull())
            writeFile(file->downloadPath(), content);
        if (status != LibraryFile::Remote)
            m_fixture.manager->setFileStatus(file, status);
        return file;
    }

    QString inLibrary(const QString &name) const { return m_fixture.libraryPath() + '/' + name; }
    QString productDir() const { return inLibrary("Pub/Title"); }
    static void writeFile(const QString &path, const QByteArray &data = "data") { QVERIFY(DownloadsFixture::writeFile(path, data)); }

    DownloadsFixture m_fixture;
    Settings *m_settings = nullptr;
    TestServices *m_services = nullptr;
    LibraryItem *m_item = nullptr;
};

QTEST_GUILESS_MAIN(TestLibraryFile)
#include "tst_libraryfile.moc"
