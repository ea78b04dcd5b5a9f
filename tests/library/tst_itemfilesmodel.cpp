#include "libraryfixtures.h"
#include "testservices.h"

#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

#include <QSignalSpy>
#include <QtTest>

using namespace fixtures;

using Statuses = QList<int>;
Q_DECLARE_METATYPE(Statuses)

namespace {

// A files model holding one file per status, in order.
void loadStatuses(LibraryItem &item, const Statuses &statuses)
{
    QJsonArray saved;
    for (int i = 0; i < statuses.size(); ++i)
        saved.append(QJsonObject{{QStringLiteral("serverFileName"), QStringLiteral("f%1.pdf").arg(i)},
                                 {QStringLiteral("status"), statuses.at(i)},
                                 {QStringLiteral("totalSize"), 100}});
    item.filesModel()->loadSavedFiles(saved);
}

} // namespace

class TestItemFilesModel : public QObject
{
    Q_OBJECT
private slots:
    void flags_data()
    {
        QTest::addColumn<Statuses>("statuses");
        // downloadAllEnabled, allFilesDownloaded, anyFilesDownloaded, anyFileIsDownloading,
        // anyFileIsErrored, anyFileUpdateAvailable, oneFileDownloaded
        QTest::addColumn<QString>("flags");
        QTest::newRow("empty") << Statuses{} << QStringLiteral("0100000");
        QTest::newRow("downloaded and update") << Statuses{LibraryFile::Downloaded, LibraryFile::UpdateAvailable}
                                               << QStringLiteral("1110010");
        QTest::newRow("single local") << Statuses{LibraryFile::Local} << QStringLiteral("1000000");
        QTest::newRow("one downloaded, one remote") << Statuses{LibraryFile::Downloaded, LibraryFile::Remote}
                                                    << QStringLiteral("1010001");
        QTest::newRow("all downloaded") << Statuses{LibraryFile::Downloaded, LibraryFile::Downloaded}
                                        << QStringLiteral("0110000");
        QTest::newRow("failed and paused") << Statuses{LibraryFile::DownloadError, LibraryFile::DownloadPaused}
                                           << QStringLiteral("1000100");
    }

    void flags()
    {
        QFETCH(Statuses, statuses);
        QFETCH(QString, flags);
        TestServices services;
        LibraryItem item;
        loadStatuses(item, statuses);
        ItemFilesModel *model = item.filesModel();
        const QString actual = QString::number(model->downloadAllEnabled()) + QString::number(model->allFilesDownloaded())
            + QString::number(model->anyFilesDownloaded()) + QString::number(model->anyFileIsDownloading())
            + QString::number(model->anyFileIsErrored()) + QString::number(model->anyFileUpdateAvailable())
            + QString::number(model->oneFileDownloaded());
        QCOMPARE(actual, flags);
        QCOMPARE(model->count(), statuses.size());
        QCOMPARE(item.downloadedDate().isEmpty(), !model->anyFilesDownloaded());
        QCOMPARE(model->totalDownloadProgress(), 0.0f);
    }

    void downloadAllQueuesALocalFile()
    {
        TestServices services;
        LibraryItem item;
        loadStatuses(item, {LibraryFile::Local, LibraryFile::Downloaded});
        item.downloadAllFiles();
        QCOMPARE(item.filesModel()->fileAt(0)->status(), LibraryFile::Queued);
        QCOMPARE(item.filesModel()->fileAt(1)->status(), LibraryFile::Downloaded);
        QVERIFY(item.filesModel()->anyFileIsDownloading());
    }

    void combinedProgress()
    {
        TestServices services;
        LibraryItem item;
        loadStatuses(item, {LibraryFile::Downloaded, LibraryFile::Remote, LibraryFile::Remote});
        ItemFilesModel *model = item.filesModel();
        const qint64 sizes[] = {100, 300};
        const qint64 received[] = {50, 150};
        for (int i = 0; i < 2; ++i) {
            LibraryFile *file = model->fileAt(i + 1);
            file->setTotalSize(sizes[i]);
            file->setDownloadedSize(received[i]);
            file->setStatus(LibraryFile::Queued);
        }
        QCOMPARE(model->totalDownloadProgress(), 0.5f);
        // The downloaded file is not part of the active transfers.
        QCOMPARE(model->remainingBytes(), 50 + 150);
    }

    void statusChangeUpdatesRowAndLastError()
    {
        TestServices services;
        LibraryItem item;
        loadStatuses(item, {LibraryFile::Remote, LibraryFile::Remote});
        ItemFilesModel *model = item.filesModel();
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QSignalSpy errored(model, &ItemFilesModel::lastErrorChanged);
        LibraryFile *file = model->fileAt(1);
        file->setErrorMessage(QStringLiteral("File missing"));
        file->setStatus(LibraryFile::DownloadError);
        QCOMPARE(errored.count(), 1);
        QCOMPARE(model->lastError(), QStringLiteral("File missing"));
        QVERIFY(model->anyFileIsErrored());
        QVERIFY(!changed.isEmpty());
        for (const QList<QVariant> &signal : qAsConst(changed))
            QCOMPARE(signal.at(0).toModelIndex().row(), 1);
        QVERIFY(changed.last().at(2).value<QVector<int>>().contains(ItemFilesModel::FileStatusRole));
        QCOMPARE(model->data(model->index(1), ItemFilesModel::FileStatusRole).toInt(), int(LibraryFile::DownloadError));
        QVERIFY(!model->data(model->index(2), ItemFilesModel::FileStatusRole).isValid());
    }

