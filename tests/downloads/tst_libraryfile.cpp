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
#include <QMetaProperty>
#include <QSignalSpy>
#include <QtTest>


class TestLibraryFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sanitizesNames_data();
    void sanitizesNames();
    void hostileNamesStayInsideLibrary_data();
    void hostileNamesStayInsideLibrary();
    void renamesOldCopy_data();
    void renamesOldCopy();

    void loadRules_data();
    void loadRules();
    void hashesTextMatchesCompactJson_data();
    void hashesTextMatchesCompactJson();
    void hashesTextMerges();
    void localHashMatches_data();
    void localHashMatches();
    void savedFormMatchesProperties_data();
    void savedFormMatchesProperties();
    void loadConvertsLikeProperties_data();
    void loadConvertsLikeProperties();

    void updateLocalFile_data();
    void updateLocalFile();

    void deletes_data();
    void deletes();
    void deletingAPausedFileTakesItsPartialCopy();
    void deleteStaysInsideChosenFolders_data();
    void deleteStaysInsideChosenFolders();
    void updatePolicies_data();
    void updatePolicies();
    void replaceKeepsTheOldCopyUntilVerified_data();
    void replaceKeepsTheOldCopyUntilVerified();
    void openInDefaultViewer();

private:
    LibraryFile *makeFile(const QString &serverName, LibraryFile::Status status = LibraryFile::Remote,
                          const QByteArray &content = QByteArray());
    QString inLibrary(const QString &name) const { return m_fixture.libraryPath() + '/' + name; }
    QString productDir() const { return inLibrary("Pub/Title"); }
    static void writeFile(const QString &path, const QByteArray &data = "data") { QVERIFY(DownloadsFixture::writeFile(path, data)); }
    QStringList trashedFiles() const { return m_fixture.trashedFiles(); }

    DownloadsFixture m_fixture;
    Settings *m_settings = nullptr;
    TestServices *m_services = nullptr;
    LibraryItem *m_item = nullptr;
};

void TestLibraryFile::initTestCase() { QVERIFY(m_fixture.setUpOnce()); }

void TestLibraryFile::init()
{
    QVERIFY(m_fixture.setUp());
    m_settings = m_fixture.settings.get();
    m_services = m_fixture.services.get();
    m_item = m_fixture.makeItem();
}

void TestLibraryFile::cleanup() { m_fixture.tearDown(); }

LibraryFile *TestLibraryFile::makeFile(const QString &serverName, LibraryFile::Status status, const QByteArray &content)
{
    LibraryFile *file = m_fixture.makeFile(m_item, serverName);
    file->setLocalDir(m_fixture.libraryPath());
    if (!content.isNull())
        writeFile(file->downloadPath(), content);
    if (status != LibraryFile::Remote)
        m_fixture.manager->setFileStatus(file, status);
    return file;
}

void TestLibraryFile::sanitizesNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every reserved character") << "<>:\"/\\|?*" << "_________";
    QTest::newRow("colon and final full stop") << "Pub: Inc." << "Pub_ Inc_";
    QTest::newRow("only the last character") << "a.." << "a._";
    QTest::newRow("dot") << "." << "_";
    QTest::newRow("climbing path") << "../../etc/passwd" << ".._.._etc_passwd";
    QTest::newRow("delete character kept") << QStringLiteral("a\x7f") << QStringLiteral("a\x7f");
}

void TestLibraryFile::sanitizesNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(LibraryFile::sanitizeFileName(name), expected);
}

void TestLibraryFile::hostileNamesStayInsideLibrary_data()
{
    QTest::addColumn<QString>("name");   // publisher, title and file name alike
    QTest::addColumn<QString>("localName");
    QTest::newRow("dot dot everywhere") << ".." << "";
    QTest::newRow("overlong") << QString(400, 'x') + ".pdf" << "";
    QTest::newRow("hostile local name") << "ok" << "../../../escape";
}

