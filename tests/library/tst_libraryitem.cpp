#include "libraryfixtures.h"

#include "api/libraryerrortype.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/errorslistmodel.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

#include <QSignalSpy>
#include <QtTest>

using namespace fixtures;

using Statuses = QList<int>;
Q_DECLARE_METATYPE(Statuses)

namespace {

QDateTime g_now;
QDateTime fixedNow() { return g_now; }

} // namespace

class TestLibraryItem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        g_now = QDateTime(QDate(2021, 1, 19), QTime(12, 0));
        LibraryItem::setClock(&fixedNow);
    }

    // Only the text "1" marks a product archived; the rule system is the first filter under
    // parent 30 given as text, else "Other systems".
    void productFields()
    {
        const auto filter = [](const QJsonValue &parent, const QString &name) {
            return QJsonObject{{"parent_id", parent}, {"filters_name", name}};
        };
        const QList<QPair<QJsonValue, QJsonArray>> products{
            {QStringLiteral("1"), {filter(30, "Numeric"), filter("12", "Genre")}},
            {1, {filter("12", "Genre"), filter("30", "Ironlore"), filter("30", "Second")}},
            {QStringLiteral("yes"), {}}};
        QStringList seen;
        for (const auto &fields : products) {
            QJsonObject object = product(QStringLiteral("1"), QStringLiteral("Book"));
            object.insert(QStringLiteral("is_archived"), fields.first);
            object.insert(QStringLiteral("filters"), fields.second);
            LibraryItem item(m_idle);
            item.applyProduct(object);
            seen << QString::number(item.archived()) + QLatin1Char(' ') + item.ruleSystem();
        }
        QCOMPARE(seen, (QStringList{"1 Other systems", "0 Ironlore", "0 Other systems"}));
    }

    // Kept whole up to the bound, cut there beyond it, never inside a character; the saved
    // form reads back the same way.
    void serviceTextsAreBounded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        const int max = LibraryFile::kMaxTextLength;
        const QString pair = QStringLiteral("\U0001F409");   // one character, two halves
        QTest::newRow("at the bound") << QString(max, 'a') << QString(max, 'a');
        QTest::newRow("8 MB") << QString(8 * 1024 * 1024, 'a') << QString(max, 'a');
        QTest::newRow("a pair across the bound") << QString(max - 1, 'a') + pair << QString(max - 1, 'a');
    }

    void serviceTextsAreBounded()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QJsonObject object = product(QStringLiteral("1"), text, {serviceFile(text)}, text);
        LibraryItem item(m_idle);
        item.applyProduct(object);
        QCOMPARE(item.title(), kept);
        QCOMPARE(item.publisher(), kept);
        QCOMPARE(item.filesModel()->fileAt(0)->serverFileName(), kept);
        // The next refresh finds the same file rather than adding another.
        item.applyProduct(object);
        QCOMPARE(item.filesModel()->rowCount(), 1);
        LibraryItem saved(m_idle);
        QJsonObject form = item.toJson().toObject();
        form.insert(QStringLiteral("title"), text);
        saved.fromJson(form);
        QCOMPARE(saved.title(), kept);
    }

    void savedForm_data()
    {
        QTest::addColumn<QJsonObject>("saved");
        QTest::addColumn<int>("badge");
        QTest::addColumn<QDateTime>("badgeTime");
        const QDateTime recent = g_now.addSecs(-3600);
        QTest::newRow("update badge without time")
            << QJsonObject{{QStringLiteral("titleBadge"), 2}} << int(LibraryItemBadge::None) << QDateTime();
        QTest::newRow("none, time without milliseconds, still fresh")
            << QJsonObject{{QStringLiteral("titleBadge"), 0}, {QStringLiteral("newBadgeTime"), recent.toString(Qt::ISODate)}}
            << int(LibraryItemBadge::New) << recent;
        const QDateTime almostADay = g_now.addSecs(-86399);
        QTest::newRow("update, a second short of a day")
            << QJsonObject{{QStringLiteral("titleBadge"), 2}, {QStringLiteral("newBadgeTime"), almostADay.toString(Qt::ISODate)}}
            << int(LibraryItemBadge::New) << almostADay;
        QTest::newRow("update, a day old")
            << QJsonObject{{QStringLiteral("titleBadge"), 2}, {QStringLiteral("newBadgeTime"), almostADay.addSecs(-1).toString(Qt::ISODate)}}
            << int(LibraryItemBadge::None) << almostADay.addSecs(-1);
        QTest::newRow("badge beyond the enumeration")
            << QJsonObject{{QStringLiteral("titleBadge"), 7}} << int(LibraryItemBadge::None) << QDateTime();
        QTest::newRow("negative badge")
            << QJsonObject{{QStringLiteral("titleBadge"), -2147483647.0}} << int(LibraryItemBadge::None) << QDateTime();
    }

    void savedForm()
    {
        QFETCH(QJsonObject, saved);
        QFETCH(int, badge);
        QFETCH(QDateTime, badgeTime);
        LibraryItem item(m_idle);
        item.fromJson(saved);
        QCOMPARE(int(item.titleBadge()), badge);
        QCOMPARE(item.newBadgeTime(), badgeTime);
    }

    void flags_data()
    {
        QTest::addColumn<Statuses>("statuses");
        // downloadAllEnabled, allFilesDownloaded, anyFilesDownloaded, anyFileIsDownloading,
        // anyFileIsErrored, anyFileUpdateAvailable, oneFileDownloaded
        QTest::addColumn<QString>("flags");
        QTest::newRow("empty") << Statuses{} << "0100000";
        QTest::newRow("downloaded and update") << Statuses{LibraryFile::Downloaded, LibraryFile::UpdateAvailable}
                                               << "1110010";
        QTest::newRow("one downloaded, one remote") << Statuses{LibraryFile::Downloaded, LibraryFile::Remote}
                                                    << "1010001";
        QTest::newRow("failed and paused") << Statuses{LibraryFile::DownloadError, LibraryFile::DownloadPaused}
                                           << "1000100";
    }

    void flags()
    {
        QFETCH(Statuses, statuses);
        QFETCH(QString, flags);
        LibraryItem item(m_idle);
        item.filesModel()->loadSavedFiles(savedFiles(statuses));
        ItemFilesModel *model = item.filesModel();
        const QString actual = QString::number(model->downloadAllEnabled()) + QString::number(model->allFilesDownloaded())
            + QString::number(model->anyFilesDownloaded()) + QString::number(model->anyFileIsDownloading())
            + QString::number(model->anyFileIsErrored()) + QString::number(model->anyFileUpdateAvailable())
            + QString::number(model->oneFileDownloaded());
        QCOMPARE(actual, flags);
        QCOMPARE(item.downloadedDate().isEmpty(), !model->anyFilesDownloaded());
    }

    void combinedProgress()
    {
        LibraryItem item(m_idle);
        const Statuses statuses{LibraryFile::Downloaded, LibraryFile::Remote, LibraryFile::Remote};
        item.filesModel()->loadSavedFiles(savedFiles(statuses));
        ItemFilesModel *model = item.filesModel();
        for (int i = 1; i < 3; ++i) {
            model->fileAt(i)->setTotalSize(100 * (2 * i - 1));
            model->fileAt(i)->setDownloadedSize(50 * (2 * i - 1));
            IdleFileActions::setStatusForTest(model->fileAt(i), LibraryFile::Queued);
        }
        QCOMPARE(model->totalDownloadProgress(), 0.5f);
        // The downloaded file is not part of the active transfers.
        QCOMPARE(model->remainingBytes(), 50 + 150);
    }

    // A refresh drops the files the service no longer lists, keeps the state of the others, and
    // marks a downloaded file whose server copy is newer; a remote one just takes the new date
    // and every file its new size.
    void refreshMergesFiles()
    {
        LibraryItem item(m_idle);
        const QString older = "2021-01-10T10:00:00";
        const QString newer = "2021-02-01T08:30:00.000Z";
        item.applyProduct(product("1", "Book", {serviceFile("a.pdf", older), serviceFile("b.pdf", older), serviceFile("c.pdf"),
                                                serviceFile("d.pdf")}));
        ItemFilesModel *model = item.filesModel();
        IdleFileActions::setStatusForTest(model->fileAt(1), LibraryFile::Downloaded);
        IdleFileActions::setStatusForTest(model->fileAt(2), LibraryFile::Downloaded);
        QSignalSpy count(model, &ItemFilesModel::countChanged);
        item.applyProduct(product("1", "Book", {serviceFile("c.pdf", older, 3000000000.0), serviceFile("a.pdf", newer, -5),
                                                serviceFile("b.pdf", newer, 12.5)}));
        QCOMPARE(count.count(), 1);
        QCOMPARE(model->count(), 3);
        QCOMPARE(model->fileAt(2)->serverFileName(), QStringLiteral("c.pdf"));
        QCOMPARE(model->fileAt(2)->status(), LibraryFile::Downloaded);
        QCOMPARE(model->fileAt(1)->status(), LibraryFile::UpdateAvailable);
        QCOMPARE(model->fileAt(1)->lastModified(), QDateTime::fromString(older, Qt::ISODate));
        QCOMPARE(model->fileAt(0)->status(), LibraryFile::Remote);
        QCOMPARE(model->fileAt(0)->lastModified(), QDateTime(QDate(2021, 2, 1), QTime(8, 30)));
        // Sizes beyond 32 bits are kept; negative or fractional ones are none.
        QCOMPARE(model->totalSize(), qint64(3000000000));
        QCOMPARE(model->fileAt(0)->totalSize() + model->fileAt(1)->totalSize(), qint64(0));
    }

