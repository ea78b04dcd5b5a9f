#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// One published version of a file. Versions are immutable and shared, so a download in flight
// keeps serving the bytes it started with while a newer version is published.
struct SimFileVersion
{
    int number = 1;
    QDateTime lastModified;   // UTC
    QByteArray md5;           // lower-case hex
    qint64 size = 0;
    QByteArray bytes;         // the whole file, unless generated
    bool generated = false;
    std::uint64_t generatorSeed = 0;
};

struct SimFile
{
    QString filename;
    int bundleId = 0;
    QString label;
    std::vector<std::shared_ptr<const SimFileVersion>> versions;   // oldest first

    const std::shared_ptr<const SimFileVersion> &current() const { return versions.back(); }
};

struct SimFilter
{
    QString name;
    QString id;
    QString parentId;
};

struct SimProduct
{
    QString id;
    QString title;
    QString publisher;
    QString datePurchased;   // yyyy-MM-ddThh:mm:ss
    std::vector<SimFilter> filters;
    std::vector<SimFile> files;
};

// The deterministic catalog of the demo customer.
class SimCatalog
{
public:
    static SimCatalog generate(std::uint64_t seed, int products, int largeFiles, qint64 largeFileMib);

    std::vector<SimProduct> products;

    SimProduct *findProduct(const QString &id);
    SimFile *findFile(const QString &productId, int bundleId);

    // Adds a product with fileCount small PDFs; returns its id.
    QString addProduct(const QString &title, const QString &publisher, int fileCount);
    // Publishes new bytes for a file, dated one day after its current version. Null when the
    // file does not exist.
    std::shared_ptr<const SimFileVersion> publishNewVersion(const QString &productId, int bundleId, qint64 size = -1);

private:
    SimFile makePdfFile(const SimProduct &product, const QString &label, const QDateTime &lastModified);
    static std::shared_ptr<const SimFileVersion> makePdfVersion(const SimProduct &product, const SimFile &file,
                                                                int number, const QDateTime &lastModified);

    std::uint64_t m_seed = 0;
    int m_nextProductId = 100001;
    int m_nextBundleId = 500001;
};