void TestLibraryFile::hostileNamesStayInsideLibrary()
{
    QFETCH(QString, name);
    QFETCH(QString, localName);
    m_item->setPublisher(name);
    m_item->setTitle(name);
    LibraryFile *file = makeFile(name);
    if (!localName.isEmpty())
        file->setLocalFileName(localName);
    const QString root = m_fixture.libraryPath();
    const QString path = file->downloadPath();
    // Neither cleaning nor the file system may read any component as a way up or across.
    QCOMPARE(QDir::cleanPath(path), path);
    QVERIFY(path.startsWith(root + '/'));
    const QStringList below = path.mid(root.size() + 1).split('/');
    QCOMPARE(below.size(), 3);
    for (const QString &component : below)
        QVERIFY(!component.isEmpty() && component != "." && component != "..");
}

void TestLibraryFile::renamesOldCopy_data()
{
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("archived");
    QTest::newRow("next free number") << "book.pdf" << QStringList{"book.pdf", "book.old-001.pdf"} << "book.old-002.pdf";
    QTest::newRow("leading dot only") << ".cfg" << QStringList{".cfg"} << ".cfg.old-001";
    QTest::newRow("last dot splits") << "a.tar.gz" << QStringList{"a.tar.gz"} << "a.tar.old-001.gz";
    QTest::newRow("nothing to rename") << "book.pdf" << QStringList{"other.pdf"} << "";
}

void TestLibraryFile::renamesOldCopy()
{
    QFETCH(QString, serverName);
    QFETCH(QStringList, present);
    QFETCH(QString, archived);
    for (const QString &name : present)
        writeFile(productDir() + '/' + name, name.toUtf8());
    LibraryFile *file = makeFile(serverName);
    const QStringList before = QDir(productDir()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(file->renameOldFile());
    const QStringList after = QDir(productDir()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(after.size(), before.size());
    if (archived.isEmpty()) {
        QCOMPARE(after, before);
        return;
    }
    QVERIFY(!QFileInfo::exists(file->downloadPath()));
    QFile moved(productDir() + '/' + archived);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), QFileInfo(file->downloadPath()).fileName().toUtf8());
}

void TestLibraryFile::loadRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorMessage");
    QTest::newRow("downloading is queued") << QByteArray(R"({"serverFileName":"a.pdf","status":5})")
                                           << int(LibraryFile::Queued) << "";
    QTest::newRow("error clears the local copy, keeps the message")
        << QByteArray(R"({"serverFileName":"a.pdf","status":7,"localFileName":"b.pdf","localFileHash":"ff",)"
                      R"("downloadProgress":0.5,"downloadedSize":10,"errorMessage":"Boom"})")
        << int(LibraryFile::DownloadError) << "Boom";
    QTest::newRow("status out of range is remote") << QByteArray(R"({"serverFileName":"a.pdf","status":42})")
                                                   << int(LibraryFile::Remote) << "";
    QTest::newRow("wrong types keep defaults")
        << QByteArray(R"({"serverFileName":"a.pdf","status":"x","totalSize":"big","downloadProgress":null,"unknownKey":1})")
        << int(LibraryFile::Remote) << "";
    QTest::newRow("progress beyond one") << QByteArray(R"({"serverFileName":"a.pdf","downloadProgress":1e300})")
                                         << int(LibraryFile::Remote) << "";
    QTest::newRow("negative progress and sizes")
        << QByteArray(R"({"serverFileName":"a.pdf","downloadProgress":-3,"totalSize":-5,"dlSize":-1,"downloadedSize":-9})")
        << int(LibraryFile::Remote) << "";
}

