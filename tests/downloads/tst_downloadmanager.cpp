#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "downloads/overallprogress.h"
#include "library/libraryitem.h"
#include "downloadsfixture.h"
#include "logcapture.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using S = LibraryFile::Status;

class TestDownloadManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.setUpOnce());
        qRegisterMetaType<LibraryItem *>();
    }

    void init()
    {
        QVERIFY(m_fixture.setUp(true));
        m_settings = m_fixture.settings.get();
        m_services = m_fixture.services.get();
        m_manager = m_fixture.manager.get();
        m_settings->setSimultaneousDownloads(2);
        signIn(true);
    }

    void cleanup()
    {
        m_fixture.tearDown();
    }

    // Three files of known sizes, two slots: a finished file hands its slot on; after the first
    // completes one of three is done with its bytes, and the end of the batch is reported once
    // with what failed.
    void batchHandsOnSlotsAndReportsItsFigures()
    {
        OverallProgress progress(m_manager);
        QSignalSpy finished(&progress, &OverallProgress::finished);
        QSignalSpy failed(m_manager, &DownloadManager::downloadFailedForItem);
        const QList<LibraryFile *> files = queueFiles(3, {1000, 2000, 3000});
        QCOMPARE(statuses(files), (QList<S>{S::Downloading, S::Downloading, S::Queued}));
        QVERIFY(progress.running());

        m_manager->setFileStatus(files[0], LibraryFile::Downloaded);
        QCOMPARE(statuses(files), (QList<S>{S::Downloaded, S::Downloading, S::Downloading}));
        QTRY_VERIFY2(progress.text().startsWith(QStringLiteral("1 of 3 files, 1000 B of 6 kB")),
                     qPrintable(progress.text()));

        files[1]->setErrorMessage(QStringLiteral("Failed to get download URL"));
        m_manager->setFileStatus(files[1], LibraryFile::DownloadError);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().value<FileOwner *>(), files[1]->item());
        // A success reported late, after the error, changes nothing.
        m_manager->setFileStatus(files[1], LibraryFile::Downloaded);
        QCOMPARE(files[1]->status(), LibraryFile::DownloadError);
        QCOMPARE(files[1]->errorMessage(), QStringLiteral("Failed to get download URL"));
        QCOMPARE(finished.count(), 0);
        m_manager->setFileStatus(files[2], LibraryFile::Downloaded);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first(), (QList<QVariant>{2, 1}));
        QVERIFY(!progress.running());
        QVERIFY(progress.text().isEmpty());
    }

    void nothingStartsSignedOutThenNewestPurchaseFirst()
    {
        signIn(false);
        m_settings->setSimultaneousDownloads(1);
        LibraryItem *older = makeItem("2020-01-01T00:00:00");
        LibraryItem *newest = makeItem("2021-06-01T00:00:00");
        LibraryItem *sameDate = makeItem("2020-01-01T00:00:00");
        LibraryItem *oldest = makeItem("2019-12-31T23:59:59");
        const QList<LibraryFile *> files{makeFile(older, "a1"), makeFile(newest, "b1"), makeFile(older, "a2"),
                                         makeFile(oldest, "d1"), makeFile(sameDate, "c1")};

        QStringList started;
        for (LibraryFile *file : files) {
            connect(file, &LibraryFile::statusChanged, this, [&started](LibraryFile *f) {
                if (f->status() == LibraryFile::Downloading)
                    started.append(f->serverFileName());
            });
            m_manager->setFileStatus(file, LibraryFile::Queued);
        }
        m_manager->processQueue();
        QVERIFY(started.isEmpty());
        QCOMPARE(m_manager->downloadsRemain(), 5);

        signIn(true);
        m_settings->setSimultaneousDownloads(5);
        QCOMPARE(started, (QStringList{"b1", "a1", "a2", "c1", "d1"}));
    }

    void deletedFilesAreSkipped()
    {
        m_settings->setSimultaneousDownloads(1);
        QSignalSpy finished(m_manager, &DownloadManager::allDownloadsFinished);
        QList<LibraryFile *> files = queueFiles(4);
        QCOMPARE(statuses(files), (QList<S>{S::Downloading, S::Queued, S::Queued, S::Queued}));

        // A queued file goes: the next one takes the slot.
        m_fixture.dropFile(files.takeAt(1));
        m_manager->setFileStatus(files[0], LibraryFile::Downloaded);
        QCOMPARE(statuses(files), (QList<S>{S::Downloaded, S::Downloading, S::Queued}));

        // The active file goes: its slot is freed.
        m_fixture.dropFile(files.takeAt(1));
        QTRY_COMPARE(files[1]->status(), LibraryFile::Downloading);
        // Pausing the last one ends the batch, once.
        files[1]->pauseDownload();
        QCOMPARE(finished.count(), 1);
        files[1]->pauseDownload();
        files[1]->cancelDownload();
        QCOMPARE(finished.count(), 1);

        // Stopping everything must not touch the deleted files.
        m_manager->cancelAll();
    }

    void stopAllKeepsStatuses()
    {
        const QList<LibraryFile *> files = queueFiles(4);
        QSignalSpy finished(m_manager, &DownloadManager::allDownloadsFinished);
        QSignalSpy remain(m_manager, &DownloadManager::downloadsRemainChanged);

        m_manager->stopAll();
        QCOMPARE(statuses(files), (QList<S>{S::Downloading, S::Downloading, S::Queued, S::Queued}));
        QCOMPARE(m_manager->downloadsRemain(), 0);
        QCOMPARE(finished.count() + remain.count(), 0);

        // A transfer that reports after the stop changes its file but starts nothing.
        m_manager->setFileStatus(files[0], LibraryFile::Downloaded);
        QCOMPARE(files[0]->status(), LibraryFile::Downloaded);
        QCOMPARE(files[2]->status(), LibraryFile::Queued);
    }

    // A cancelled batch ends without a report of its end.
    void cancelAll()
    {
        OverallProgress progress(m_manager);
        QSignalSpy finished(&progress, &OverallProgress::finished);
        const QList<LibraryFile *> files = queueFiles(4);
        writeFile(files[0]->downloadPath());

        m_manager->cancelAll();
        QCOMPARE(statuses(files), (QList<S>{S::DownloadPaused, S::Remote, S::Remote, S::Remote}));
        QVERIFY(QFileInfo::exists(files[0]->downloadPath()));
        QCOMPARE(m_manager->downloadsRemain(), 0);
        QVERIFY(!progress.running());
        QCOMPARE(finished.count(), 0);

        // Nothing is left behind to start later.
        m_settings->setSimultaneousDownloads(5);
        QCOMPARE(statuses(files).count(S::Downloading), 0);
    }

    void folderCreationFailure()
    {
        const QString blocker = m_fixture.libraryPath() + "/not-a-folder";
        writeFile(blocker);
        m_settings->setLibraryDirectory(blocker + "/library");
        QSignalSpy finished(m_manager, &DownloadManager::allDownloadsFinished);
        QSignalSpy failed(m_manager, &DownloadManager::downloadFailedForItem);

        // Queued together, they all fail within one pass over the queue.
        signIn(false);
        const QList<LibraryFile *> files = queueFiles(3);
        signIn(true);
        m_manager->processQueue();

        QCOMPARE(statuses(files), (QList<S>{S::DownloadError, S::DownloadError, S::DownloadError}));
        QVERIFY(files[0]->errorMessage().startsWith(QStringLiteral("Failed to create path to store file: ")));
        QCOMPARE(failed.count(), 3);
        QCOMPARE(finished.count(), 1);
    }

    void leavingErrorDeletesOnce_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("deleted");

        QTest::newRow("cancelled") << int(LibraryFile::Remote) << true;
        QTest::newRow("paused") << int(LibraryFile::DownloadPaused) << true;
        QTest::newRow("retried keeps the partial copy") << int(LibraryFile::Queued) << false;
    }

    void leavingErrorDeletesOnce()
    {
        QFETCH(int, target);
        QFETCH(bool, deleted);

        signIn(false);
        LibraryFile *file = makeFile(makeItem("2020-01-01T00:00:00"), "a.pdf");
        file->setLocalDir(m_fixture.libraryPath());
        m_manager->setFileStatus(file, LibraryFile::DownloadError);
        writeFile(file->downloadPath());
        QSignalSpy changes(file, &LibraryFile::statusChanged);
        LogCapture log;

        m_manager->setFileStatus(file, LibraryFile::Status(target));

        QCOMPARE(int(file->status()), target);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(QFileInfo::exists(file->downloadPath()), !deleted);
        QCOMPARE(log.lines().filter("LibraryFile: Delete file:").size(), deleted ? 1 : 0);
        QCOMPARE(m_fixture.trashedFiles(), deleted ? QStringList{QStringLiteral("a.pdf")} : QStringList());
    }

