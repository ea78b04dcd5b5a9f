#include "storefrontsim.h"
#include "testservices.h"

#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/downloader.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "downloads/ratelimiter.h"
#include "library/libraryitem.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int kTimeoutMs = 30000;
constexpr qint64 kMiB = 1024 * 1024;

} // namespace

// Transfers from the storefront simulator, a real HTTP server, under one shared limit.
class tst_RateLimiter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
        QStandardPaths::setTestModeEnabled(true);

        StorefrontSim::Options options;
        options.products = 2;
        options.largeFiles = 2;
        options.largeFileMib = 1;
        options.pollsToComplete = 0;
        m_sim = std::make_unique<StorefrontSim>(options);
        QVERIFY(m_sim->start());
        qputenv("TOLVANE_API_BASE_URL", m_sim->baseUrl().toUtf8());
        m_services = std::make_unique<TestServices>();
        RemoteAPI *api = m_services->remoteAPI();
        QSignalSpy signedIn(api, &RemoteAPI::loginSucceeded);
        api->doLogin(m_sim->appKey());
        QVERIFY(signedIn.wait(kTimeoutMs));
        m_services->settings()->setSimultaneousDownloads(5);
        Downloader::setPollIntervalMs(5);
    }

    void init()
    {
        m_library = std::make_unique<QTemporaryDir>();
        QVERIFY(m_library->isValid());
        m_services->settings()->setLibraryDirectory(m_library->path());
    }

    void cleanup()
    {
        m_services->downloadManager()->cancelAll();
        m_files.clear();
        m_items.clear();
        m_services->downloadManager()->rateLimiter().setRate(0);
    }

    void parsesRates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("rate");
        QTest::newRow("bytes") << "100000" << qint64(100000);
        QTest::newRow("kibibytes") << "512K" << qint64(512 * 1024);
        QTest::newRow("mebibytes, spelt out") << "1.5MiB/s" << qint64(3 * kMiB / 2);
        QTest::newRow("unknown unit") << "4G" << qint64(-1);
        QTest::newRow("negative") << "-4M" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
    }

    void parsesRates()
    {
        QFETCH(QString, text);
        QFETCH(qint64, rate);
        QCOMPARE(RateLimiter::parseRate(text), rate);
    }

    // Two readers that always want more get the same bytes, whichever asked first. Real
    // transfers cannot show this under load: a connection whose server lags rightly leaves
    // its share to the other.
    void waitersShareEqually()
    {
        RateLimiter limiter;
        limiter.setRate(kMiB);
        QObject readers[2];
        qint64 got[2] = {0, 0};
        std::function<void(int)> read = [&](int i) {
            got[i] += limiter.take(kMiB);
            limiter.waitTurn(&readers[i], [&read, i] { read(i); });
        };
        read(0);
        read(1);
        QTRY_VERIFY_WITH_TIMEOUT(got[0] + got[1] >= kMiB / 2, kTimeoutMs);
        QVERIFY2(qAbs(got[0] - got[1]) <= kMiB / 10, qPrintable(QStringLiteral("%1 %2").arg(got[0]).arg(got[1])));
    }

    // Two files of 1 MiB at 1 MiB/s together take two seconds.
    void twoTransfersShareOneLimit()
    {
        const qint64 limit = kMiB;
        m_services->downloadManager()->rateLimiter().setRate(limit);
        LibraryFile *first = makeFile(0);
        LibraryFile *second = makeFile(1);
        QElapsedTimer clock;
        clock.start();
        m_services->downloadManager()->setFileStatus(first, LibraryFile::Queued);
        m_services->downloadManager()->setFileStatus(second, LibraryFile::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(first->status() == LibraryFile::Downloaded && second->status() == LibraryFile::Downloaded,
                                 kTimeoutMs);
        // One refill's worth may pass at once; the rest waits for its time.
        const qint64 total = first->totalSize() + second->totalSize();
        QVERIFY2(clock.elapsed() >= (total - limit / 10) * 1000 / limit * 95 / 100, qPrintable(QString::number(clock.elapsed())));
    }

    // At 64 KiB/s the file would take 16 s; raised, the next second brings far more than that.
    void raisedLimitTakesEffectAtOnce()
    {
        RateLimiter &limiter = m_services->downloadManager()->rateLimiter();
        limiter.setRate(64 * 1024);
        LibraryFile *file = makeFile(0);
        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(file->downloadedSize() > 0, kTimeoutMs);
        QCOMPARE(file->status(), LibraryFile::Downloading);

        const qint64 before = file->downloadedSize();
        limiter.setRate(64 * kMiB);
        QTRY_VERIFY_WITH_TIMEOUT(file->downloadedSize() - before > 512 * 1024 || file->status() == LibraryFile::Downloaded,
                                 1000);
        QTRY_COMPARE_WITH_TIMEOUT(file->status(), LibraryFile::Downloaded, kTimeoutMs);
    }

private:
    LibraryFile *makeFile(int index)
    {
        // The generated files, by name: the catalogue's own are too small to take time.
        QString productId;
        StorefrontSim::FileInfo info;
        int seen = 0;
        for (const QString &id : m_sim->productIds()) {
            const StorefrontSim::FileInfo first = m_sim->files(id).constFirst();
            if (first.filename.startsWith(QLatin1String("generated-archive-")) && seen++ == index) {
                productId = id;
                info = first;
            }
        }
        auto item = std::make_unique<LibraryItem>(m_services->fileActions());
        item->setPublisher(QStringLiteral("Ashgrove Press"));
        item->setTitle(QStringLiteral("Title %1").arg(index));
        item->setProductId(productId);
        auto file = std::make_unique<LibraryFile>(item.get(), m_services->fileActions());
        file->setServerFileName(info.filename);
        file->setBundleId(info.bundleId);
        file->setTotalSize(info.size);
        m_items.push_back(std::move(item));
        m_files.push_back(std::move(file));
        return m_files.back().get();
    }

    QTemporaryDir m_home;
    std::unique_ptr<StorefrontSim> m_sim;
    std::unique_ptr<TestServices> m_services;
    std::unique_ptr<QTemporaryDir> m_library;
    std::vector<std::unique_ptr<LibraryItem>> m_items;
    std::vector<std::unique_ptr<LibraryFile>> m_files;
};

QTEST_MAIN(tst_RateLimiter)
#include "tst_ratelimiter.moc"
