#include "simcatalog.h"

#include "simcontent.h"

#include <QSet>

namespace {

// A small seeded generator: std distributions differ between standard libraries, this does not.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() { return simcontent::splitmix64(m_state++ * 0x2545F4914F6CDD1DULL + 7); }
    int below(int n) { return n <= 0 ? 0 : int(next() % std::uint64_t(n)); }
    template<typename T, std::size_t N> const T &pick(const T (&list)[N]) { return list[below(int(N))]; }

private:
    std::uint64_t m_state;
};

const char *const kAdjectives[] = {"Sunken", "Ashen", "Crimson", "Hollow", "Silent", "Gilded", "Broken",
                                   "Emerald", "Forgotten", "Iron", "Whispering", "Drowned", "Burning", "Pale"};
const char *const kNouns[] = {"Vault", "Crown", "Harbour", "Spire", "Marches", "Lantern", "Citadel", "Archive",
                              "Bestiary", "Road", "Menagerie", "Reliquary", "Observatory", "Barrow"};
// Names with letters beyond ASCII, written as UTF-8.
const char *const kPlaces[] = {"Ærenfjord", "Łódź Marches", "Château Noir", "Düsterwald", "São Brás",
                               "Ísafjörður", "Żelazna Góra", "Çatalkaya", "Miðgarðr", "Ångström Reach"};
const char *const kPublishers[] = {"Quillborne Games", "Hollow Lantern Press", "Ember & Ash Publishing",
                                   "Studio Ýmir", "Nordlys Forlag.", "Crooked Stair Games ", "Meridian: Tabletop",
                                   "Why Not? Press", "Éditions Lumière", "Gray Heron Workshop"};
const char *const kLabels[] = {"Core Rules", "Maps", "Pregenerated Characters", "Handouts", "Errata",
                               "Printer Friendly", "Cover Art", "Quick Start"};

struct RuleSystem
{
    const char *name;
    const char *id;
};
const RuleSystem kRuleSystems[] = {{"Ashen Realms", "3001"},      {"Cogwork d20", "3002"},
                                   {"Mythweaver", "3003"},        {"Stellar Drift", "3004"},
                                   {"Hollow Moons RPG", "3005"},  {"Système Étoile", "3006"}};
const RuleSystem kGenres[] = {{"Fantasy", "701"}, {"Science fiction", "702"}, {"Horror", "703"}};

QString u(const char *utf8) { return QString::fromUtf8(utf8); }

QString makeTitle(Rng &rng)
{
    const QString a = u(rng.pick(kAdjectives)), n = u(rng.pick(kNouns)), n2 = u(rng.pick(kNouns));
    switch (rng.below(7)) {
    case 0: return QStringLiteral("The %1 %2").arg(a, n);
    case 1: return QStringLiteral("%1: The %2 %3").arg(n, a, n2);
    case 2: return QStringLiteral("Who Guards the %1 %2?").arg(a, n);
    case 3: return QStringLiteral("%1 %2...").arg(a, n);
    case 4: return QStringLiteral("%1 %2 ").arg(a, n);
    case 5: return QStringLiteral("%1 of %2").arg(n, u(rng.pick(kPlaces)));
    default: return QStringLiteral("%1 %2: %3").arg(u(rng.pick(kPlaces)), a, n);
    }
}

QString slug(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            out += c;
        else if (!out.endsWith(QLatin1Char('_')))
            out += QLatin1Char('_');
    }
    while (out.endsWith(QLatin1Char('_')))
        out.chop(1);
    while (out.startsWith(QLatin1Char('_')))
        out.remove(0, 1);
    return out;
}

QString serviceDate(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")); }

} // namespace

std::shared_ptr<const SimFileVersion> SimCatalog::makePdfVersion(const SimProduct &product, const SimFile &file,
                                                                 int number, const QDateTime &lastModified)
{
    auto version = std::make_shared<SimFileVersion>();
    version->number = number;
    version->lastModified = lastModified;
    version->bytes = simcontent::makePdf({product.title, product.publisher, file.label,
                                          QStringLiteral("Revision %1, %2").arg(number).arg(serviceDate(lastModified))});
    version->size = version->bytes.size();
    version->md5 = simcontent::md5Hex(version->bytes);
    return version;
}

SimFile SimCatalog::makePdfFile(const SimProduct &product, const QString &label, const QDateTime &lastModified)
{
    SimFile file;
    file.bundleId = m_nextBundleId++;
    file.label = label;
    file.filename = slug(product.title) + QLatin1Char('_') + slug(label) + QStringLiteral(".pdf");
    file.versions.push_back(makePdfVersion(product, file, 1, lastModified));
    return file;
}

