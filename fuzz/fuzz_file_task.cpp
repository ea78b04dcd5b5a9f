// A file-task reply as the service could send it, through the reply envelope to the file's
// checksums. An entry without a digest never lets a file pass its check, a digest the file
// does not have never matches, and the checksums survive the saved form.

#include "fuzzsupport.h"

#include "api/remoteapi.h"
#include "downloads/idlefileactions.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

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
    const QJsonDocument reply = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const QJsonObject envelope = reply.object();
    if (envelope.value(QLatin1String("status")).toString() != QLatin1String("success"))
        return 0;
    const QJsonArray checksums = envelope.value(QLatin1String("message")).toObject()
                                     .value(QLatin1String("checksums")).toArray();
    QSet<QString> digests;
    for (const QJsonValue &entry : checksums)
        digests.insert(entry.toObject().value(QLatin1String("checksum")).toString().toLower());

    IdleFileActions idle;
    LibraryItem owner(idle);
    owner.setTitle(QStringLiteral("Book"));
    LibraryFile file(&owner, idle);
    const bool updated = file.updateChecksums(checksums);
    const auto hashes = file.hashes();
    check(updated == !hashes.isEmpty(), "updated exactly when checksums were taken");
    for (auto it = hashes.cbegin(); it != hashes.cend(); ++it) {
        check(!it.key().isEmpty(), "no empty digest");
        check(digests.contains(it.key()), "only digests the reply named");
    }

    if (updated) {
        QString absent = QStringLiteral("0123456789abcdef0123456789abcdef");
        while (hashes.contains(absent))
            absent += QLatin1Char('0');
        file.setLocalFileHash(absent);
        check(!file.localHashMatches(), "a digest the file lacks never matches");
        file.setLocalFileHash(hashes.firstKey());
        check(file.localHashMatches(), "a digest the reply named matches");
    }

    LibraryFile again(&owner, idle);
    again.fromJson(file.toJson());
    check(again.hashes().keys() == hashes.keys(), "checksums survive the saved form");
    return 0;
}