void TestLibraryFile::loadRules()
{
    QFETCH(QByteArray, json);
    QFETCH(int, status);
    QFETCH(QString, errorMessage);
    LibraryFile *file = makeFile(QString());
    file->fromJson(QJsonDocument::fromJson(json).object());
    QCOMPARE(int(file->status()), status);
    QCOMPARE(file->serverFileName(), QStringLiteral("a.pdf"));
    QVERIFY(file->localFileName().isEmpty());
    QCOMPARE(file->errorMessage(), errorMessage);
    QCOMPARE(file->downloadProgress(), 0.0);
    QVERIFY(!file->property("unknownKey").isValid());
    QVERIFY(file->totalSize() >= 0 && file->dlSize() >= 0 && file->downloadedSize() >= 0);
    if (status == LibraryFile::DownloadError)
        QVERIFY(file->localFileHash().isEmpty() && file->downloadedSize() == 0);
}

// The saved hashes text must stay byte for byte what a compact JSON document gives, as saved
// libraries and the download log carry it.
void TestLibraryFile::hashesTextMatchesCompactJson_data()
{
    QTest::addColumn<QStringList>("hashes");
    const QString plain = QStringLiteral("9e107d9d372bb6826bd81d3542a419d6");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("two, in key order") << QStringList{plain, QStringLiteral("0123abcd")};
    QTest::newRow("quote and backslash") << QStringList{QStringLiteral("a\"b\\c"), plain};
    QTest::newRow("slash") << QStringList{QStringLiteral("a/b")};
    QTest::newRow("controls") << QStringList{QString::fromUtf8("tab\tnl\ncr\rbs\bff\fnul") + QChar(0) + QChar(0x1f) + QChar(0x7f)};
    QTest::newRow("beyond ASCII") << QStringList{QString::fromUtf8("h\xc3\xa9sh \xe2\x80\xa8 \xf0\x9f\x90\x89"), plain};
    QTest::newRow("lone surrogate") << QStringList{QStringLiteral("x") + QChar(0xD800)};
}

void TestLibraryFile::hashesTextMatchesCompactJson()
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

    // Reading the text back must give what the JSON parser gives.
    QMap<QString, QDateTime> parsed;
    for (const QJsonValue &entry : QJsonDocument::fromJson(expected.toUtf8()).object().value(QStringLiteral("hashes")).toArray()) {
        const QString hash = entry[QStringLiteral("hash")].toString();
        if (!hash.isEmpty())
            parsed.insert(hash, QDateTime::fromString(entry[QStringLiteral("hashdate")].toString(),
                                                      QStringLiteral("yyyy-MM-ddThh:mm:ss")));
    }
    LibraryFile *back = makeFile("a.pdf");
    back->setHashesMap(expected);
    QCOMPARE(back->hashes(), parsed);
}

void TestLibraryFile::hashesTextMerges()
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

void TestLibraryFile::updateLocalFile_data()
{
    QTest::addColumn<QString>("foundHash");
    QTest::addColumn<bool>("applied");
    // The recorded copy is "new" (2021); "old" is dated 2020.
    QTest::newRow("older copy refused") << "old" << false;
    QTest::newRow("newer version") << "newer" << true;
    QTest::newRow("no hash") << "" << true;
}

void TestLibraryFile::updateLocalFile()
{
    QFETCH(QString, foundHash);
    QFETCH(bool, applied);
    LibraryFile *file = makeFile("a.pdf");
    file->setHashes({{"old", QDateTime(QDate(2020, 1, 1), QTime(0, 0))},
                     {"new", QDateTime(QDate(2021, 1, 1), QTime(0, 0))},
                     {"newer", QDateTime(QDate(2022, 1, 1), QTime(0, 0))}});
    file->setLocalFileHash("new");
    file->setLocalFileName("a.pdf");
    QSignalSpy dirChanges(file, &LibraryFile::localDirChanged);
    QCOMPARE(file->updateLocalFile("/scan", "found.pdf", foundHash), applied);
    QCOMPARE(file->status(), applied ? LibraryFile::Downloaded : LibraryFile::Remote);
    QCOMPARE(file->localDir(), applied ? QStringLiteral("/scan") : m_fixture.libraryPath());
    QCOMPARE(file->localFileName(), applied ? QStringLiteral("found.pdf") : QStringLiteral("a.pdf"));
    QCOMPARE(file->localFileHash(), applied ? foundHash : QStringLiteral("new"));
    QCOMPARE(dirChanges.count(), applied ? 1 : 0);
}

