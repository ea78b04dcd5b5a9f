// Times the folder scanner. Each mode prints one line of "key=value" figures for the run script:
//   make-hash-set DIR     writes 300 files of 2 GiB in all (4 KiB to 200 MiB)
//   hash DIR SUMS         scans DIR for a library whose checksums are md5sum's lines in SUMS
//   library DIR           20,000 products of the saved library, loaded, with their files in DIR:
//                         a first scan that matches every file, then a rescan with the times as
//                         the saved library keeps them; the UI thread's stalls cover the set-up
//                         and applying
//   cancel DIR            cancels a scan while the one large file in DIR is being hashed

#include "../common/benchcatalog.h"

#include "downloads/folderscanner.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "downloads/idlefileactions.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"
#include "library/librarysortfiltermodel.h"
#include "library/onlinelibrary.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The files of a benchmark run no transfers.
IdleFileActions g_idle;

const qint64 kMiB = 1024 * 1024;
const int kHashSetFiles = 300;
const qint64 kHashSetBytes = 2048 * kMiB;
const int kProducts = 20000;
const int kProbeIntervalMs = 1;

// The longest time the event loop went without running a 1 ms timer, beyond its interval, in
// wall time and in this thread's CPU time: on a shared machine the wall figure also holds the
// time the neighbours had the core, the CPU figure only this thread's own work.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kProbeIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    }
    void start()
    {
        m_maxWallMs = 0;
        m_maxCpuMs = 0;
        m_clock.start();
        m_lastWallMs = 0;
        m_lastCpuMs = BenchCatalog::threadMs();
        m_timer.start();
    }
    void stop()
    {
        // The gap up to now counts too: the scan may end inside one.
        sample();
        m_timer.stop();
    }
    double maxWallMs() const { return m_maxWallMs; }
    double maxCpuMs() const { return m_maxCpuMs; }

private:
    void sample()
    {
        const double wall = m_clock.nsecsElapsed() / 1e6;
        const double cpu = BenchCatalog::threadMs();
        m_maxWallMs = qMax(m_maxWallMs, wall - m_lastWallMs - kProbeIntervalMs);
        m_maxCpuMs = qMax(m_maxCpuMs, cpu - m_lastCpuMs);
        m_lastWallMs = wall;
        m_lastCpuMs = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_lastWallMs = 0;
    double m_lastCpuMs = 0;
    double m_maxWallMs = 0;
    double m_maxCpuMs = 0;
};

struct Library {
    std::vector<std::unique_ptr<LibraryItem>> items;

    FolderScannerTaskData taskData() const
    {
        FolderScannerTaskData data;
        for (const auto &item : items)
            item->collectFileHashes(data);
        return data;
    }

    void addProduct(int id, const QString &fileName, const QString &checksum, const QString &localDir)
    {
        items.push_back(std::make_unique<LibraryItem>(g_idle));
        LibraryItem *item = items.back().get();
        item->setPublisher(QStringLiteral("Publisher %1").arg(id % 300));
        item->setTitle(QStringLiteral("Title %1").arg(id));
        item->filesModel()->mergeServiceFiles(QJsonArray{QJsonObject{
            {QStringLiteral("filename"), fileName},
            {QStringLiteral("last_modified"), QStringLiteral("2020-11-10T10:00:00")},
            {QStringLiteral("raw_filesize_bytes"), 1000},
            {QStringLiteral("bundle_id"), 0},
            {QStringLiteral("checksums"), QJsonArray{QJsonObject{{QStringLiteral("checksum"), checksum},
                                                                {QStringLiteral("checksum_date"), QStringLiteral("2020-11-10 10:00:00")}}}}}});
        if (!localDir.isEmpty()) {
            for (LibraryFile *file : item->filesModel()->files())
                file->setLocalDir(localDir);
        }
    }

    int count(LibraryFile::Status status) const
    {
        int n = 0;
        for (const auto &item : items) {
            for (LibraryFile *file : item->filesModel()->files())
                n += file->status() == status ? 1 : 0;
        }
        return n;
    }
};

struct ScanResult {
    double seconds = 0.0;
    qint64 hashedBytes = 0;
    // The longest stall of the event loop while the scan is set up (from the call that starts
    // it to the worker's start), and from then until everything it found has been applied.
    double setupStallMs = 0;
    double setupStallCpuMs = 0;
    double applyStallMs = 0;
    double applyStallCpuMs = 0;
};

