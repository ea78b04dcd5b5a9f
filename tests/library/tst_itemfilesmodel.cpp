#include "libraryfixtures.h"
#include "testservices.h"

#include "downloads/downloadmanager.h"
#include "downloads/idlefileactions.h"
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
        saved.append(QJsonObject{{"serverFileName", QStringLiteral("f%1.pdf").arg(i)},
                                 {"status", statuses.at(i)},
                                 {"totalSize", 100}});
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
        QTest::newRow("empty") << Statuses{} << "0100000";
        QTest::newRow("downloaded and update") << Statuses{LibraryFile::Downloaded, LibraryFile::UpdateAvailable}
                                               << "1110010";
        QTest::newRow("one downloaded, one remote") << Statuses{LibraryFile::Downloaded, LibraryFile::Remote}
                                                    << "1010001";
        QTest::newRow("all downloaded") << Statuses{LibraryFile::Downloaded, LibraryFile::Downloaded}
                                        << "0110000";
        QTest::newRow("failed and paused") << Statuses{LibraryFile::DownloadError, LibraryFile::DownloadPaused}
                                           << "1000100";
    }

    void flags()
    {
        QFETCH(Statuses, statuses);
        QFETCH(QString, flags);
        TestServices services;
        LibraryItem item(services.fileActions());
        loadStatuses(item, statuses);
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
        TestServices services;
        LibraryItem item(services.fileActions());
        loadStatuses(item, {LibraryFile::Downloaded, LibraryFile::Remote, LibraryFile::Remote});
        ItemFilesModel *model = item.filesModel();
        const qint64 sizes[] = {100, 300};
        const qint64 received[] = {50, 150};
        for (int i = 0; i < 2; ++i) {
            LibraryFile *file = model->fileAt(i + 1);
            file->setTotalSize(sizes[i]);
            file->setDownloadedSize(received[i]);
            services.downloadManager()->setFileStatus(file, LibraryFile::Queued);
        }
        QCOMPARE(model->totalDownloadProgress(), 0.5f);
        // The downloaded file is not part of the active transfers.
        QCOMPARE(model->remainingBytes(), 50 + 150);
    }

    void mergeDropsFilesNoLongerListed()
    {
        TestServices services;
        LibraryItem item(services.fileActions());
        item.applyProduct(product("1", "Book",
                                  {serviceFile("a.pdf"), serviceFile("b.pdf"), serviceFile("c.pdf")}));
        ItemFilesModel *model = item.filesModel();
        services.downloadManager()->setFileStatus(model->fileAt(2), LibraryFile::Downloaded);
        QSignalSpy count(model, &ItemFilesModel::countChanged);
        item.applyProduct(product("1", "Book",
                                  {serviceFile("c.pdf"), serviceFile("a.pdf")}));
        QCOMPARE(count.count(), 1);
        QCOMPARE(QString(model->fileAt(0)->serverFileName() + model->fileAt(1)->serverFileName()), QStringLiteral("a.pdfc.pdf"));
        QCOMPARE(model->fileAt(1)->status(), LibraryFile::Downloaded);
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
        LibraryItem item(services.fileActions());
        const QString older = "2021-01-10T10:00:00";
        const QString newer = "2021-02-01T08:30:00.000Z";
        item.applyProduct(product("1", "Book", {serviceFile("a.pdf", older)}));
        LibraryFile *file = item.filesModel()->fileAt(0);
        services.downloadManager()->setFileStatus(file, LibraryFile::Status(status));

        item.applyProduct(product("1", "Book", {serviceFile("a.pdf", newer)}));
        QCOMPARE(int(file->status()), statusAfter);
        const QDateTime newerTime(QDate(2021, 2, 1), QTime(8, 30));
        QCOMPARE(file->lastModified(), timeKept ? QDateTime::fromString(older, Qt::ISODate) : newerTime);
    }

    void fileSize_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<qint64>("size");
        QTest::newRow("3 GB") << QJsonValue(3000000000.0) << qint64(3000000000);
        QTest::newRow("negative") << QJsonValue(-5) << qint64(0);
        QTest::newRow("fraction") << QJsonValue(12.5) << qint64(0);
    }

    void fileSize()
    {
        QFETCH(QJsonValue, value);
        QFETCH(qint64, size);
        LibraryItem item(m_idle);
        item.applyProduct(product("1", "Book",
                                  {serviceFile("a.pdf", "2021-01-10T10:00:00", value)}));
        QCOMPARE(item.filesModel()->fileAt(0)->totalSize(), size);
        QCOMPARE(item.filesModel()->totalSize(), size);
    }


private:
    IdleFileActions m_idle;
};

QTEST_GUILESS_MAIN(TestItemFilesModel)
#include "tst_itemfilesmodel.moc"
