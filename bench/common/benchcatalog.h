#pragma once

// The customer library the benchmarks share: 20,000 products of three files each, as the
// service would page them, and the measures every benchmark reads.

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <ctime>

namespace BenchCatalog {

inline const int kPages = 40;
inline const int kPageSize = 500;
inline const int kFilesPerProduct = 3;

inline const char *const kWords[] = {"Dragon", "Keep", "Shadow", "River", "Iron", "Crown", "Forest", "Tomb", "Star",
                              "Ember", "Frost", "Giant", "Sea", "Tower", "Wyrm", "Codex", "Vault", "Storm"};
inline const int kWordCount = int(sizeof(kWords) / sizeof(kWords[0]));

inline QString words(quint32 seed, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        parts << QString::fromLatin1(kWords[(seed >> 16) % kWordCount]);
    }
    return parts.join(QLatin1Char(' '));
}

inline QJsonArray page(int number)
{
    QJsonArray products;
    for (int i = 0; i < kPageSize; ++i) {
        const int id = number * kPageSize + i;
        const QString idText = QString::number(100000 + id);
        QJsonArray files;
        for (int f = 0; f < kFilesPerProduct; ++f) {
            const QByteArray digest = QCryptographicHash::hash(QByteArray::number(id * 7 + f), QCryptographicHash::Md5).toHex();
            files.append(QJsonObject{
                {QStringLiteral("filename"), QString(words(quint32(id * 3 + f), 3) + QStringLiteral(" %1.pdf").arg(f))},
                {QStringLiteral("last_modified"), QStringLiteral("2020-11-%1T10:00:00").arg(f + 10)},
                {QStringLiteral("raw_filesize_bytes"), 1000000 + id * 13 + f},
                {QStringLiteral("bundle_id"), f},
                {QStringLiteral("checksums"), QJsonArray{QJsonObject{{QStringLiteral("checksum"), QString::fromLatin1(digest)},
                                                                    {QStringLiteral("checksum_date"), QStringLiteral("2020-11-10 10:00:00")}}}}});
        }
        products.append(QJsonObject{
            {QStringLiteral("products_id"), idText},
            {QStringLiteral("products_name"), words(quint32(id), 4)},
            {QStringLiteral("publishers_name"), QString(words(quint32(id % 300), 2) + QStringLiteral(" Press"))},
            {QStringLiteral("cover_url_fullsize"), QString(QStringLiteral("https://img.tolvane-store.example/covers/") + idText + QStringLiteral(".jpg"))},
            {QStringLiteral("products_thumbnail100"), QString(QStringLiteral("https://img.tolvane-store.example/thumbs/") + idText + QStringLiteral(".jpg"))},
            {QStringLiteral("date_purchased"), QStringLiteral("20%1-0%2-1%3 12:00:00").arg(10 + id % 11).arg(1 + id % 9).arg(id % 10)},
            {QStringLiteral("is_archived"), QStringLiteral("0")},
            {QStringLiteral("filters"), QJsonArray{QJsonObject{{QStringLiteral("parent_id"), QStringLiteral("30")},
                                                              {QStringLiteral("filters_name"), words(quint32(id % 40), 1)}}}},
            {QStringLiteral("files"), files}});
    }
    return products;
}

inline qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// CPU time of this thread: the machine the figures come from is shared, and wall time there
// measures the neighbours. The work measured is single-threaded.
inline double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace BenchCatalog
