// One refresh page as the service sends it, through the reply envelope into the library.
// Items follow the distinct product ids; no download path leaves its folder; the saved
// library reloads with the same rows.

#include "fuzzsupport.h"

#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "downloads/idlefileactions.h"
#include "library/libraryitem.h"
#include "library/onlinelibrary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using FuzzSupport::check;
    FuzzSupport::resetStore();
    const QJsonDocument reply = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const QJsonObject envelope = reply.object();
    if (envelope.value(QLatin1String("status")).toString() != QLatin1String("success"))
        return 0;
    const QJsonArray page = envelope.value(QLatin1String("message")).toArray();

    QSet<QString> ids;
    for (const QJsonValue &product : page) {
        const QString id = product.toObject().value(QLatin1String("products_id")).toString();
        if (!id.isEmpty())
            ids.insert(id);
    }

    IdleFileActions idle;
    OnlineLibrary library(idle);
    library.setBinaryStore(size % 2);
    library.onTitlesRefreshResult(1, page);
    library.onTitlesRefreshResult(2, page);
    library.onTitlesRefreshFinished();
    check(library.rowCount() == ids.size(), "one item per distinct product id");

    const QString folder = FuzzSupport::scratchDir() + QStringLiteral("/books");
    for (int row = 0; row < library.rowCount(); ++row) {
        check(library.remainingBytes() >= 0, "remaining bytes never negative");
        for (LibraryFile *file : library.itemAt(row)->filesModel()->files()) {
            file->setLocalDir(folder);
            check(FuzzSupport::inside(file->downloadPath(), folder), "download path inside its folder");
        }
    }

    library.save();
    OnlineLibrary reloaded(idle);
    reloaded.setBinaryStore(size % 2);
    reloaded.load();
    if (reloaded.rowCount() == 0 && library.rowCount() > 0)
        return 0;  // too large for the binary form
    check(reloaded.damagedStorePaths().isEmpty(), "a saved page reloads");
    check(reloaded.rowCount() == library.rowCount(), "same rows after a save");
    for (int row = 0; row < reloaded.rowCount(); ++row)
        check(reloaded.itemAt(row)->productId() == library.itemAt(row)->productId(), "same products after a save");
    return 0;
}
