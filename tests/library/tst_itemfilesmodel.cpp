#include "libraryfixtures.h"

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
        QTest::newRow("failed and paused") << Statuses{LibraryFile::DownloadError, LibraryFile::DownloadPaused}
                                           << "1000100";
    }

    void flags()
    {
        QFETCH(Statuses, statuses);
        QFETCH(QString, flags);
        LibraryItem item(m_idle);
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
        LibraryItem item(m_idle);
        loadStatuses(item, {LibraryFile::Downloaded, LibraryFile::Remote, LibraryFile::Remote});
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
};

QTEST_GUILESS_MAIN(TestItemFilesModel)
#include "tst_itemfilesmodel.moc"