private:
    LibraryItem *makeItem(const QString &datePurchased) { return m_fixture.makeItem(datePurchased); }
    LibraryFile *makeFile(LibraryItem *item, const QString &name) { return m_fixture.makeFile(item, name); }
    QList<LibraryFile *> queueFiles(int count, const QList<qint64> &sizes = {})
    {
        LibraryItem *item = makeItem("2020-01-01T00:00:00");
        QList<LibraryFile *> files;
        for (int i = 0; i < count; ++i) {
            files.append(makeFile(item, QStringLiteral("file%1.pdf").arg(i)));
            files.last()->setTotalSize(sizes.value(i));
            m_manager->setFileStatus(files.last(), LibraryFile::Queued);
        }
        return files;
    }

    void signIn(bool signedIn)
    {
        RemoteAPI *api = m_services->remoteAPI();
        if (signedIn && !api->loggedIn())
            api->doLogin(QStringLiteral("test-key"));
        else if (!signedIn && api->loggedIn())
            api->doLogout();
        QCOMPARE(api->loggedIn(), signedIn);
    }

    static QList<LibraryFile::Status> statuses(const QList<LibraryFile *> &files)
    {
        QList<LibraryFile::Status> result;
        for (const LibraryFile *file : files)
            result.append(file->status());
        return result;
    }

    static void writeFile(const QString &path) { QVERIFY(DownloadsFixture::writeFile(path, "partial")); }

    DownloadsFixture m_fixture;
    Settings *m_settings = nullptr;
    TestServices *m_services = nullptr;
    DownloadManager *m_manager = nullptr;
};

QTEST_GUILESS_MAIN(TestDownloadManager)
#include "tst_downloadmanager.moc"
