// The cover image provider's decoding of bytes from a server or the disk cache. Whatever the
// bytes declare, a decoded image stays within the provider's bounds and fits the size asked for.

#include "fuzzsupport.h"

#include "app/asyncimageresponse.h"

#include <QGuiApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Vector formats draw text, which needs the GUI application's fonts.
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app)
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (const QSize &requested : {QSize(), QSize(120, 0)}) {
        const QImage image = AsyncImageResponse::decode(bytes, requested);
        if (image.isNull())
            continue;
        FuzzSupport::check(image.width() <= AsyncImageResponse::kMaxImageSide
                               && image.height() <= AsyncImageResponse::kMaxImageSide
                               && qint64(image.width()) * image.height() <= AsyncImageResponse::kMaxImagePixels,
                           "a decoded image stays within the bounds");
        FuzzSupport::check(!requested.isValid() || image.width() <= requested.width(),
                           "a decoded image fits the width asked for");
    }
    return 0;
}
