#include "downloads/overallprogress.h"
#include "downloadsfixture.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QtTest>

class TestOverallProgress : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_fixture.setUpOnce()); }
    void init()
    {
        QVERIFY(m_fixture.setUp(true));
        m_fixture.settings->setSimultaneousDownloads(2);
        m_fixture.services->remoteAPI()->doLogin(QStringLiteral("test-key"));
        QVERIFY(m_fixture.services->remoteAPI()->loggedIn());
    }

    void cleanup() { m_fixture.tearDown(); }

    // Three files of known sizes, two slots: after the first completes one of three is done with
    // its bytes, and the end of the batch is reported once with what failed.
    void figuresOfABatch()
    {
        OverallProgress progress(m_fixture.manager.get());
        QSignalSpy finished(&progress, &OverallProgress::finished);
        QVERIFY(!progress.running());
        QVERIFY(progress.text().isEmpty());

        const QList<LibraryFile *> files = queueFiles({1000, 2000, 3000});
        QVERIFY(progress.running());
        QCOMPARE(progress.filesAll(), 3);

        m_fixture.manager->setFileStatus(files[0], LibraryFile::Downloaded);
        QCOMPARE(progress.filesDone(), 1);
        QCOMPARE(progress.filesAll(), 3);
        QTRY_COMPARE(progress.bytesAll(), qint64(6000));
        QCOMPARE(progress.bytesDone(), qint64(1000));
        QVERIFY2(progress.text().startsWith(QStringLiteral("1 of 3 files, 1000 B of 6 kB")), qPrintable(progress.text()));

        files[1]->setErrorMessage(QStringLiteral("Failed to get download URL"));
        m_fixture.manager->setFileStatus(files[1], LibraryFile::DownloadError);
        QCOMPARE(progress.filesDone(), 2);
        QCOMPARE(finished.count(), 0);
        m_fixture.manager->setFileStatus(files[2], LibraryFile::Downloaded);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first(), (QList<QVariant>{2, 1}));
        QVERIFY(!progress.running());
        QVERIFY(progress.text().isEmpty());
    }

    void cancelledBatchReportsNothing()
    {
        OverallProgress progress(m_fixture.manager.get());
        QSignalSpy finished(&progress, &OverallProgress::finished);
        queueFiles({1000, 2000, 3000});
        m_fixture.manager->cancelAll();
        QVERIFY(!progress.running());
        QCOMPARE(finished.count(), 0);
    }

private:
    QList<LibraryFile *> queueFiles(const QList<qint64> &sizes)
    {
        LibraryItem *item = m_fixture.makeItem();
        QList<LibraryFile *> files;
        for (int i = 0; i < sizes.size(); ++i) {
            files.append(m_fixture.makeFile(item, QStringLiteral("file%1.pdf").arg(i)));
            files.last()->setTotalSize(sizes[i]);
            m_fixture.manager->setFileStatus(files.last(), LibraryFile::Queued);
        }
        return files;
    }

    DownloadsFixture m_fixture;
};

QTEST_GUILESS_MAIN(TestOverallProgress)
#include "tst_overallprogress.moc"