void TestLibraryFile::deletingAPausedFileTakesItsPartialCopy()
{
    LibraryFile *file = makeFile("paused.pdf", LibraryFile::DownloadPaused);
    writeFile(file->partialPath(), "half");
    file->deleteFile();
    QVERIFY(!QFileInfo::exists(file->partialPath()));
    QCOMPARE(file->status(), LibraryFile::Remote);
}

void TestLibraryFile::deletes_data()
{
    QTest::addColumn<bool>("permanently");
    QTest::addColumn<bool>("fails");
    QTest::newRow("to the trash") << false << false;
    QTest::newRow("permanently") << true << false;
    QTest::newRow("trash unavailable") << false << true;
    QTest::newRow("permanent removal refused") << true << true;
}

void TestLibraryFile::deletes()
{
    QFETCH(bool, permanently);
    QFETCH(bool, fails);
    m_settings->setDeletePermanently(permanently);
    LibraryFile *file = makeFile("my book %20.pdf", LibraryFile::Remote, "content");
    file->updateLocalFile(m_fixture.libraryPath(), QString(), "abc");
    file->setDownloadedSize(7);
    file->setDownloadProgress(1.0);
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
        QVERIFY(trashedFiles().isEmpty());
        return;
    }
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(file->status(), LibraryFile::Remote);
    QVERIFY(file->localFileHash().isEmpty() && m_services->errors.isEmpty());
    QCOMPARE(trashedFiles(), permanently ? QStringList() : QStringList{"my book %20.pdf"});
}

void TestLibraryFile::deleteStaysInsideChosenFolders_data()
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
void TestLibraryFile::deleteStaysInsideChosenFolders()
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

namespace {

// The saved form as the generic property walk writes it: every stored property under its
// name, enums as numbers, dates as ISO text or null, then the three keys left out by default.
QJsonObject savedByProperties(const LibraryFile &file)
{
    QJsonObject object;
    const QMetaObject *meta = file.metaObject();
    for (int i = LibraryFile::staticMetaObject.propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isStored(&file))
            continue;
        const QVariant value = property.read(&file);
        if (property.isEnumType())
            object.insert(QString::fromLatin1(property.name()), value.toInt());
        else if (value.userType() == QMetaType::QDateTime)
            object.insert(QString::fromLatin1(property.name()), value.toDateTime().isValid()
                          ? QJsonValue(value.toDateTime().toString(Qt::ISODate)) : QJsonValue());
        else
            object.insert(QString::fromLatin1(property.name()), QJsonValue::fromVariant(value));
    }
    if (file.downloadedSize() == 0)
        object.remove(QStringLiteral("downloadedSize"));
    if (file.localDir().isEmpty())
        object.remove(QStringLiteral("localDir"));
    if (file.status() == LibraryFile::Remote)
        object.remove(QStringLiteral("status"));
    return object;
}

QVariantMap storedProperties(const LibraryFile &file)
{
    QVariantMap values;
    const QMetaObject *meta = file.metaObject();
    for (int i = LibraryFile::staticMetaObject.propertyOffset(); i < meta->propertyCount(); ++i)
        values.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(&file));
    return values;
}

} // namespace

void TestLibraryFile::savedFormMatchesProperties_data()
{
    QTest::addColumn<bool>("filled");
    QTest::addColumn<int>("status");

    QTest::newRow("defaults") << false << int(LibraryFile::Remote);
    QTest::newRow("everything set, downloaded") << true << int(LibraryFile::Downloaded);
}

