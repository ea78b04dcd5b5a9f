#include "imageprovider.h"

#include "app/asyncimageresponse.h"

#include <QUrl>

ImageProvider::ImageProvider(const QString &dataFolder, const QString &placeholderPath)
    : m_cacheFolder(dataFolder + QStringLiteral("/cache")), m_placeholderPath(placeholderPath)
{
}

QQuickImageResponse *ImageProvider::requestImageResponse(const QString &id, const QSize &requestedSize)
{
    return new AsyncImageResponse(QUrl(id), m_cacheFolder, m_placeholderPath, requestedSize);
}
