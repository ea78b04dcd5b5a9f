// The saved library in both forms: the first byte picks the form, the rest is the store.
// A rejected store is kept aside byte for byte; an accepted one loads, saves and reloads
// with the same rows.

#include "fuzzsupport.h"

#include "downloads/idlefileactions.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QFile>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialise(argc, argv);
    return 0;
}

namespace {

QByteArray rows(const OnlineLibrary &library)
{
    QJsonArray array;
    for (int row = 0; row < library.rowCount(); ++row)
        array.append(library.itemAt(row)->toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    using FuzzSupport::check;
    FuzzSupport::resetStore();
    const bool binary = data[0] & 1;
    const QByteArray store(reinterpret_cast<const char *>(data + 1), int(size - 1));

    IdleFileActions idle;
    OnlineLibrary library(idle);
    library.setBinaryStore(binary);
    {
        QFile file(library.storePath());
        check(file.open(QIODevice::WriteOnly) && file.write(store) == store.size(), "store written");
    }
    library.load();

    const QStringList aside = library.damagedStorePaths();
    if (!aside.isEmpty()) {
        check(aside.size() == 1, "one store kept aside");
        check(!QFile::exists(library.storePath()), "rejected store moved away");
        check(library.rowCount() == 0, "rejected store gives an empty library");
        QFile kept(aside.constFirst());
        check(kept.open(QIODevice::ReadOnly) && kept.readAll() == store, "kept aside byte for byte");
        return 0;
    }
    check(QFile::exists(library.storePath()) || store.isEmpty(), "accepted store left in place");
    {
        QFile file(library.storePath());
        check(!file.open(QIODevice::ReadOnly) || file.readAll() == store, "load leaves the store unchanged");
    }

    const QByteArray first = rows(library);
    library.save();
    OnlineLibrary reloaded(idle);
    reloaded.setBinaryStore(binary);
    reloaded.load();
    if (!QFile::exists(library.storePath()) && reloaded.damagedStorePaths().isEmpty())
        return 0;  // too large for the binary form: not saved, the old store stays
    check(reloaded.damagedStorePaths().isEmpty(), "a saved library reloads");
    check(reloaded.rowCount() == library.rowCount(), "same row count after a save");
    check(rows(reloaded) == first, "same rows after a save");
    return 0;
}