void TestLibraryFile::savedFormMatchesProperties()
{
    QFETCH(bool, filled);
    QFETCH(int, status);

    LibraryFile *file = m_fixture.makeFile(m_item, QString());
    if (filled) {
        file->setServerFileName(QStringLiteral("Dr\u00e4che \"und\" Zw\u00f6lf.pdf"));
        file->setLocalDir(m_fixture.libraryPath());
        file->setLocalFileName(QStringLiteral("local.pdf"));
        file->setLocalFileHash(QStringLiteral("0123456789abcdef0123456789abcdef"));
        file->setFoundFilePath(QStringLiteral("/elsewhere/local.pdf"));
        file->setErrorMessage(QStringLiteral("old failure"));
        file->setBundleId(-3);
        file->setLastModified(QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9, 500)));
        file->setLocalLastModified(QDateTime(QDate(2021, 1, 2), QTime(3, 4, 5), Qt::UTC));
        file->setTotalSize(Q_INT64_C(9007199254740993));
        file->setDlSize(Q_INT64_C(-1));
        file->setDownloadedSize(Q_INT64_C(3000000000));
        file->setDownloadProgress(1.0 / 3.0);
        file->setHashesMap(QStringLiteral(R"({"hashes":[{"hash":"aa","hashdate":"2020-01-02T03:04:05"},)"
                                          R"({"hash":"b\"b","hashdate":"bad"}]})"));
        m_fixture.manager->setFileStatus(file, LibraryFile::Status(status));
    }

    const QJsonObject expected = savedByProperties(*file);
    const QJsonObject saved = file->toJson().toObject();
    QCOMPARE(QJsonDocument(saved).toJson(QJsonDocument::Compact), QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

void TestLibraryFile::loadConvertsLikeProperties_data()
{
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("usual types")
        << QByteArray(R"({"serverFileName":"a.pdf","localFileName":"b.pdf","localFileHash":"ff","localDir":"/x",)"
                      R"("errorMessage":"e","bundleId":4,"lastModified":"2020-05-06T07:08:09",)"
                      R"("localLastModified":"2020-05-06T07:08:09.123Z","totalSize":5000000000,"dlSize":7,)"
                      R"("downloadProgress":0.25,"downloadedSize":3,)"
                      R"("hashesMap":"{\"hashes\":[{\"hash\":\"aa\",\"hashdate\":\"2020-01-02T03:04:05\"}]}"})");
    QTest::newRow("text where numbers are kept")
        << QByteArray(R"({"bundleId":"12","totalSize":"34","dlSize":"x","downloadProgress":"0.5","downloadedSize":""})");
    QTest::newRow("nulls")
        << QByteArray(R"({"serverFileName":null,"bundleId":null,"lastModified":null,"totalSize":null,)"
                      R"("downloadProgress":null,"hashesMap":null,"localDir":null})");
    QTest::newRow("dates in other shapes")
        << QByteArray(R"({"lastModified":"2020-05-06","localLastModified":"2020-05-06T07:08:09+02:00"})");
    QTest::newRow("keys that are not stored") << QByteArray(R"({"foundFilePath":"/x/y.pdf","item":"z","objectName":"n"})");
}

// Loading reads each key into its field directly; the result must be what assigning the value to
// the property of that name gives, conversions and refusals included.
void TestLibraryFile::loadConvertsLikeProperties()
{
    QFETCH(QByteArray, json);
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QVERIFY(!object.isEmpty());

    LibraryFile *expected = m_fixture.makeFile(m_item, QString());
    const QMetaObject *meta = expected->metaObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const int index = meta->indexOfProperty(it.key().toLatin1().constData());
        if (index < LibraryFile::staticMetaObject.propertyOffset() || !meta->property(index).isStored(expected))
            continue;
        meta->property(index).write(expected, it.value().toVariant());
    }

    LibraryFile *loaded = m_fixture.makeFile(m_item, QString());
    loaded->fromJson(object);
    QCOMPARE(storedProperties(*loaded), storedProperties(*expected));
    QCOMPARE(loaded->hashes(), expected->hashes());
    QVERIFY(loaded->dynamicPropertyNames().isEmpty());
}