// Starts the scan from inside the event loop, as the controller does, and runs until everything
// the scan found has been applied.
ScanResult runScan(FolderScanner &scanner, const std::function<void()> &start)
{
    ScanResult result;
    StallProbe probe;
    QElapsedTimer clock;
    bool setUp = false;
    const auto endSetup = [&] {
        if (setUp)
            return;
        setUp = true;
        probe.stop();
        result.setupStallMs = probe.maxWallMs();
        result.setupStallCpuMs = probe.maxCpuMs();
        probe.start();
    };
    QMetaObject::Connection started = QObject::connect(&scanner, &FolderScanner::scanningChanged, [&] {
        if (scanner.scanning())
            endSetup();
    });
    QMetaObject::Connection done = QObject::connect(&scanner, &FolderScanner::scanFinished, [&] {
        result.seconds = clock.nsecsElapsed() / 1e9;
        endSetup();
        probe.stop();
        result.applyStallMs = probe.maxWallMs();
        result.applyStallCpuMs = probe.maxCpuMs();
        result.hashedBytes = scanner.hashedBytes();
        QCoreApplication::exit(0);
    });
    probe.start();
    QTimer::singleShot(20, [&] {
        clock.start();
        start();
    });
    QCoreApplication::exec();
    QObject::disconnect(started);
    QObject::disconnect(done);
    return result;
}

