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

const qint64 kPlenty = qint64(1) << 40;

int filesIn(const OnlineLibrary &library)
{
    int count = 0;
    for (int row = 0; row < library.rowCount(); ++row)
        count += library.filesCount(row);
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

    // A signed-in library client against the simulator, whose file tasks never complete so that
    // the transfers a sync starts stay in flight; the core as the program builds it.
    void init()
    {
        StorefrontSim::Options options;
        options.products = 3;
        options.neverComplete = true;
        m_sim = std::make_unique<StorefrontSim>(options);
        m_sim->start();
        qputenv("TOLVANE_API_BASE_URL", m_sim->baseUrl().toLocal8Bit());
        storeLogin(m_sim->appKey(), m_sim->issueToken(), m_sim->customersId());
        m_services = std::make_unique<TestServices>();
        m_api = m_services->remoteAPI();
        m_manager = m_services->downloadManager();
        m_services->settings()->setLibraryDirectory(m_home.path() + QStringLiteral("/books"));
        m_library = std::make_unique<OnlineLibrary>(m_services->fileActions());
        connect(m_api, &RemoteAPI::titlesRefreshResult, m_library.get(), &OnlineLibrary::onTitlesRefreshResult);
        m_sync = std::make_unique<LibrarySync>(m_api, m_library.get(), m_manager, m_services->settings());
        m_sync->setSpaceProbe([this](const QString &) { return m_available; });
        m_available = -1;
    }

    void cleanup()
    {
        m_manager->cancelAll();
        // A refresh request left running would outlive the test's objects.
        QSignalSpy finished(m_api, &RemoteAPI::refreshLibraryFinished);
        if (m_api->isRefreshing())
            finished.wait(20000);
        m_sync.reset();
        m_library.reset();
        m_services.reset();
        m_sim.reset();
    }

    void switchesOnAndOff()
    {
        QSignalSpy ended(m_sync.get(), &LibrarySync::ended);
        m_sync->switchSync();
        QVERIFY(m_sync->isSyncing());
        QVERIFY(m_api->isRefreshing());
        // The refresh ends and every file of the fresh library is queued or running.
        QTRY_VERIFY_WITH_TIMEOUT(m_library->rowCount() == 3 && m_manager->downloadsRemain() == filesIn(*m_library),
                                 20000);
        m_library->itemAt(0)->setSelectedForSync(true);

        m_sync->switchSync();
        QVERIFY(!m_sync->isSyncing());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(m_manager->downloadsRemain(), 0);
        QVERIFY(m_library->noneSelected());
    }

    // The shortage used to leave the flag set without a signal, so that the next press
    // switched off a sync that had never started.
    void shortageWithNoOneToAskLeavesSyncOff()
    {
        QSignalSpy changed(m_sync.get(), &LibrarySync::isSyncingChanged);
        m_available = 0;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^WARNING: Application: Not enough free space")));
        m_sync->switchSync();
        QVERIFY(!m_sync->isSyncing());
        QVERIFY(!m_sync->isCheckingSpace());
        QVERIFY(!m_api->isRefreshing());
        QCOMPARE(changed.size(), 0);

        m_available = kPlenty;
        m_sync->switchSync();
        QVERIFY(m_sync->isSyncing());
        QCOMPARE(changed.size(), 1);
    }

    void equalSizesAreAShortage_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::newRow("whole library") << false;
        QTest::newRow("selection") << true;
    }

    // Nothing selected: the whole library is measured, and nothing is queued. A selection is
    // measured alone and, once there is room, queued.
    void equalSizesAreAShortage()
    {
        QFETCH(bool, selected);
        QVERIFY(refresh());
        QList<LibrarySync::FreeSpaceShortage> asked;
        m_sync->setFreeSpaceQuestion(
            [&asked](const LibrarySync::FreeSpaceShortage &shortage) { asked.append(shortage); });
        m_library->itemAt(1)->setSelectedForSync(selected);
        m_available = selected ? m_library->remainingBytesSelected() : m_library->remainingBytes();
        m_sync->downloadSelected();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).required, m_available);
        QCOMPARE(m_manager->downloadsRemain(), 0);
        if (!selected)
            return;
        m_available = kPlenty;
        asked.at(0).retry();
        QCOMPARE(m_manager->downloadsRemain(), m_library->filesCount(1));
        QVERIFY(!m_sync->isSyncing());
    }

    void shortageWhenQueueingEndsTheSync()
    {
        QSignalSpy changed(m_sync.get(), &LibrarySync::isSyncingChanged);
        QSignalSpy ended(m_sync.get(), &LibrarySync::ended);
        m_available = kPlenty;
        m_sync->switchOn();
        QVERIFY(m_sync->isSyncing());
        // The refreshed library no longer fits; the user gives up.
        m_available = 0;
        m_sync->setFreeSpaceQuestion([](const LibrarySync::FreeSpaceShortage &shortage) { shortage.cancel(); });
        QTRY_VERIFY_WITH_TIMEOUT(!m_sync->isSyncing(), 20000);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(m_manager->downloadsRemain(), 0);
    }

    // A copy recorded downloaded and deleted by hand since is fetched again; one still on disk
    // is not.
    void copiesDeletedByHandAreQueuedAgain()
    {
        QVERIFY(refresh());
        for (int row = 0; row < 2; ++row) {
            m_library->itemAt(row)->setSelectedForSync(true);
            for (LibraryFile *file : m_library->itemAt(row)->filesModel()->files()) {
                file->setLocalDir(m_services->settings()->libraryDirectory());
                m_manager->setFileStatus(file, LibraryFile::Downloaded);
                if (row == 0)
                    QVERIFY(QDir().mkpath(QFileInfo(file->filePath()).path())
                            && QFile(file->filePath()).open(QIODevice::WriteOnly));
            }
        }
        m_available = kPlenty;
        m_sync->downloadSelected();
        QCOMPARE(m_manager->downloadsRemain(), m_library->filesCount(1));
        for (LibraryFile *file : m_library->itemAt(0)->filesModel()->files())
            QCOMPARE(file->status(), LibraryFile::Downloaded);
    }

private:
    bool refresh()
    {
        QSignalSpy finished(m_api, &RemoteAPI::refreshLibraryFinished);
        m_api->refreshLibrary(1);
        return finished.wait(20000) && m_library->rowCount() == 3;
    }

    QTemporaryDir m_home;
    std::unique_ptr<StorefrontSim> m_sim;
    std::unique_ptr<TestServices> m_services;
    RemoteAPI *m_api = nullptr;
    DownloadManager *m_manager = nullptr;
    std::unique_ptr<OnlineLibrary> m_library;
    std::unique_ptr<LibrarySync> m_sync;
    qint64 m_available = -1;
};

QTEST_GUILESS_MAIN(TestLibrarySync)
#include "tst_librarysync.moc"