void TestLibraryFile::updatePolicies_data()
{
    QTest::addColumn<int>("policy");
    QTest::addColumn<QStringList>("left");   // empty: the user is asked
    QTest::newRow("ask each time") << int(Settings::AskEachTime) << QStringList{};
    QTest::newRow("rename old files") << int(Settings::RenameOldFiles) << QStringList{"a.old-001.pdf"};
    // The old copy stays until the new version has verified.
    QTest::newRow("replace old files") << int(Settings::ReplaceOldFiles) << QStringList{"a.pdf"};
    QTest::newRow("unknown policy") << 7 << QStringList{};
}

void TestLibraryFile::updatePolicies()
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
    QCOMPARE(QDir(productDir()).entryList(QDir::Files).join(""), left.first());
}

void TestLibraryFile::replaceKeepsTheOldCopyUntilVerified_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QString>("hash");
    QTest::addColumn<int>("status");
    QTest::newRow("verified") << int(LibraryFile::Downloaded) << QByteArray("new version") << "new" << int(LibraryFile::Downloaded);
    QTest::newRow("checksum failed") << int(LibraryFile::DownloadError) << QByteArray("old version") << "old"
                                     << int(LibraryFile::UpdateAvailable);
    QTest::newRow("cancelled") << int(LibraryFile::Remote) << QByteArray("old version") << "old"
                               << int(LibraryFile::UpdateAvailable);
}

void TestLibraryFile::replaceKeepsTheOldCopyUntilVerified()
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

void TestLibraryFile::openInDefaultViewer()
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
    QCOMPARE(file->status(), LibraryFile::Downloaded);

    LibraryFile *gone = makeFile("a.pdf", LibraryFile::Downloaded);
    gone->setLocalFileName("gone.pdf");
    gone->setFoundFilePath("/nowhere/gone.pdf");
    gone->openInDefaultViewer();
    QCOMPARE(gone->status(), LibraryFile::DownloadError);
    QCOMPARE(gone->errorMessage(), QStringLiteral("File missing"));
    QVERIFY(gone->localFileName().isEmpty() && gone->foundFilePath().isEmpty());
}

void TestLibraryFile::localHashMatches_data()
{
    QTest::addColumn<QStringList>("digests");
    QTest::addColumn<QString>("localHash");
    QTest::addColumn<bool>("matches");
    QTest::newRow("no checksums accepts anything") << QStringList{} << "ffff" << true;
    QTest::newRow("known digest") << QStringList{"aa11", "bb22"} << "bb22" << true;
    QTest::newRow("unknown digest") << QStringList{"aa11"} << "bb22" << false;
    QTest::newRow("upper-case digest") << QStringList{"AA11"} << "aa11" << true;
    QTest::newRow("hash not computed") << QStringList{"aa11"} << QString() << false;
}

void TestLibraryFile::localHashMatches()
{
    QFETCH(QStringList, digests);
    QFETCH(QString, localHash);
    QFETCH(bool, matches);
    IdleFileActions idle;
    LibraryFile file(nullptr, idle);
    QMap<QString, QDateTime> hashes;
    for (const QString &digest : digests)
        hashes.insert(digest, QDateTime());
    file.setHashes(hashes);
    file.setLocalFileHash(localHash);
    QCOMPARE(file.localHashMatches(), matches);
    // A reply that names no digest keeps the ones known.
    QVERIFY(!file.updateChecksums(QJsonArray()));
    QCOMPARE(file.hashes(), hashes);
}

QTEST_GUILESS_MAIN(TestLibraryFile)
#include "tst_libraryfile.moc"
