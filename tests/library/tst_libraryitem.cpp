#include "libraryfixtures.h"
#include "testservices.h"

#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

#include <QSignalSpy>
#include <QtTest>

using namespace fixtures;

namespace {

QDateTime g_now;
QDateTime fixedNow()
{
    return g_now;
}

} // namespace

class TestLibraryItem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        g_now = QDateTime(QDate(2021, 1, 19), QTime(12, 0));
        LibraryItem::setClock(&fixedNow);
    }

    void cleanupTestCase()
    {
        LibraryItem::setClock(nullptr);
    }

    void archivedFlag_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<int>("archived");
        QTest::newRow("text 1") << QJsonValue(QStringLiteral("1")) << 1;
        QTest::newRow("number 1") << QJsonValue(1) << 0;
        QTest::newRow("true") << QJsonValue(true) << 0;
        QTest::newRow("not a number") << QJsonValue(QStringLiteral("yes")) << 0;
    }

    void archivedFlag()
    {
        QFETCH(QJsonValue, value);
        QFETCH(int, archived);
        QJsonObject object = product(QStringLiteral("1"), QStringLiteral("Book"));
        object.insert(QStringLiteral("is_archived"), value);
        LibraryItem item;
        item.applyProduct(object);
        QCOMPARE(item.archived(), archived);
    }

    void ruleSystem()
    {
        const auto filter = [](const QJsonValue &parent, const QString &name) {
            return QJsonObject{{QStringLiteral("parent_id"), parent}, {QStringLiteral("filters_name"), name}};
        };
        LibraryItem item;
        QSignalSpy rules(&item, &LibraryItem::rulesInfoUpdated);
        QJsonObject object = product(QStringLiteral("1"), QStringLiteral("Book"));
        object.insert(QStringLiteral("filters"), QJsonArray{filter(30, QStringLiteral("Numeric")),
                                                            filter(QStringLiteral("12"), QStringLiteral("Genre"))});
        item.applyProduct(object);
        QCOMPARE(item.ruleSystem(), QStringLiteral("Other systems"));

        object.insert(QStringLiteral("filters"), QJsonArray{filter(QStringLiteral("12"), QStringLiteral("Genre")),
                                                            filter(QStringLiteral("30"), QStringLiteral("Ironlore")),
                                                            filter(QStringLiteral("30"), QStringLiteral("Second"))});
        item.applyProduct(object);
        QCOMPARE(item.ruleSystem(), QStringLiteral("Ironlore"));

        object.remove(QStringLiteral("filters"));
        item.applyProduct(object);
        QCOMPARE(item.ruleSystem(), QStringLiteral("Ironlore"));
        item.setRulesInfo(false, QJsonValue());
        QCOMPARE(item.ruleSystem(), QStringLiteral("Ironlore"));
        QCOMPARE(rules.count(), 4);
    }

    void failedProductRequestChangesNothing()
    {
        LibraryItem item;
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book")));
        QSignalSpy files(&item, &LibraryItem::filesInfoUpdated);
        item.setFilesInfo(false, QJsonValue());
        QCOMPARE(files.count(), 1);
        QCOMPARE(item.publisher(), QStringLiteral("Ember Press"));
        QCOMPARE(item.filesModel()->count(), 1);
    }

    void badgeAge_data()
    {
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<int>("badge");
        QTest::newRow("86399 s") << 86399 << int(LibraryItemBadge::New);
        QTest::newRow("86400 s") << 86400 << int(LibraryItemBadge::None);
    }

    void badgeAge()
    {
        QFETCH(int, ageSeconds);
        QFETCH(int, badge);
        LibraryItem item;
        item.setNewBadgeTime(g_now.addSecs(-ageSeconds));
        item.setTitleBadge(LibraryItemBadge::Update);
        item.refreshTitleBadge();
        QCOMPARE(int(item.titleBadge()), badge);
        QCOMPARE(item.newBadgeTime(), g_now.addSecs(-ageSeconds));
    }

    void badgeComesBackWhileFresh()
    {
        LibraryItem item;
        QSignalSpy badges(&item, &LibraryItem::itemBadgeUpdated);
        item.setTitleBadge(LibraryItemBadge::New);
        QCOMPARE(item.newBadgeTime(), g_now);
        item.setTitleBadge(LibraryItemBadge::None);
        item.refreshTitleBadge();
        QCOMPARE(item.titleBadge(), LibraryItemBadge::New);
        item.refreshTitleBadge();
        QCOMPARE(badges.count(), 3);
    }

    void savedForm_data()
    {
        QTest::addColumn<QJsonObject>("saved");
        QTest::addColumn<int>("badge");
        QTest::addColumn<QDateTime>("badgeTime");
        const QDateTime recent = g_now.addSecs(-3600);
        QTest::newRow("update badge without time")
            << QJsonObject{{QStringLiteral("titleBadge"), 2}} << int(LibraryItemBadge::None) << QDateTime();
        QTest::newRow("new, time with milliseconds")
            << QJsonObject{{QStringLiteral("titleBadge"), 1}, {QStringLiteral("newBadgeTime"), recent.toString(Qt::ISODateWithMs)}}
            << int(LibraryItemBadge::New) << recent;
        QTest::newRow("none, time without milliseconds, still fresh")
            << QJsonObject{{QStringLiteral("titleBadge"), 0}, {QStringLiteral("newBadgeTime"), recent.toString(Qt::ISODate)}}
            << int(LibraryItemBadge::New) << recent;
        QTest::newRow("new, time too old")
            << QJsonObject{{QStringLiteral("titleBadge"), 1}, {QStringLiteral("newBadgeTime"), QStringLiteral("2020-01-01T00:00:00.000")}}
            << int(LibraryItemBadge::None) << QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    }

    void savedForm()
    {
        QFETCH(QJsonObject, saved);
        QFETCH(int, badge);
        QFETCH(QDateTime, badgeTime);
        LibraryItem item;
        item.fromJson(saved);
        QCOMPARE(int(item.titleBadge()), badge);
        QCOMPARE(item.newBadgeTime(), badgeTime);

        const QJsonObject written = item.toJson().toObject();
        QCOMPARE(written.value(QStringLiteral("titleBadge")).toInt(), badge);
        QCOMPARE(written.value(QStringLiteral("newBadgeTime")).isNull(), !badgeTime.isValid());
        LibraryItem again;
        again.fromJson(written);
        QCOMPARE(again.newBadgeTime(), badgeTime);
    }

    void savedFormRoundTrip()
    {
        TestServices services;
        LibraryItem item;
        item.applyProduct(product(QStringLiteral("42"), QStringLiteral("Dragon Tales")));
        item.setSelectedForSync(true);
        item.filesModel()->fileAt(0)->setStatus(LibraryFile::Downloaded);
        const QJsonObject saved = item.toJson().toObject();
        for (const char *key : {"title", "publisher", "thumbURL", "coverURL", "ruleSystem", "productId", "archived",
                                "titleBadge", "newBadgeTime", "datePurchased", "downloadedDate", "selectedForSync", "files"})
            QVERIFY2(saved.contains(QLatin1String(key)), key);

        LibraryItem loaded;
        loaded.fromJson(saved);
        QCOMPARE(loaded.toJson().toObject(), saved);
    }

    void displayDates_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("date") << QStringLiteral("2021-01-05T09:30:00") << QStringLiteral("January 05, 2021");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("malformed") << QStringLiteral("05.01.2021") << QString();
    }

    void displayDates()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        LibraryItem item;
        item.setDownloadedDate(stored);
        QCOMPARE(item.displayDownloadedDate(), shown);
        QCOMPARE(item.displayLastModified(), QString());
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"),
                                  {serviceFile(QStringLiteral("a.pdf"), QStringLiteral("2020-12-24T08:00:00+01:00"))}));
        QCOMPARE(item.displayLastModified(), QStringLiteral("December 24, 2020"));
    }

    void searchTextFollowsChanges()
    {
        LibraryItem item;
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Dragon")));
        QVERIFY(item.searchText().contains(QStringLiteral("Dragon")));
        QVERIFY(item.searchText().contains(QStringLiteral("false")));
        item.setSelectedForSync(true);
        QVERIFY(item.searchText().contains(QStringLiteral("true")));
        item.setTitle(QStringLiteral("Wyvern"));
        QVERIFY(!item.searchText().contains(QStringLiteral("Dragon")));
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("X"), {serviceFile(QStringLiteral("x.pdf"), QStringLiteral("2019-03-02T00:00:00"))}));
        QVERIFY(item.searchText().contains(QStringLiteral("March 02, 2019")));
        item.setTitle(QStringLiteral("odd") + LibraryItem::kSearchSeparator + QStringLiteral("title"));
        QCOMPARE(item.searchText().count(LibraryItem::kSearchSeparator), 9);
    }
};

QTEST_GUILESS_MAIN(TestLibraryItem)
#include "tst_libraryitem.moc"
