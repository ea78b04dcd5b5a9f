// The saved forms of one item and of one file: the first byte picks which. A saved form
// read back and saved again gives the same form, and no download path leaves its folder.

#include "fuzzsupport.h"

#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/itemfilesmodel.h"
#include "library/libraryitem.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    using FuzzSupport::check;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data + 1), int(size - 1)));
    if (!document.isObject())
        return 0;
    const QString folder = FuzzSupport::scratchDir() + QStringLiteral("/books");

    if (data[0] & 1) {
        IdleFileActions idle;
        LibraryItem item(idle);
        item.fromJson(document.object());
        check(item.titleBadge() >= LibraryItemBadge::None && item.titleBadge() <= LibraryItemBadge::Update, "badge in range");
        check(item.filesModel()->totalSize() >= 0 && item.filesModel()->remainingBytes() >= 0, "byte sums not negative");
        const QJsonValue saved = item.toJson();
        LibraryItem again(idle);
        again.fromJson(saved);
        check(again.toJson() == saved, "an item's saved form is stable");
        for (LibraryFile *file : item.filesModel()->files()) {
            file->setLocalDir(folder);
            check(FuzzSupport::inside(file->downloadPath(), folder), "download path inside its folder");
        }
        return 0;
    }

    IdleFileActions idle;
    LibraryItem owner(idle);
    owner.setTitle(QStringLiteral("Book"));
    LibraryFile file(&owner, idle);
    file.fromJson(document.object());
    check(file.downloadProgress() >= 0.0 && file.downloadProgress() <= 1.0, "progress in range");
    check(file.totalSize() >= 0 && file.downloadedSize() >= 0 && file.dlSize() >= 0, "sizes not negative");
    const QJsonValue saved = file.toJson();
    LibraryFile again(&owner, idle);
    again.fromJson(saved);
    check(again.toJson() == saved, "a file's saved form is stable");
    file.setLocalDir(folder);
    check(FuzzSupport::inside(file.downloadPath(), folder), "download path inside its folder");
    return 0;
}
