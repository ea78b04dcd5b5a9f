#include "downloadsfixture.h"
#include "scratchmount.h"
#include "testservices.h"
#include "storefrontsim.h"
#include "testfiles.h"

#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "app/core/settings.h"
#include "downloads/downloader.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "downloads/ratelimiter.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <optional>

#include <unistd.h>

namespace {

constexpr int kTransferTimeoutMs = 20000;
constexpr qint64 kMiB = 1024 * 1024;

QStringList g_log;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_log.append(message);
}

bool atRest(const LibraryFile *file)
{
    return file->status() != LibraryFile::Queued && file->status() != LibraryFile::Downloading;
}

QByteArray rangeFrom(qint64 offset)
{
    return "bytes=" + QByteArray::number(offset) + '-';
}

} // namespace

class tst_Downloader : public QObject
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
        options.products = 3;
        options.largeFiles = 2;
        options.largeFileMib = 2;
        m_sim = std::make_unique<StorefrontSim>(options);
        QVERIFY(m_sim->start());
        qputenv("TOLVANE_API_BASE_URL", m_sim->baseUrl().toUtf8());

        m_services = std::make_unique<TestServices>();
        RemoteAPI *api = m_services->remoteAPI();
        QSignalSpy signedIn(api, &RemoteAPI::loginSucceeded);
        api->doLogin(m_sim->appKey());
        QVERIFY(signedIn.wait(kTransferTimeoutMs));
        QVERIFY(api->loggedIn());
        m_services->settings()->setSimultaneousDownloads(5);
        qInstallMessageHandler(captureLog);
    }

    void init()
    {
        m_sim->setPollsToComplete(2);
        m_sim->setNeverComplete(false);
        m_sim->setDownloadFault({});
        m_sim->clearFaults();
        m_sim->clearRequestLog();
        // A connection the server dropped while idle would be resent to once more by the network
        // stack, which reads as one more request than the downloader made.
        m_services->networkAccessManager()->clearConnectionCache();
        Downloader::setPollIntervalMs(5);
        Downloader::setFirstRetryDelayMs(1);
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_libraryDir = m_root->filePath(QStringLiteral("library"));
        QVERIFY(QDir().mkpath(m_libraryDir));
        m_services->settings()->setLibraryDirectory(m_libraryDir);
        m_item = std::make_unique<LibraryItem>(m_services->fileActions());
        m_item->setPublisher(QStringLiteral("Ashgrove Press"));
        m_item->setTitle(QStringLiteral("Tides of Brass"));
        g_log.clear();
    }

    void cleanup()
    {
        if (QTest::currentTestFailed()) {
            for (const QString &line : qAsConst(g_log))
                std::fprintf(stderr, "%s\n", qPrintable(line));
        }
        m_services->downloadManager()->cancelAll();
        qDeleteAll(m_files);
        m_files.clear();
        m_item.reset();
        Downloader::setLinkLifetimeSecs(Downloader::kLinkLifetimeSecs);
        Downloader::setPollIntervalMs(Downloader::kPollIntervalMs);
        Downloader::setFirstRetryDelayMs(Downloader::kFirstRetryDelayMs);
        Downloader::setStallTimeoutMs(Downloader::kStallTimeoutMs);
        m_services->downloadManager()->rateLimiter().setRate(0);
        NetworkReplyWrapper::setRequestTimeoutMs(NetworkReplyWrapper::kRequestTimeoutMs);
        NetworkReplyWrapper::setFirstRetryDelayMs(NetworkReplyWrapper::kFirstRetryDelayMs);
        LibraryFile::setRateSampleIntervalMs(TransferRateMeter::kSampleIntervalMs);
        QFile::setPermissions(m_libraryDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_root.reset();
    }

    void downloadsAndVerifies_data()
    {
        QTest::addColumn<int>("polls");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<QString>("message");
        QTest::newRow("after two polls") << 2 << int(StorefrontSim::ChecksumMode::Normal) << QString();
        QTest::newRow("wrong checksum") << 0 << int(StorefrontSim::ChecksumMode::Wrong)
                                        << QStringLiteral("Download error: hash doesn't match.");
        QTest::newRow("no checksum") << 0 << int(StorefrontSim::ChecksumMode::None)
                                     << QStringLiteral("File hash not returned from server");
    }

    void downloadsAndVerifies()
    {
        QFETCH(int, polls);
        QFETCH(int, checksum);
        QFETCH(QString, message);
        m_sim->setPollsToComplete(polls);
        StorefrontSim::DownloadFault fault;
        fault.checksum = StorefrontSim::ChecksumMode(checksum);
        m_sim->setDownloadFault(fault);
        const Target target = smallFile();
        QSignalSpy failures(m_services->downloadManager(), &DownloadManager::downloadFailedForItem);
        LibraryFile *file = makeFile(target);

        QVERIFY(settles(file));
        QCOMPARE(file->status(), message.isEmpty() ? LibraryFile::Downloaded : LibraryFile::DownloadError);
        QCOMPARE(file->errorMessage(), message);
        // Every failure reaches the window's errors, the unconfirmed copy's as well.
        QCOMPARE(failures.count(), message.isEmpty() ? 0 : 1);
        QCOMPARE(m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/api/v1/file_tasks/")), polls);
        QCOMPARE(rangesAsked(), QList<QByteArray>{QByteArray()});
        // The copy stays for the user to inspect; it is the service's bytes. Only one that passed
        // the check carries the book's name.
        const bool named = checksum != int(StorefrontSim::ChecksumMode::Wrong);
        QCOMPARE(md5OfFile(named ? file->downloadPath() : file->partialPath()), QString::fromLatin1(target.info.md5));
        QCOMPARE(QFileInfo::exists(file->downloadPath()), named);
        if (message.isEmpty()) {
            QCOMPARE(file->lastModified(),
                     QDateTime::fromString(target.info.lastModified, QStringLiteral("yyyy-MM-ddThh:mm:ss")));
            QTRY_VERIFY(!m_services->downloadManager()->downloaderOf(file));
        }
    }

    void interruptedTransfers_data()
    {
        QTest::addColumn<int>("httpStatus");     // on every download answer, `statusTimes` times
        QTest::addColumn<int>("statusTimes");
        QTest::addColumn<qint64>("dropAfter");   // per response; -1 none
        QTest::addColumn<qint64>("stallAfter");  // once; -1 none
        QTest::addColumn<bool>("downloaded");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QByteArray>>("ranges");

        const QList<QByteArray> wholeEachTime = QVector<QByteArray>(1 + Downloader::kMaxRetries).toList();
        QTest::newRow("503 twice, then the file")
            << 503 << 2 << qint64(-1) << qint64(-1) << true << QString() << QList<QByteArray>{{}, {}, {}};
        QTest::newRow("500 every time") << 500 << -1 << qint64(-1) << qint64(-1) << false
                                        << QStringLiteral("Download error: 500 Internal Server Error")
                                        << wholeEachTime;
        // Every answer brings 700 KiB more: progress keeps the retries going to the end.
        QTest::newRow("drops that make progress")
            << 0 << 0 << qint64(700 * 1024) << qint64(-1) << true << QString()
            << QList<QByteArray>{{}, rangeFrom(700 * 1024), rangeFrom(1400 * 1024)};
        // (A connection closed before any byte is resent by the network stack itself, so silence
        // is what brings nothing here.)
        QTest::newRow("stalls that bring nothing")
            << 0 << 0 << qint64(-1) << qint64(0) << false
            << QStringLiteral("Download error: the connection stalled.")
            << wholeEachTime;
        QTest::newRow("a stall half-way") << 0 << 0 << qint64(-1) << kMiB << true << QString()
                                          << QList<QByteArray>{{}, rangeFrom(kMiB)};
    }

    void interruptedTransfers()
    {
        QFETCH(int, httpStatus);
        QFETCH(int, statusTimes);
        QFETCH(qint64, dropAfter);
        QFETCH(qint64, stallAfter);
        QFETCH(bool, downloaded);
        QFETCH(QString, message);
        QFETCH(QList<QByteArray>, ranges);
        if (httpStatus != 0) {
            StorefrontSim::EndpointFault fault;
            fault.httpStatus = httpStatus;
            fault.times = statusTimes;
            m_sim->setFault(StorefrontSim::Endpoint::Download, fault);
        }
        StorefrontSim::DownloadFault fault;
        fault.dropAfterBytes = dropAfter;
        fault.stallAfterBytes = stallAfter;
        fault.stallMs = 20000;
        m_sim->setDownloadFault(fault);
        if (stallAfter >= 0)
            Downloader::setStallTimeoutMs(500);
        const Target target = largeFile();
        LibraryFile *file = makeFile(target);
        QSignalSpy errorShown(file, &LibraryFile::errorMessageChanged);

        QVERIFY(settles(file));
        QCOMPARE(file->status(), downloaded ? LibraryFile::Downloaded : LibraryFile::DownloadError);
        QCOMPARE(file->errorMessage(), message);
        QCOMPARE(errorShown.isEmpty(), message.isEmpty());
        const QList<QByteArray> asked = rangesAsked();
        int retries = asked.size() - 1;
        if (dropAfter > 0) {
            // A dropped connection may lose its last bytes in flight, so a drop can bring a little
            // less than it sent: each retry must start past the one before, never beyond. After a
            // drop the network stack sometimes sends the dropped request once more by itself, for
            // an answer nobody reads, so the retries are the downloader's own, from its log.
            QList<QByteArray> resumed;
            const QRegularExpression rangeLine(QStringLiteral("RangeHeader: (bytes=\\d+-)$"));
            for (const QString &line : qAsConst(g_log)) {
                const QRegularExpressionMatch match = rangeLine.match(line);
                if (match.hasMatch())
                    resumed.append(match.captured(1).toLatin1());
            }
            QVERIFY2(resumed.size() >= ranges.size() - 1, asked.join('|').constData());
            QVERIFY(asked.first().isEmpty());
            qint64 previous = 0;
            for (int i = 0; i < resumed.size(); ++i) {
                const qint64 start = resumed.at(i).mid(6, resumed.at(i).size() - 7).toLongLong();
                QVERIFY2(start > previous && start <= (i + 1) * dropAfter, resumed.at(i).constData());
                QVERIFY2(asked.contains(resumed.at(i)), asked.join('|').constData());
                previous = start;
            }
            retries = resumed.size();
        } else {
            QCOMPARE(asked, ranges);
        }
        QCOMPARE(g_log.filter(QRegularExpression(QStringLiteral("^WARNING: Downloader .*retry \\d+ of"))).size(),
                 retries);
        if (downloaded)
            QCOMPARE(md5OfFile(file->downloadPath()), QString::fromLatin1(target.info.md5));
        else if (httpStatus != 0)
            QVERIFY2(!QFileInfo::exists(file->partialPath()), "an error answer must not make a file");
        // Whatever arrived of a failed transfer waits beside the book's name, never under it.
        QCOMPARE(QFileInfo::exists(file->downloadPath()), downloaded);
        QVERIFY(!downloaded || !QFileInfo::exists(file->partialPath()));
    }

    void userStopsTheTransfer_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("newVersion");   // published while the transfer stands still
        QTest::newRow("pause while a poll is unanswered") << "poll" << false << false;
        QTest::newRow("pause mid-transfer") << "transfer" << false << false;
        QTest::newRow("pause mid-transfer, then a new version") << "transfer" << false << true;
        QTest::newRow("cancel mid-transfer") << "transfer" << true << false;
        QTest::newRow("pause in the pause before a retry") << "retry" << false << false;
        QTest::newRow("cancel in the pause before a retry") << "retry" << true << false;
    }

    // Pause keeps what is on disk and resumes from exactly there, unless the service has another
    // version by then; cancel leaves nothing and the next run is a new transfer. Neither comes
    // back to life on its own.
    void userStopsTheTransfer()
    {
        QFETCH(QString, moment);
        QFETCH(bool, cancel);
        QFETCH(bool, newVersion);
        const Target target = moment == QLatin1String("poll") ? smallFile() : largeFile();
        LibraryFile *file = makeFile(target);
        DownloadManager *manager = m_services->downloadManager();
        if (moment == QLatin1String("poll")) {
            StorefrontSim::EndpointFault slow;
            slow.delayMs = 3000;
            m_sim->setFault(StorefrontSim::Endpoint::FileTaskProgress, slow);
        } else if (moment == QLatin1String("transfer")) {
            m_sim->setDownloadFault({-1, StorefrontSim::ChecksumMode::Normal, 512 * 1024});
        } else {
            // A pause far longer than the test: only the user's action can end it.
            Downloader::setFirstRetryDelayMs(600000);
            StorefrontSim::DownloadFault drop;
            drop.dropAfterBytes = 256 * 1024;
            m_sim->setDownloadFault(drop);
        }
        manager->setFileStatus(file, LibraryFile::Queued);
        if (moment == QLatin1String("poll"))
            QTRY_COMPARE_WITH_TIMEOUT(m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/api/v1/file_tasks/")), 1,
                                      kTransferTimeoutMs);
        else if (moment == QLatin1String("transfer"))
            QTRY_VERIFY_WITH_TIMEOUT(file->downloadedSize() >= 256 * 1024, kTransferTimeoutMs);
        else
            QTRY_VERIFY_WITH_TIMEOUT(!g_log.filter(QStringLiteral("retry 1 of")).isEmpty(), kTransferTimeoutMs);
        QCOMPARE(file->status(), LibraryFile::Downloading);
        const QString oldId = manager->downloaderOf(file)->downloaderId();
        QVERIFY(!g_log.filter(oldId).isEmpty());
        // The network stack may repeat a dropped request by itself, so what counts is what the
        // downloader asks for.
        const QRegularExpression asking(QStringLiteral("File downloading (started|resumed)|Download link requested"));
        const int requestsBefore = g_log.filter(asking).size();

        if (cancel)
            file->cancelDownload();
        else
            file->pauseDownload();
        QCOMPARE(file->status(), cancel ? LibraryFile::Remote : LibraryFile::DownloadPaused);
        QVERIFY(file->errorMessage().isEmpty());
        const bool kept = !cancel && moment != QLatin1String("poll");
        QCOMPARE(QFileInfo::exists(file->partialPath()), kept);
        QVERIFY(!QFileInfo::exists(file->downloadPath()));
        const qint64 recorded = file->downloadedSize();
        if (moment == QLatin1String("retry") && !cancel)
            QCOMPARE(recorded, qint64(256 * 1024));
        if (kept) {
            // Data received but not yet written must not count, and nothing may lie past the mark.
            QVERIFY(recorded > 0 && recorded < target.info.size);
            QFile partial(file->partialPath());
            QVERIFY(partial.open(QIODevice::ReadOnly));
            QVERIFY(partial.seek(recorded - 4096));
            QVERIFY(partial.read(4096).count('\0') < 4096);
            const QByteArray after = partial.read(64 * 1024);
            QCOMPARE(after.count('\0'), after.size());
        }
        QString newId;
        if (cancel) {
            QVERIFY(manager->downloaderOf(file));
            newId = manager->downloaderOf(file)->downloaderId();
            QVERIFY(newId != oldId);
        }
        QCoreApplication::processEvents();
        QCOMPARE(g_log.filter(asking).size(), requestsBefore);

        m_sim->clearFaults();
        m_sim->setDownloadFault({});
        m_sim->clearRequestLog();
        g_log.clear();
        StorefrontSim::FileInfo current = target.info;
        if (newVersion) {
            // The link has expired, and the service has a smaller version meanwhile.
            Downloader::setLinkLifetimeSecs(0);
            QVERIFY(m_sim->publishNewVersion(target.productId, target.info.bundleId, target.info.size / 2 + 17));
            current = m_sim->files(target.productId).constFirst();
        }
        QVERIFY(settles(file));
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        QCOMPARE(file->localFileHash(), QString::fromLatin1(current.md5));
        QCOMPARE(md5OfFile(file->downloadPath()), QString::fromLatin1(current.md5));
        QCOMPARE(file->dlSize(), current.size);
        if (newVersion)
            QVERIFY(m_sim->publishNewVersion(target.productId, target.info.bundleId, target.info.size));
        if (moment == QLatin1String("poll"))
            QCOMPARE(m_sim->countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/file_tasks")), 1);
        // A new version is fetched whole: the old size must not make it look cut short.
        if (kept)
            QCOMPARE(rangesAsked(), QList<QByteArray>{newVersion ? QByteArray() : rangeFrom(recorded)});
        if (moment == QLatin1String("transfer") && !cancel)
            QCOMPARE(downloadRequests(), 1);
        // The new transfer's log lines carry its own id only.
        const QStringList lines = g_log.filter(QStringLiteral("Downloader {"));
        QVERIFY(!lines.isEmpty());
        for (const QString &line : lines)
            QVERIFY2(!cancel || (line.contains(newId) && !line.contains(oldId)), qPrintable(line));
    }

    void bytesAlreadyOnDisk_data()
    {
        // "start", "foreign start", "whole", "foreign whole", "longer"; "legacy start": a start under
        // the final name, as older versions wrote it. The other starts and every recorded copy lie
        // under the temporary name, the unrecorded whole copies under the final one.
        QTest::addColumn<QString>("content");
        QTest::addColumn<qint64>("recorded");   // the recorded resume point; 0 none
        QTest::addColumn<int>("mode");          // 0 normal, 1 server ignores ranges, 2 chunked answers
        QTest::addColumn<int>("refusal");       // an error status answered first; 0 none
        QTest::addColumn<QList<QByteArray>>("ranges");

        const qint64 size = largeFile().info.size;
        const QByteArray most = rangeFrom(size * 98 / 100);
        const QString start = QStringLiteral("start");
        QTest::newRow("nothing, chunked") << QString() << qint64(0) << 2 << 0 << QList<QByteArray>{{}};
        QTest::newRow("start of an earlier run") << start << qint64(0) << 0 << 0 << QList<QByteArray>{most};
        QTest::newRow("start, range ignored") << start << qint64(0) << 1 << 0 << QList<QByteArray>{most};
        QTest::newRow("start, shorter than recorded") << start << size << 0 << 0 << QList<QByteArray>{most};
        QTest::newRow("start, answered 410") << start << qint64(0) << 0 << 410 << QList<QByteArray>{most};
        QTest::newRow("legacy start") << QStringLiteral("legacy start") << qint64(0) << 0 << 0
                                      << QList<QByteArray>{most};
        QTest::newRow("foreign start") << QStringLiteral("foreign start") << qint64(0) << 0 << 0
                                       << QList<QByteArray>{most, {}};
        QTest::newRow("whole file, unrecorded") << QStringLiteral("whole") << qint64(0) << 0 << 0
                                                << QList<QByteArray>{};
        QTest::newRow("whole file, recorded: 416") << QStringLiteral("whole") << size << 0 << 0
                                                   << QList<QByteArray>{rangeFrom(size)};
        QTest::newRow("foreign whole, unrecorded") << QStringLiteral("foreign whole") << qint64(0) << 0 << 0
                                                   << QList<QByteArray>{{}};
        QTest::newRow("foreign whole, recorded: 416") << QStringLiteral("foreign whole") << size << 0 << 0
                                                      << QList<QByteArray>{rangeFrom(size), {}};
        QTest::newRow("longer, recorded: 416") << QStringLiteral("longer") << size + 10 << 0 << 0
                                               << QList<QByteArray>{rangeFrom(size + 10), {}};
        // Someone's file at the path: an error answer must leave it as it was.
        QTest::newRow("longer, unrecorded, answered 404") << QStringLiteral("longer") << qint64(0) << 0 << 404
                                                          << QList<QByteArray>{{}};
    }

    // A copy left by an earlier run (or found at the path) is continued, checked or replaced; the
    // digest decides, and a copy that fails it costs one download from byte 0. An error answer
    // changes nothing on disk, and the next run continues the same bytes.
    void bytesAlreadyOnDisk()
    {
        QFETCH(QString, content);
        QFETCH(qint64, recorded);
        QFETCH(int, mode);
        QFETCH(int, refusal);
        QFETCH(QList<QByteArray>, ranges);
        const Target target = largeFile();
        const QByteArray bytes = m_sim->fileBytes(target.productId, target.info.bundleId);
        QByteArray foreign = bytes;
        foreign[0] = char(~foreign.at(0));
        LibraryFile *file = makeFile(target);
        file->setLocalDir(m_libraryDir);
        QByteArray placed = content.startsWith(QLatin1String("foreign")) ? foreign : bytes;
        if (content.endsWith(QLatin1String("start")))
            placed = placed.left(int(target.info.size * 98 / 100));
        else if (content == QLatin1String("longer"))
            placed += QByteArray(10, 'x');
        const bool temporary = recorded > 0 || content == QLatin1String("start")
                               || content == QLatin1String("foreign start");
        const QString path = temporary ? file->partialPath() : file->downloadPath();
        if (!content.isEmpty())
            QVERIFY(DownloadsFixture::writeFile(path, placed));
        file->setDownloadedSize(recorded);
        StorefrontSim::DownloadFault fault;
        fault.ignoreRange = mode == 1;
        fault.chunked = mode == 2;
        m_sim->setDownloadFault(fault);
        if (refusal != 0) {
            StorefrontSim::EndpointFault answer;
            answer.httpStatus = refusal;
            m_sim->setFault(StorefrontSim::Endpoint::Download, answer);
            QVERIFY(settles(file));
            QCOMPARE(file->status(), LibraryFile::DownloadError);
            QVERIFY2(file->errorMessage().startsWith(QStringLiteral("Download error: %1 ").arg(refusal)),
                     qPrintable(file->errorMessage()));
            QCOMPARE(rangesAsked(), ranges);
            QFile copy(path);
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QVERIFY2(copy.readAll() == placed, "the copy on disk changed");
            m_sim->clearFaults();
            m_sim->clearRequestLog();
        }

        QVERIFY(settles(file));
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        QCOMPARE(rangesAsked(), ranges);
        QCOMPARE(md5OfFile(file->downloadPath()), QString::fromLatin1(target.info.md5));
        QCOMPARE(file->localFileHash(), QString::fromLatin1(target.info.md5));
        QCOMPARE(file->downloadProgress(), 1.0);
        QVERIFY(!QFileInfo::exists(file->partialPath()));
    }

    // Two files of 2 MiB under one limit of 2 MiB/s take two seconds together: every transfer
    // draws on the same budget.
    void twoTransfersShareOneLimit()
    {
        const qint64 limit = 2 * kMiB;
        m_services->downloadManager()->rateLimiter().setRate(limit);
        LibraryFile *first = makeFile(largeFile());
        const Target other = largeFile(2);
        LibraryItem otherItem(m_services->fileActions());
        otherItem.setTitle(QStringLiteral("Second"));
        otherItem.setProductId(other.productId);
        LibraryFile second(&otherItem, m_services->fileActions());
        second.setServerFileName(other.info.filename);
        second.setBundleId(other.info.bundleId);
        QElapsedTimer clock;
        clock.start();
        m_services->downloadManager()->setFileStatus(first, LibraryFile::Queued);
        m_services->downloadManager()->setFileStatus(&second, LibraryFile::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(atRest(first) && atRest(&second), kTransferTimeoutMs);
        QCOMPARE(first->status(), LibraryFile::Downloaded);
        QCOMPARE(second.status(), LibraryFile::Downloaded);
        // One refill's worth may pass at once; the rest waits for its time.
        const qint64 total = 2 * largeFile().info.size;
        QVERIFY2(clock.elapsed() >= (total - limit / 10) * 1000 / limit * 95 / 100, qPrintable(QString::number(clock.elapsed())));
    }

    void libraryRoot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<bool>("inside");
        QTest::newRow("root, as the settings keep \"/\"") << QStringLiteral("/Press/Title/book.pdf") << QString() << true;
        QTest::newRow("folder") << QStringLiteral("/home/mira/Library/Press/Title/book.pdf") << QStringLiteral("/home/mira/Library") << true;
        QTest::newRow("sibling with the same start") << QStringLiteral("/home/mira/Library2/book.pdf") << QStringLiteral("/home/mira/Library") << false;
        QTest::newRow("climbing out") << QStringLiteral("/home/mira/Library/../book.pdf") << QStringLiteral("/home/mira/Library") << false;
        QTest::newRow("the folder itself") << QStringLiteral("/home/mira/Library/") << QStringLiteral("/home/mira/Library") << false;
    }

    void libraryRoot()
    {
        QFETCH(QString, path);
        QFETCH(QString, dir);
        QFETCH(bool, inside);
        QCOMPARE(Downloader::isInsideLibrary(path, dir), inside);
    }

    // Figures measured against a transfer the server paces at a known speed.
    void speedAndTimeLeft()
    {
        LibraryFile::setRateSampleIntervalMs(100);
        StorefrontSim::DownloadFault slow;
        slow.bytesPerSecond = kMiB;
        m_sim->setDownloadFault(slow);
        const Target target = largeFile();
        m_item->setProductId(target.productId);
        ItemFilesModel *model = m_item->filesModel();
        QJsonObject entry{{QStringLiteral("filename"), target.info.filename},
                          {QStringLiteral("bundle_id"), target.info.bundleId},
                          {QStringLiteral("raw_filesize_bytes"), double(target.info.size)},
                          {QStringLiteral("last_modified"), target.info.lastModified}};
        model->mergeServiceFiles(QJsonArray{entry});
        LibraryFile *file = model->fileAt(0);
        QVERIFY(file);
        QSignalSpy textChanged(model, &ItemFilesModel::transferTextChanged);

        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        // Past the first samples, which may hold the burst of a filling socket buffer.
        QTRY_VERIFY_WITH_TIMEOUT(file->transferRate() > 0 && file->downloadedSize() > target.info.size / 2, kTransferTimeoutMs);
        QVERIFY2(file->transferRate() > kMiB / 2 && file->transferRate() < kMiB * 2, qPrintable(QString::number(file->transferRate())));
        QVERIFY(file->timeLeft() >= 0 && file->timeLeft() <= 10);
        QVERIFY(file->transferText().contains(QLatin1String("/s")));
        QCOMPARE(model->transferRate(), file->transferRate());
        QVERIFY(!textChanged.isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(atRest(file), kTransferTimeoutMs);
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        QCOMPARE(file->timeLeft(), -1);
        QCOMPARE(model->transferRate(), qint64(0));
        QCOMPARE(model->transferText(), QString());
    }

    // At 64 KiB/s the file would take half a minute; raised, the next second brings far more.
    void raisedLimitTakesEffectAtOnce()
    {
        RateLimiter &limiter = m_services->downloadManager()->rateLimiter();
        limiter.setRate(64 * 1024);
        LibraryFile *file = makeFile(largeFile());
        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(file->downloadedSize() > 0, kTransferTimeoutMs);
        QCOMPARE(file->status(), LibraryFile::Downloading);

        const qint64 before = file->downloadedSize();
        limiter.setRate(64 * kMiB);
        QTRY_VERIFY_WITH_TIMEOUT(file->downloadedSize() - before > 512 * 1024 || atRest(file), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(file->status(), LibraryFile::Downloaded, kTransferTimeoutMs);
    }

    void silentOrFailingFileTasks_data()
    {
        QTest::addColumn<int>("endpoint");   // -1: the task never completes
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("downloaded");
        QTest::addColumn<int>("linkRequests");
        QTest::addColumn<int>("polls");
        const int create = int(StorefrontSim::Endpoint::FileTaskCreate);
        const int attempts = 1 + NetworkReplyWrapper::kTransientRetries;
        QTest::newRow("link request unanswered once") << create << 5000 << 0 << 1 << true << 2 << 2;
        QTest::newRow("link request never answered") << create << 5000 << 0 << -1 << false << attempts << 0;
        QTest::newRow("link request 503 twice") << create << 0 << 503 << 2 << true << 3 << 2;
        // A hundred real round trips, then the file gives up.
        QTest::newRow("task never completes") << -1 << 0 << 0 << 0 << false << 1 << 100;
    }

    // A service that takes the request and never answers holds the file only for the timeout;
    // transient failures are asked again a few times, an endless task polled a hundred times.
    void silentOrFailingFileTasks()
    {
        QFETCH(int, endpoint);
        QFETCH(int, delayMs);
        QFETCH(int, httpStatus);
        QFETCH(int, times);
        QFETCH(bool, downloaded);
        QFETCH(int, linkRequests);
        QFETCH(int, polls);
        NetworkReplyWrapper::setRequestTimeoutMs(300);
        NetworkReplyWrapper::setFirstRetryDelayMs(1);
        Downloader::setPollIntervalMs(1);
        if (endpoint < 0) {
            m_sim->setNeverComplete(true);
        } else {
            StorefrontSim::EndpointFault fault;
            fault.delayMs = delayMs;
            fault.httpStatus = httpStatus;
            fault.times = times;
            m_sim->setFault(StorefrontSim::Endpoint(endpoint), fault);
        }
        LibraryFile *file = makeFile(smallFile());

        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(atRest(file), 60000);
        QCOMPARE(file->status(), downloaded ? LibraryFile::Downloaded : LibraryFile::DownloadError);
        if (!downloaded)
            QCOMPARE(file->errorMessage(), QStringLiteral("Failed to get download URL"));
        QCOMPARE(m_sim->countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/file_tasks")), linkRequests);
        QCOMPARE(m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/api/v1/file_tasks/")), polls);
        QCOMPARE(downloadRequests(), downloaded ? 1 : 0);
        // The sleeping handlers of the service end with the fault.
        m_sim->clearFaults();
    }

    void bodyPastAnnouncedSizeStopsAndLeavesNothing_data()
    {
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<bool>("resumed");
        QTest::newRow("length in the headers") << false << false;
        QTest::newRow("chunked, resumed") << true << true;
    }

    // The service announced a small file; the download host sends far more.
    void bodyPastAnnouncedSizeStopsAndLeavesNothing()
    {
        QFETCH(bool, chunked);
        QFETCH(bool, resumed);
        Target target = largeFile();
        const QByteArray bytes = m_sim->fileBytes(target.productId, target.info.bundleId);
        target.info.size = resumed ? 70000 : 6423;
        LibraryFile *file = makeFile(target);
        file->setLocalDir(m_libraryDir);
        if (resumed)
            QVERIFY(DownloadsFixture::writeFile(file->downloadPath(), bytes.left(65536)));
        StorefrontSim::DownloadFault fault;
        fault.chunked = chunked;
        m_sim->setDownloadFault(fault);

        QVERIFY(settles(file));
        QCOMPARE(file->status(), LibraryFile::DownloadError);
        QCOMPARE(file->errorMessage(),
                 QStringLiteral("Download error: the server sent more than the file's size of %1 bytes.").arg(target.info.size));
        QCOMPARE(QDir(m_libraryDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(file->downloadedSize(), qint64(0));
        QCOMPARE(downloadRequests(), 1);
    }

    void folderFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");   // %1: the library folder
        QTest::newRow("folder gone while the link is prepared") << "missing" << "Download directory %1 does not exist";
        QTest::newRow("folder not writable") << "unwritable" << "Don't have permissions to write to directory %1";
        QTest::newRow("file system full") << "full" << "File allocation error. Please check disk free space.";
    }

    void folderFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        LibraryFile *file = makeFile(fault == QLatin1String("full") ? largeFile() : smallFile());
        const QString folder = m_libraryDir + QLatin1Char('/') + file->productFolder();
        // A 1 MiB file system cannot take the 2 MiB file; read-only, it stops even root, whom
        // permission bits do not.
        std::unique_ptr<ScratchMount> mount;
        if (fault == QLatin1String("full") || (fault == QLatin1String("unwritable") && ::geteuid() == 0)) {
            mount = std::make_unique<ScratchMount>(m_libraryDir, 1024 * 1024);
            if (!mount->mounted())
                QSKIP("No right to mount a scratch file system");
        }
        QStringList kept;
        if (fault == QLatin1String("unwritable")) {
            QVERIFY(QDir().mkpath(folder));
            if (mount)
                QVERIFY(mount->makeReadOnly());
            else
                QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner)
                        && QFile::setPermissions(m_libraryDir, QFile::ReadOwner | QFile::ExeOwner));
        } else if (fault == QLatin1String("full")) {
            QVERIFY(QDir().mkpath(folder));
            QFile neighbour(folder + QStringLiteral("/notes.txt"));
            QVERIFY(neighbour.open(QIODevice::WriteOnly) && neighbour.write("keep me") == 7);
            kept << QStringLiteral("library/") + file->productFolder() + QStringLiteral("/notes.txt");
        }

        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        if (fault == QLatin1String("missing")) {
            QCOMPARE(file->status(), LibraryFile::Downloading);
            QVERIFY(QDir(m_libraryDir).removeRecursively());
        }
        QTRY_VERIFY_WITH_TIMEOUT(atRest(file), kTransferTimeoutMs);
        QCOMPARE(file->status(), LibraryFile::DownloadError);
        QCOMPARE(file->errorMessage(), message.arg(m_libraryDir));
        QCOMPARE(filesBelow(m_root->path()), kept);
        if (!kept.isEmpty()) {
            QFile neighbour(m_root->filePath(kept.constFirst()));
            QVERIFY(neighbour.open(QIODevice::ReadOnly));
            QCOMPARE(neighbour.readAll(), QByteArray("keep me"));
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void hostileNamesStayInside_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("publisher");   // and title; empty: the usual ones
        QTest::newRow("dot dot everywhere") << QStringLiteral("..") << QStringLiteral("..");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("slashes") << QStringLiteral("../../../escape.pdf") << QString();
        QTest::newRow("control characters") << QStringLiteral("a\x01\x1f\nb.pdf") << QString();
        // Shortened to what a file system takes, the extension kept.
        QTest::newRow("too long") << QString(300, QLatin1Char('x')) + QStringLiteral(".pdf") << QString();
        QTest::newRow("format markers") << QStringLiteral("%1 %2 %3.pdf") << QStringLiteral("%1");
    }

    void hostileNamesStayInside()
    {
        QFETCH(QString, name);
        QFETCH(QString, publisher);
        const Target target = smallFile();
        LibraryFile *file = makeFile(target, name);
        if (!publisher.isEmpty()) {
            m_item->setPublisher(publisher);
            m_item->setTitle(publisher);
        }

        QVERIFY(settles(file));
        QCOMPARE(file->status(), LibraryFile::Downloaded);
        // The one file written is the book, inside the library.
        const QString written = QDir(m_root->path()).relativeFilePath(file->downloadPath());
        QVERIFY2(written.startsWith(QLatin1String("library/")) && !written.contains(QLatin1String("../")),
                 qPrintable(written));
        QCOMPARE(filesBelow(m_root->path()), QStringList{written});
        QCOMPARE(md5OfFile(file->downloadPath()), QString::fromLatin1(target.info.md5));
        // Names are placed into log lines literally, whatever markers they hold.
        QVERIFY(!g_log.filter(QStringLiteral("File downloading started. File: ") + name).isEmpty());
    }

private:
    struct Target {
        QString productId;
        StorefrontSim::FileInfo info;
    };
    Target smallFile() const
    {
        const QString productId = m_sim->productIds().constFirst();
        return {productId, m_sim->files(productId).constFirst()};
    }

    Target largeFile(int number = 1) const
    {
        const QString name = QStringLiteral("generated-archive-%1.").arg(number);
        for (const QString &productId : m_sim->productIds()) {
            for (const StorefrontSim::FileInfo &info : m_sim->files(productId)) {
                // By name: a test may have published a version of another size.
                if (info.filename.startsWith(name))
                    return {productId, info};
            }
        }
        return {};
    }

    LibraryFile *makeFile(const Target &target, const std::optional<QString> &serverFileName = std::nullopt)
    {
        m_item->setProductId(target.productId);
        auto *file = new LibraryFile(m_item.get(), m_services->fileActions());
        file->setServerFileName(serverFileName.value_or(target.info.filename));
        file->setBundleId(target.info.bundleId);
        file->setTotalSize(target.info.size);
        m_files.append(file);
        return file;
    }

    bool settles(LibraryFile *file)
    {
        m_services->downloadManager()->setFileStatus(file, LibraryFile::Queued);
        return QTest::qWaitFor([file] { return atRest(file); }, kTransferTimeoutMs);
    }

    // The Range header of every download request, empty for a whole-file request.
    QList<QByteArray> rangesAsked() const
    {
        QList<QByteArray> ranges;
        for (const StorefrontSim::LoggedRequest &request : m_sim->requestLog()) {
            if (!request.path().startsWith(QLatin1String("/downloads/")))
                continue;
            // The network stack resends a request whose reused connection the server had just
            // closed; the downloader's own repeats are counted by their log lines.
            const QByteArray range = request.header("Range");
            if (!range.isEmpty() && !ranges.isEmpty() && ranges.constLast() == range)
                continue;
            ranges.append(range);
        }
        return ranges;
    }

    int downloadRequests() const { return m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/downloads/")); }

    QTemporaryDir m_home;
    std::unique_ptr<StorefrontSim> m_sim;
    std::unique_ptr<TestServices> m_services;
    std::unique_ptr<QTemporaryDir> m_root;
    QString m_libraryDir;
    std::unique_ptr<LibraryItem> m_item;
    QList<LibraryFile *> m_files;
};

QTEST_GUILESS_MAIN(tst_Downloader)
#include "tst_downloader.moc"
