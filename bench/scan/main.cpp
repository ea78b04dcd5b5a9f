// Times the folder scanner. Each mode prints one line of "key=value" figures for the run script:
//   make-hash-set DIR     writes 300 files of 2 GiB in all (4 KiB to 200 MiB)
//   hash DIR SUMS         scans DIR for a library whose checksums are md5sum's lines in SUMS
//   library DIR           20,000 products with their files in DIR: a first scan that matches
//                         every file, then a rescan with the times as the saved library keeps them
//   cancel DIR            cancels a scan while the one large file in DIR is being hashed

#include "downloads/folderscanner.h"
#include "downloads/folderscannertaskdata.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

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

const qint64 kMiB = 1024 * 1024;
const int kHashSetFiles = 300;
const qint64 kHashSetBytes = 2048 * kMiB;
const int kProducts = 20000;
const int kProbeIntervalMs = 1;

// The longest time the event loop went without running a 1 ms timer, beyond its interval.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kProbeIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_maxStallMs = qMax(m_maxStallMs, m_clock.restart() - kProbeIntervalMs);
        });
    }
    void start()
    {
        m_maxStallMs = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return m_maxStallMs;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_maxStallMs = 0;
};

struct Library {
    std::vector<std::unique_ptr<LibraryItem>> items;
    // Main-thread time of the last set-up: the library's tables, then the scanner's copy.
    mutable qint64 collectMs = 0;
    mutable qint64 snapshotMs = 0;

    FolderScannerTaskData taskData() const
    {
        QMultiHash<QString, LibraryFile *> byHash;
        QMap<QString, LibraryFile *> byPath;
        QElapsedTimer clock;
        clock.start();
        for (const auto &item : items)
            item->filesModel()->collectFileHashes(byHash, byPath);
        collectMs = clock.restart();
        FolderScannerTaskData data(byHash, byPath);
        snapshotMs = clock.elapsed();
        return data;
    }

    void addProduct(int id, const QString &fileName, const QString &checksum, const QString &localDir)
    {
        items.push_back(std::make_unique<LibraryItem>());
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
    qint64 maxStallMs = 0;
    qint64 hashedBytes = 0;
    // Main-thread time to read the library and start the scan.
    qint64 setupMs = 0;
};

// Starts the scan from inside the event loop, as the controller does, and runs until it ends.
ScanResult runScan(FolderScanner &scanner, const std::function<FolderScannerTaskData()> &makeData, const QString &folder)
{
    ScanResult result;
    StallProbe probe;
    QElapsedTimer clock;
    QMetaObject::Connection done = QObject::connect(&scanner, &FolderScanner::scanFinished, [&] {
        result.seconds = clock.nsecsElapsed() / 1e9;
        result.maxStallMs = probe.stop();
        result.hashedBytes = scanner.hashedBytes();
        QCoreApplication::exit(0);
    });
    probe.start();
    QTimer::singleShot(20, [&] {
        clock.start();
        scanner.startScanning(makeData(), folder, true);
        result.setupMs = clock.elapsed();
        // The set-up is reported on its own; the stall is the scan's.
        probe.start();
    });
    QCoreApplication::exec();
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
    const ScanResult result = runScan(scanner, [&] { return library.taskData(); }, dir);
    std::printf("seconds=%.3f hashed=%lld max_stall_ms=%lld matched=%d of=%d\n", result.seconds, result.hashedBytes,
                result.maxStallMs, library.count(LibraryFile::Downloaded), id);
    return library.count(LibraryFile::Downloaded) == id ? 0 : 1;
}

int libraryScan(const QString &dir)
{
    Library library;
    for (int id = 0; id < kProducts; ++id) {
        const QByteArray content = QByteArray("book ") + QByteArray::number(id) + QByteArray(1000 + id % 3000, char('a' + id % 26));
        const QString name = QStringLiteral("Book %1.pdf").arg(id);
        library.addProduct(id, name, QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()), dir);
        LibraryFile *file = library.items.back()->filesModel()->files().constFirst();
        const QString path = file->downloadPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    FolderScanner scanner;
    const ScanResult first = runScan(scanner, [&] { return library.taskData(); }, dir);
    const qint64 collectMs = library.collectMs;
    const qint64 snapshotMs = library.snapshotMs;
    const int matched = library.count(LibraryFile::Downloaded);
    // As the saved library keeps them: whole seconds.
    for (const auto &item : library.items) {
        for (LibraryFile *file : item->filesModel()->files())
            file->setLocalLastModified(QDateTime::fromString(file->localLastModified().toString(Qt::ISODate), Qt::ISODate));
    }
    const ScanResult rescan = runScan(scanner, [&] { return library.taskData(); }, dir);
    std::printf("match_seconds=%.3f match_stall_ms=%lld setup_ms=%lld collect_ms=%lld snapshot_ms=%lld matched=%d "
                "rescan_seconds=%.3f rescan_hashed=%lld rescan_stall_ms=%lld\n",
                first.seconds, first.maxStallMs, first.setupMs, collectMs, snapshotMs, matched, rescan.seconds,
                rescan.hashedBytes, rescan.maxStallMs);
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