    void mergeDropsFilesNoLongerListed()
    {
        TestServices services;
        LibraryItem item;
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"),
                                  {serviceFile(QStringLiteral("a.pdf")), serviceFile(QStringLiteral("b.pdf")), serviceFile(QStringLiteral("c.pdf"))}));
        ItemFilesModel *model = item.filesModel();
        model->fileAt(2)->setStatus(LibraryFile::Downloaded);
        QSignalSpy count(model, &ItemFilesModel::countChanged);
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"),
                                  {serviceFile(QStringLiteral("c.pdf")), serviceFile(QStringLiteral("a.pdf"))}));
        QCOMPARE(model->count(), 2);
        QCOMPARE(count.count(), 1);
        QCOMPARE(model->fileAt(0)->serverFileName(), QStringLiteral("a.pdf"));
        QCOMPARE(model->fileAt(1)->serverFileName(), QStringLiteral("c.pdf"));
        QCOMPARE(model->fileAt(1)->status(), LibraryFile::Downloaded);
        QCOMPARE(model->toJson().toArray().size(), 2);
    }

    void newerServerDate_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("statusAfter");
        QTest::addColumn<bool>("timeKept");
        QTest::newRow("remote") << int(LibraryFile::Remote) << int(LibraryFile::Remote) << false;
        QTest::newRow("downloaded") << int(LibraryFile::Downloaded) << int(LibraryFile::UpdateAvailable) << true;
    }

    void newerServerDate()
    {
        QFETCH(int, status);
        QFETCH(int, statusAfter);
        QFETCH(bool, timeKept);
        TestServices services;
        LibraryItem item;
        const QString older = QStringLiteral("2021-01-10T10:00:00");
        const QString newer = QStringLiteral("2021-02-01T08:30:00.000Z");
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"), {serviceFile(QStringLiteral("a.pdf"), older)}));
        LibraryFile *file = item.filesModel()->fileAt(0);
        file->setStatus(LibraryFile::Status(status));
        QSignalSpy updates(item.filesModel(), &ItemFilesModel::anyFileUpdateAvailableChanged);

        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"), {serviceFile(QStringLiteral("a.pdf"), newer)}));
        QCOMPARE(item.filesModel()->fileAt(0), file);
        QCOMPARE(int(file->status()), statusAfter);
        const QDateTime newerTime(QDate(2021, 2, 1), QTime(8, 30));
        QCOMPARE(file->lastModified(), timeKept ? QDateTime::fromString(older, Qt::ISODate) : newerTime);
        QCOMPARE(updates.count(), timeKept ? 1 : 0);

        // The next merge stores the new date; the update stays.
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"), {serviceFile(QStringLiteral("a.pdf"), newer)}));
        QCOMPARE(file->lastModified(), newerTime);
        QCOMPARE(int(file->status()), statusAfter);
    }

    void fileSize_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<qint64>("size");
        QTest::newRow("3 GB") << QJsonValue(3000000000.0) << qint64(3000000000);
        QTest::newRow("small") << QJsonValue(1234) << qint64(1234);
        QTest::newRow("text") << QJsonValue(QStringLiteral("1234")) << qint64(0);
        QTest::newRow("negative") << QJsonValue(-5) << qint64(0);
        QTest::newRow("fraction") << QJsonValue(12.5) << qint64(0);
    }

    void fileSize()
    {
        QFETCH(QJsonValue, value);
        QFETCH(qint64, size);
        LibraryItem item;
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"),
                                  {serviceFile(QStringLiteral("a.pdf"), QStringLiteral("2021-01-10T10:00:00"), value)}));
        QCOMPARE(item.filesModel()->fileAt(0)->totalSize(), size);
        QCOMPARE(item.filesModel()->totalSize(), size);
    }

    void savedFilesWithoutNamesAreSkipped()
    {
        LibraryItem item;
        item.filesModel()->loadSavedFiles(QJsonArray{QJsonObject{}, QJsonObject{{QStringLiteral("serverFileName"), QString()}},
                                                     QJsonObject{{QStringLiteral("status"), 2}},
                                                     QJsonObject{{QStringLiteral("serverFileName"), QStringLiteral("ok.pdf")}}});
        QCOMPARE(item.filesModel()->count(), 1);
        item.applyProduct(product(QStringLiteral("1"), QStringLiteral("Book"), {serviceFile(QString()), serviceFile(QStringLiteral("ok.pdf"))}));
        QCOMPARE(item.filesModel()->count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestItemFilesModel)
#include "tst_itemfilesmodel.moc"
