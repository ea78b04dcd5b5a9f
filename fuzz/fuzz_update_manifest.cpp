// The update manifest as any server could publish it. An installer is only ever offered from a
// secure address with a host, and reading the same lines twice gives the same answer.

#include "fuzzsupport.h"

#include "api/networkreplywrapper.h"
#include "api/updatemanifest.h"

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
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    const QUrl base(QStringLiteral("https://www.tolvane-store.example/library-client/manifest.txt"));
    const UpdateManifest manifest = UpdateManifest::parse(body, base);
    const UpdateManifest again = UpdateManifest::parse(body, base);
    check(manifest.version() == again.version() && manifest.date() == again.date()
              && manifest.downloadUrl() == again.downloadUrl(),
          "parsing is deterministic");
    check(!manifest.version().contains(QLatin1Char('\n')), "the version is one line");

    const QDateTime buildDate(QDate(2021, 1, 19), QTime(12, 0));
    if (manifest.isNewerThan(buildDate)) {
        check(manifest.isValid(), "only a whole manifest offers an update");
        check(manifest.date().isValid() && manifest.date() > buildDate, "offered only when newer");
    }
    if (manifest.downloadIsSecure()) {
        const QUrl url = manifest.downloadUrl();
        check(!url.host().isEmpty(), "a secure address names a host");
        check(NetworkReplyWrapper::isSecureEnough(url), "a secure address is https or this machine");
        check(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
                  || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0,
              "a secure address is a web address");
    }
    return 0;
}
