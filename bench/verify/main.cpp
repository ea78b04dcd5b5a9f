// Times the library check. Each mode prints one line of "key=value" figures for the run scripts:
//   make-set DIR MIB      writes 300 files of MIB MiB in all
//   verify DIR SUMS       checks every file md5sum listed in SUMS (run from DIR), reading all
//   reverify DIR COUNT    makes COUNT small files, checks them once, then times a second check
#include "downloads/libraryverifier.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <random>

namespace {

constexpr int kSetFiles = 300;
constexpr qint64 kMiB = 1024 * 1024;
constexpr int kProbeIntervalMs = 1;

struct Outcome {
    double seconds = 0;
    qint64 maxStallMs = 0;
    LibraryVerifier::Summary summary;
    qint64 bytesToRead = 0;
};

// Runs one check in the event loop, with a probe timer that measures the loop's longest stall.
Outcome check(const QString &cachePath, const QVector<LibraryVerifier::Entry> &entries, bool full)
{
    Outcome outcome;
    LibraryVerifier verifier(cachePath);
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kProbeIntervalMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        outcome.maxStallMs = qMax(outcome.maxStallMs, probeClock.restart() - kProbeIntervalMs);
    });
    QObject::connect(&verifier, &LibraryVerifier::progressed,
                     [&](const LibraryVerifier::Progress &progress) { outcome.bytesToRead = progress.bytes; });
    QElapsedTimer clock;
    QObject::connect(&verifier, &LibraryVerifier::finished, [&](const QVector<LibraryVerifier::Entry> &result) {
        outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
        outcome.summary = LibraryVerifier::summarize(result);
        QCoreApplication::exit(0);
    });
    clock.start();
    probeClock.start();
    probe.start();
    verifier.start(entries, full);
    QCoreApplication::exec();
    return outcome;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

int makeSet(const QString &dir, qint64 mib)
{
    QDir().mkpath(dir);
    std::mt19937_64 random(7);
    const qint64 fileSize = mib * kMiB / kSetFiles;
    QByteArray block(int(qMin<qint64>(fileSize, 4 * kMiB)), Qt::Uninitialized);
    for (int i = 0; i < kSetFiles; ++i) {
        QFile file(QStringLiteral("%1/file-%2.bin").arg(dir).arg(i, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (qint64 written = 0; written < fileSize;) {
            auto *words = reinterpret_cast<quint64 *>(block.data());
            for (int w = 0; w < block.size() / 8; ++w)
                words[w] = random();
            const qint64 n = qMin<qint64>(block.size(), fileSize - written);
            if (file.write(block.constData(), n) != n)
                return 1;
            written += n;
        }
    }
    return 0;
}

int verifySums(const QString &dir, const QString &sumsPath)
{
    QFile sums(sumsPath);
    if (!sums.open(QIODevice::ReadOnly))
        return 1;
    QVector<LibraryVerifier::Entry> entries;
    for (const QByteArray &line : sums.readAll().split('\n')) {
        if (line.size() < 35)
            continue;
        LibraryVerifier::Entry entry;
        entry.hashes.insert(QString::fromLatin1(line.left(32)), QDateTime());
        entry.path = QDir(dir).filePath(QString::fromUtf8(line.mid(34)));
        entries.append(entry);
    }
    const Outcome outcome = check(dir + QStringLiteral("/../verify-cache.json"), entries, true);
    std::printf("seconds=%.3f good=%d files=%d max_stall_ms=%lld\n", outcome.seconds, outcome.summary.good,
                int(entries.size()), outcome.maxStallMs);
    return outcome.summary.good == entries.size() ? 0 : 1;
}

int reverify(const QString &dir, int count)
{
    QDir().mkpath(dir);
    QVector<LibraryVerifier::Entry> entries;
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes = QByteArray::number(i).repeated(64);
        LibraryVerifier::Entry entry;
        entry.path = QStringLiteral("%1/%2.pdf").arg(dir).arg(i);
        entry.hashes.insert(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()),
                            QDateTime());
        if (!writeFile(entry.path, bytes))
            return 1;
        entries.append(entry);
    }
    const QString cache = dir + QStringLiteral("/../reverify-cache.json");
    check(cache, entries, false);
    const Outcome outcome = check(cache, entries, false);
    std::printf("seconds=%.3f hashed=%d cached=%d bytes_read=%lld max_stall_ms=%lld\n", outcome.seconds,
                outcome.summary.hashed, outcome.summary.cached, outcome.bytesToRead, outcome.maxStallMs);
    return outcome.summary.good == count ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("make-set") && args.size() == 3)
        return makeSet(args.at(1), args.at(2).toLongLong());
    if (mode == QLatin1String("verify") && args.size() == 3)
        return verifySums(args.at(1), args.at(2));
    if (mode == QLatin1String("reverify") && args.size() == 3)
        return reverify(args.at(1), args.at(2).toInt());
    std::fprintf(stderr, "usage: bench-verify make-set DIR MIB | verify DIR SUMS | reverify DIR COUNT\n");
    return 2;
}