// Data that neither compresses nor repeats, written fast.
bool writeNoise(const QString &path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(int(qMin<qint64>(size, 4 * kMiB)), Qt::Uninitialized);
    quint64 state = seed * 0x9E3779B97F4A7C15ull + 1;
    while (size > 0) {
        auto *words = reinterpret_cast<quint64 *>(block.data());
        for (int i = 0; i < block.size() / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        const qint64 n = qMin<qint64>(size, block.size());
        if (file.write(block.constData(), n) != n)
            return false;
        size -= n;
    }
    return true;
}

int makeHashSet(const QString &dir)
{
    QDir().mkpath(dir);
    // Five of 200 MiB, twenty of 25 MiB, the rest spread log-uniformly from 4 KiB and
    // scaled to fill the 2 GiB.
    std::vector<qint64> sizes;
    for (int i = 0; i < 5; ++i)
        sizes.push_back(200 * kMiB);
    for (int i = 0; i < 20; ++i)
        sizes.push_back(25 * kMiB);
    const int small = kHashSetFiles - int(sizes.size());
    std::vector<double> weights;
    double weightSum = 0;
    for (int i = 0; i < small; ++i) {
        weights.push_back(std::pow(2.0, 11.0 * i / (small - 1)));
        weightSum += weights.back();
    }
    const qint64 smallBytes = kHashSetBytes - 5 * 200 * kMiB - 20 * 25 * kMiB;
    qint64 left = smallBytes;
    for (int i = 0; i < small; ++i) {
        const qint64 size = i == small - 1 ? left : qMax<qint64>(4096, qint64(weights[i] / weightSum * smallBytes));
        sizes.push_back(size);
        left -= size;
    }
    for (int i = 0; i < int(sizes.size()); ++i) {
        const QString sub = dir + QStringLiteral("/set %1").arg(i % 7);
        QDir().mkpath(sub);
        if (!writeNoise(sub + QStringLiteral("/book %1.pdf").arg(i), sizes[i], quint64(i + 1))) {
            std::fprintf(stderr, "cannot write into %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}

int hashSet(const QString &dir, const QString &sumsPath)
{
    QFile sums(sumsPath);
    if (!sums.open(QIODevice::ReadOnly))
        return 1;
    Library library;
    int id = 0;
    for (const QByteArray &line : sums.readAll().split('\n')) {
        if (line.size() > 34)
            library.addProduct(id++, QFileInfo(QString::fromUtf8(line.mid(34))).fileName(), QString::fromLatin1(line.left(32)), QString());
    }
    FolderScanner scanner;
    const ScanResult result = runScan(scanner, [&] { scanner.startScanning(library.taskData(), dir, true); });
    std::printf("seconds=%.3f hashed=%lld max_stall_ms=%.1f matched=%d of=%d\n", result.seconds, result.hashedBytes,
                qMax(result.setupStallMs, result.applyStallMs), library.count(LibraryFile::Downloaded), id);
    return library.count(LibraryFile::Downloaded) == id ? 0 : 1;
}

QByteArray bookContent(int id)
{
    return QByteArray("book ") + QByteArray::number(id) + QByteArray(1000 + id % 3000, char('a' + id % 26));
}

// The customer library as the service pages it, one file a product, whose checksum is that of
// bookContent().
QJsonArray libraryPage(int first, int count)
{
    QJsonArray products;
    for (int id = first; id < first + count; ++id) {
        const QString checksum = QString::fromLatin1(QCryptographicHash::hash(bookContent(id), QCryptographicHash::Md5).toHex());
        products.append(QJsonObject{
            {QStringLiteral("products_id"), QString::number(100000 + id)},
            {QStringLiteral("products_name"), QStringLiteral("Title %1").arg(id)},
            {QStringLiteral("publishers_name"), QStringLiteral("Publisher %1").arg(id % 300)},
            {QStringLiteral("date_purchased"), QStringLiteral("2020-0%1-1%2 12:00:00").arg(1 + id % 9).arg(id % 10)},
            {QStringLiteral("files"),
             QJsonArray{QJsonObject{
                 {QStringLiteral("filename"), QStringLiteral("Book %1.pdf").arg(id)},
                 {QStringLiteral("last_modified"), QStringLiteral("2020-11-10T10:00:00")},
                 {QStringLiteral("raw_filesize_bytes"), bookContent(id).size()},
                 {QStringLiteral("bundle_id"), 0},
                 {QStringLiteral("checksums"),
                  QJsonArray{QJsonObject{{QStringLiteral("checksum"), checksum},
                                         {QStringLiteral("checksum_date"), QStringLiteral("2020-11-10 10:00:00")}}}}}}}});
    }
    return products;
}

int countFiles(const OnlineLibrary &library, LibraryFile::Status status)
{
    int n = 0;
    for (int row = 0; row < library.rowCount(); ++row) {
        for (LibraryFile *file : library.itemAt(row)->filesModel()->files())
            n += file->status() == status ? 1 : 0;
    }
    return n;
}

int libraryScan(const QString &dir)
{
    // The scan's own stalls only: the library's delayed save is measured elsewhere.
    OnlineLibrary::setSaveDelay(24 * 3600 * 1000);
    {
        OnlineLibrary refreshed(g_idle);
        const int pageSize = 500;
        for (int first = 0; first < kProducts; first += pageSize)
            refreshed.onTitlesRefreshResult(first / pageSize + 1, libraryPage(first, pageSize));
        for (int row = 0; row < refreshed.rowCount(); ++row) {
            const int id = refreshed.itemAt(row)->productId().toInt() - 100000;
            for (LibraryFile *file : refreshed.itemAt(row)->filesModel()->files()) {
                file->setLocalDir(dir);
                const QString path = file->downloadPath();
                QDir().mkpath(QFileInfo(path).absolutePath());
                QFile out(path);
                const QByteArray content = bookContent(id);
                if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size()) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                    return 1;
                }
            }
        }
        refreshed.save();
    }
    // As a start loads it: files not yet on record wait in saved form.
    OnlineLibrary library(g_idle);
    library.load();
    // With the sorted and filtered view the window shows, so that changes reach it as they would.
    LibrarySortFilterModel view;
    view.setSourceModel(&library);

    // As the controller does it.
    FolderScanner scanner;
    const auto start = [&] { scanner.startScanning(library.fileHashCollector(), dir, true); };
    const ScanResult first = runScan(scanner, start);
    const int matched = countFiles(library, LibraryFile::Downloaded);
    // As the saved library keeps them: whole seconds.
    for (int row = 0; row < library.rowCount(); ++row) {
        for (LibraryFile *file : library.itemAt(row)->filesModel()->files())
            file->setLocalLastModified(QDateTime::fromString(file->localLastModified().toString(Qt::ISODate), Qt::ISODate));
    }
    const ScanResult rescan = runScan(scanner, start);
    std::printf("match_seconds=%.3f setup_stall_ms=%.1f setup_stall_cpu_ms=%.1f apply_stall_ms=%.1f "
                "apply_stall_cpu_ms=%.1f matched=%d rescan_seconds=%.3f rescan_hashed=%lld rescan_stall_ms=%.1f "
                "rescan_stall_cpu_ms=%.1f\n",
                first.seconds, first.setupStallMs, first.setupStallCpuMs, first.applyStallMs, first.applyStallCpuMs,
                matched, rescan.seconds, rescan.hashedBytes, qMax(rescan.setupStallMs, rescan.applyStallMs),
                qMax(rescan.setupStallCpuMs, rescan.applyStallCpuMs));
    return matched == kProducts ? 0 : 1;
}

int cancelScan(const QString &dir)
{
    Library library;
    library.addProduct(0, QStringLiteral("large.bin"), QStringLiteral("0123456789abcdef0123456789abcdef"), QString());
    FolderScanner scanner;
    qint64 cancelMs = -1;
    qint64 backMs = -1;
    qint64 hashedAtCancel = 0;
    QElapsedTimer clock;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // A quarter of the file: well inside the hashing.
        if (scanner.hashedBytes() < 512 * kMiB)
            return;
        poll.stop();
        hashedAtCancel = scanner.hashedBytes();
        clock.start();
        scanner.cancelScanning();
        cancelMs = clock.elapsed();
        QTimer::singleShot(0, [&] {
            backMs = clock.elapsed();
            QCoreApplication::exit(0);
        });
    });
    QTimer::singleShot(0, [&] {
        scanner.startScanning(library.taskData(), dir, true);
        poll.start();
    });
    QCoreApplication::exec();
    std::printf("cancel_ms=%lld back_in_loop_ms=%lld hashed_at_cancel=%lld hashed=%lld\n", cancelMs, backMs,
                hashedAtCancel, scanner.hashedBytes());
    return backMs >= 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("make-hash-set") && args.size() == 3)
        return makeHashSet(args.at(2));
    if (mode == QLatin1String("hash") && args.size() == 4)
        return hashSet(args.at(2), args.at(3));
    if (mode == QLatin1String("library") && args.size() == 3)
        return libraryScan(args.at(2));
    if (mode == QLatin1String("cancel") && args.size() == 3)
        return cancelScan(args.at(2));
    std::fprintf(stderr, "usage: bench_scan make-hash-set DIR | hash DIR SUMS | library DIR | cancel DIR\n");
    return 2;
}
