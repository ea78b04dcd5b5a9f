#pragma once

#include <QQuickAsyncImageProvider>
#include <QString>

// Serves "image://title/<image URL>" from a disk cache below the data folder, downloading an
// image the first time it is asked for.
class ImageProvider : public QQuickAsyncImageProvider
{
public:
    explicit ImageProvider(const QString &dataFolder,
                           const QString &placeholderPath = QStringLiteral(":/icons/book.svg"));

    // May run on the engine's image loading thread.
    QQuickImageResponse *requestImageResponse(const QString &id, const QSize &requestedSize) override;

    QString cacheFolder() const { return m_cacheFolder; }

private:
    const QString m_cacheFolder;
    const QString m_placeholderPath;
};