SimCatalog SimCatalog::generate(std::uint64_t seed, int products, int largeFiles, qint64 largeFileMib)
{
    SimCatalog catalog;
    catalog.m_seed = seed;
    Rng rng(seed);
    const QDateTime epoch(QDate(2015, 1, 1), QTime(9, 0), Qt::UTC);
    QSet<QString> titles;
    for (int i = 0; i < products; ++i) {
        SimProduct product;
        product.id = QString::number(catalog.m_nextProductId++);
        QString title = makeTitle(rng);
        for (int volume = 2; titles.contains(title); ++volume)
            title = QStringLiteral("Volume %1: %2").arg(volume).arg(makeTitle(rng));
        titles.insert(title);
        product.title = title;
        product.publisher = u(rng.pick(kPublishers));

        const QDateTime released = epoch.addSecs(qint64(rng.below(2000)) * 86400 + rng.below(86400));
        product.datePurchased = serviceDate(released.addSecs(qint64(rng.below(300)) * 86400 + rng.below(86400)));

        // Most products belong to a rule system; the entry is not always the first filter.
        const int shape = rng.below(8);
        const RuleSystem &genre = rng.pick(kGenres);
        const RuleSystem &system = rng.pick(kRuleSystems);
        if (shape == 0) {
            // no filters at all
        } else if (shape == 1) {
            product.filters.push_back({u(genre.name), u(genre.id), QStringLiteral("7")});
        } else if (shape % 2 == 0) {
            product.filters.push_back({u(system.name), u(system.id), QStringLiteral("30")});
            product.filters.push_back({u(genre.name), u(genre.id), QStringLiteral("7")});
        } else {
            product.filters.push_back({u(genre.name), u(genre.id), QStringLiteral("7")});
            product.filters.push_back({u(system.name), u(system.id), QStringLiteral("30")});
        }

        const int fileCount = 1 + rng.below(4);
        QSet<QString> labels;
        for (int f = 0; f < fileCount; ++f) {
            QString label = u(rng.pick(kLabels));
            if (labels.contains(label))
                label += QStringLiteral(" %1").arg(f + 1);
            labels.insert(label);
            product.files.push_back(catalog.makePdfFile(product, label, released.addSecs(qint64(f) * 3600)));
        }
        catalog.products.push_back(std::move(product));
    }

    for (int i = 0; i < largeFiles; ++i) {
        SimProduct product;
        product.id = QString::number(catalog.m_nextProductId++);
        product.title = QStringLiteral("Generated Archive %1 (%2 MiB)").arg(i + 1).arg(largeFileMib);
        product.publisher = QStringLiteral("Tolvane Bench Press");
        product.datePurchased = serviceDate(epoch.addDays(i));
        SimFile file;
        file.bundleId = catalog.m_nextBundleId++;
        file.label = QStringLiteral("Archive");
        file.filename = QStringLiteral("generated-archive-%1.bin").arg(i + 1);
        auto version = std::make_shared<SimFileVersion>();
        version->lastModified = epoch.addDays(i);
        version->generated = true;
        version->generatorSeed = simcontent::splitmix64(seed ^ std::uint64_t(file.bundleId));
        version->size = largeFileMib * 1024 * 1024;
        version->md5 = simcontent::generatedMd5(version->generatorSeed, std::uint64_t(version->size));
        file.versions.push_back(version);
        product.files.push_back(std::move(file));
        catalog.products.push_back(std::move(product));
    }
    return catalog;
}

SimProduct *SimCatalog::findProduct(const QString &id)
{
    for (SimProduct &product : products) {
        if (product.id == id)
            return &product;
    }
    return nullptr;
}

SimFile *SimCatalog::findFile(const QString &productId, int bundleId)
{
    SimProduct *product = findProduct(productId);
    if (!product)
        return nullptr;
    for (SimFile &file : product->files) {
        if (file.bundleId == bundleId)
            return &file;
    }
    return nullptr;
}

QString SimCatalog::addProduct(const QString &title, const QString &publisher, int fileCount)
{
    SimProduct product;
    product.id = QString::number(m_nextProductId++);
    product.title = title;
    product.publisher = publisher;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    product.datePurchased = serviceDate(now);
    product.filters.push_back({u(kRuleSystems[0].name), u(kRuleSystems[0].id), QStringLiteral("30")});
    for (int f = 0; f < qMax(1, fileCount); ++f)
        product.files.push_back(makePdfFile(product, QStringLiteral("Part %1").arg(f + 1), now.addSecs(-3600)));
    products.push_back(std::move(product));
    return products.back().id;
}

std::shared_ptr<const SimFileVersion> SimCatalog::publishNewVersion(const QString &productId, int bundleId, qint64 size)
{
    SimProduct *product = findProduct(productId);
    SimFile *file = findFile(productId, bundleId);
    if (!product || !file)
        return nullptr;
    const SimFileVersion &previous = *file->current();
    const int number = previous.number + 1;
    const QDateTime lastModified = previous.lastModified.addDays(1);
    if (previous.generated) {
        auto version = std::make_shared<SimFileVersion>(previous);
        version->number = number;
        version->lastModified = lastModified;
        version->generatorSeed = simcontent::splitmix64(previous.generatorSeed + std::uint64_t(number));
        if (size >= 0)
            version->size = size;
        version->md5 = simcontent::generatedMd5(version->generatorSeed, std::uint64_t(version->size));
        file->versions.push_back(version);
    } else {
        file->versions.push_back(makePdfVersion(*product, *file, number, lastModified));
    }
    return file->current();
}
