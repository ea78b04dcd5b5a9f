#include "apifixture.h"
#include "storefrontsim.h"
#include "testservices.h"

#include "api/remoteapi.h"
#include "app/core/librarysync.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A signed-in library client against the simulator, whose file tasks never complete so that
// the transfers a sync starts stay in flight.
struct SyncFixture {
    explicit SyncFixture(const QString &home)
    {
        StorefrontSim::Options options;
        options.products = 3;
        options.neverComplete = true;
        sim = std::make_unique<StorefrontSim>(options);
        sim->start();
        qputenv("TOLVANE_API_BASE_URL", sim->baseUrl().toLocal8Bit());
        storeLogin(sim->appKey(), sim->issueToken(), sim->customersId());
        api = services.remoteAPI();
        settings = services.settings();
        settings->setLibraryDirectory(home + QStringLiteral("/books"));
        manager = services.downloadManager();
        library = std::make_unique<OnlineLibrary>(services.fileActions());
        QObject::connect(api, &RemoteAPI::titlesRefreshResult, library.get(), &OnlineLibrary::onTitlesRefreshResult);
        sync = std::make_unique<LibrarySync>(api, library.get(), manager, settings);
        sync->setSpaceProbe([this](const QString &) { return available; });
    }

    ~SyncFixture()
    {
        manager->cancelAll();
        // A refresh request left running would outlive the test's objects.
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        if (api->isRefreshing())
            finished.wait(20000);
    }

    bool refresh()
    {
        QSignalSpy finished(api, &RemoteAPI::refreshLibraryFinished);
        api->refreshLibrary(1);
        return finished.wait(20000) && library->rowCount() == 3;
    }

    void askWith(QList<LibrarySync::FreeSpaceShortage> *asked)
    {
        sync->setFreeSpaceQuestion([asked](const LibrarySync::FreeSpaceShortage &shortage) { asked->append(shortage); });
    }

    std::unique_ptr<StorefrontSim> sim;
    // The core as the program builds it, signed in with the stored login.
    TestServices services;
    RemoteAPI *api = nullptr;
    Settings *settings = nullptr;
    DownloadManager *manager = nullptr;
    std::unique_ptr<OnlineLibrary> library;
    std::unique_ptr<LibrarySync> sync;
    qint64 available = -1;
};

const qint64 kPlenty = qint64(1) << 40;

int filesIn(const OnlineLibrary &library, int onlyRow = -1)
{
    int count = 0;
    for (int row = 0; row < library.rowCount(); ++row) {
        if (onlyRow < 0 || row == onlyRow)
            count += library.filesCount(row);
    }
    return count;
}

} // namespace