private:
    IdleFileActions m_idle;

    // The errors list beside the products: one entry per product, the latest error replacing
    // the earlier one; each error is announced for the status bar, a general one in its own
    // words and an unknown kind not at all.
    void entriesAreKeyedByItemAndAnnounced()
    {
        ErrorsListModel model;
        QSignalSpy added(&model, &ErrorsListModel::errorAdded);
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("First"), 0);
        model.addError(LibraryErrorType::DownloadError, QStringLiteral("Second"), 1);
        model.addError(9, QStringLiteral("Of no known kind"), -1);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.addError(LibraryErrorType::GeneralError, QStringLiteral("Could not delete"), 0);
        model.addError(LibraryErrorType::RefreshLibraryError, QString(), -1);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(changed.count(), 2);
        QStringList seen;
        for (const QList<QVariant> &signal : qAsConst(added))
            seen << signal.at(0).toString();
        const QString failed = QStringLiteral("Some of your files failed to download. Click here to view error.");
        QCOMPARE(seen, (QStringList{failed, failed, "Could not delete",
                                    "Error refreshing library. Please check your internet connection."}));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTextRole).toString(), QStringLiteral("Could not delete"));
        QCOMPARE(model.data(model.index(0), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::GeneralError));
        QCOMPARE(model.data(model.index(2), ErrorsListModel::ErrorTypeRole).toInt(), int(LibraryErrorType::RefreshLibraryError));
    }
};

QTEST_GUILESS_MAIN(TestLibraryItem)
#include "tst_libraryitem.moc"