class TestLibrarySync : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        useSettingsStoreIn(m_home.path());
        qputenv("XDG_DATA_HOME", m_home.path().toLocal8Bit());
    }

    void switchesOnAndOff()
    {
        SyncFixture f(m_home.path());
        QSignalSpy changed(f.sync.get(), &LibrarySync::isSyncingChanged);
        QSignalSpy ended(f.sync.get(), &LibrarySync::ended);
        f.sync->switchSync();
        QVERIFY(f.sync->isSyncing());
        QCOMPARE(changed.size(), 1);
        QVERIFY(f.api->isRefreshing());
        // The refresh ends and every file of the fresh library is queued or running.
        QTRY_VERIFY_WITH_TIMEOUT(f.library->rowCount() == 3 && f.manager->downloadsRemain() == filesIn(*f.library), 20000);
        f.library->itemAt(0)->setSelectedForSync(true);

        f.sync->switchSync();
        QVERIFY(!f.sync->isSyncing());
        QCOMPARE(changed.size(), 2);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(f.manager->downloadsRemain(), 0);
        QVERIFY(f.library->noneSelected());
    }

    // The shortage used to leave the flag set without a signal, so that the next press
    // switched off a sync that had never started.
    void shortageWithNoOneToAskLeavesSyncOff()
    {
        SyncFixture f(m_home.path());
        QSignalSpy changed(f.sync.get(), &LibrarySync::isSyncingChanged);
        f.available = 0;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^WARNING: Application: Not enough free space")));
        f.sync->switchSync();
        QVERIFY(!f.sync->isSyncing());
        QVERIFY(!f.sync->isCheckingSpace());
        QVERIFY(!f.api->isRefreshing());
        QCOMPARE(changed.size(), 0);

        f.available = kPlenty;
        f.sync->switchSync();
        QVERIFY(f.sync->isSyncing());
        QCOMPARE(changed.size(), 1);
    }

    void questionCancelledOrRetried()
    {
        SyncFixture f(m_home.path());
        QVERIFY(f.refresh());
        QList<LibrarySync::FreeSpaceShortage> asked;
        f.askWith(&asked);
        QSignalSpy changed(f.sync.get(), &LibrarySync::isSyncingChanged);
        f.available = 5;
        f.sync->switchOn();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).available, qint64(5));
        QCOMPARE(asked.at(0).required, f.library->remainingBytes());
        QVERIFY(asked.at(0).required > 5);
        QVERIFY(f.sync->isCheckingSpace());
        asked.at(0).cancel();
        QVERIFY(!f.sync->isSyncing());
        QVERIFY(!f.sync->isCheckingSpace());
        QCOMPARE(changed.size(), 0);

        // A second question replaces the first: only its answer counts.
        f.sync->switchOn();
        f.sync->switchOn();
        QCOMPARE(asked.size(), 3);
        f.available = kPlenty;
        asked.at(1).retry();
        QVERIFY(!f.sync->isSyncing());
        asked.at(2).retry();
        QVERIFY(f.sync->isSyncing());
        QCOMPARE(changed.size(), 1);
        asked.at(2).cancel();
        QVERIFY(f.sync->isSyncing());
    }

    // Equal sizes are a shortage; a volume that cannot be measured never blocks.
    void roomRule_data()
    {
        QTest::addColumn<qint64>("spare");
        QTest::addColumn<bool>("unmeasured");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("asks");
        QTest::newRow("one byte more") << qint64(1) << false << false << false;
        QTest::newRow("exactly enough") << qint64(0) << false << false << true;
        QTest::newRow("unmeasured volume") << qint64(0) << true << false << false;
        QTest::newRow("selection one byte short") << qint64(-1) << false << true << true;
    }

    // Nothing selected: the whole library is measured, and nothing is queued. A selection is
    // measured alone and, once there is room, queued.
    void roomRule()
    {
        QFETCH(qint64, spare);
        QFETCH(bool, unmeasured);
        QFETCH(bool, selected);
        QFETCH(bool, asks);
        SyncFixture f(m_home.path());
        QVERIFY(f.refresh());
        QList<LibrarySync::FreeSpaceShortage> asked;
        f.askWith(&asked);
        f.library->itemAt(1)->setSelectedForSync(selected);
        const qint64 required = selected ? f.library->remainingBytesSelected() : f.library->remainingBytes();
        f.available = unmeasured ? -1 : required + spare;
        f.sync->downloadSelected();
        QCOMPARE(asked.size(), asks ? 1 : 0);
        QCOMPARE(f.manager->downloadsRemain(), 0);
        if (!selected)
            return;
        QCOMPARE(asked.at(0).required, required);
        f.available = kPlenty;
        asked.at(0).retry();
        QCOMPARE(f.manager->downloadsRemain(), filesIn(*f.library, 1));
        QVERIFY(!f.sync->isSyncing());
    }

    void shortageWhenQueueingEndsTheSync()
    {
        SyncFixture f(m_home.path());
        QSignalSpy changed(f.sync.get(), &LibrarySync::isSyncingChanged);
        QSignalSpy ended(f.sync.get(), &LibrarySync::ended);
        f.available = kPlenty;
        f.sync->switchOn();
        QVERIFY(f.sync->isSyncing());
        // The refreshed library no longer fits; the user gives up.
        f.available = 0;
        f.sync->setFreeSpaceQuestion([](const LibrarySync::FreeSpaceShortage &shortage) { shortage.cancel(); });
        QTRY_VERIFY_WITH_TIMEOUT(!f.sync->isSyncing(), 20000);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(f.manager->downloadsRemain(), 0);
    }

    // A copy recorded downloaded and deleted by hand since is fetched again; one still on disk
    // is not.
    void copiesDeletedByHandAreQueuedAgain()
    {
        SyncFixture f(m_home.path());
        QVERIFY(f.refresh());
        for (int row = 0; row < 2; ++row) {
            f.library->itemAt(row)->setSelectedForSync(true);
            for (LibraryFile *file : f.library->itemAt(row)->filesModel()->files()) {
                file->setLocalDir(f.settings->libraryDirectory());
                f.manager->setFileStatus(file, LibraryFile::Downloaded);
                if (row == 0) {
                    QVERIFY(QDir().mkpath(QFileInfo(file->filePath()).absolutePath()));
                    QFile copy(file->filePath());
                    QVERIFY(copy.open(QIODevice::WriteOnly));
                }
            }
        }
        f.available = kPlenty;
        f.sync->downloadSelected();
        QCOMPARE(f.manager->downloadsRemain(), filesIn(*f.library, 1));
        for (LibraryFile *file : f.library->itemAt(0)->filesModel()->files())
            QCOMPARE(file->status(), LibraryFile::Downloaded);
    }

private:
    QTemporaryDir m_home;
};

QTEST_GUILESS_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
