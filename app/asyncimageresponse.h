#pragma once

#include <QByteArray>
#include <QImage>
#include <QNetworkReply>
#include <QSize>
#include <QQuickImageResponse>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// One image for the image provider: read from the disk cache, or downloaded and then cached.
// Anything that cannot be had shows as the placeholder; no error string is ever reported.
class AsyncImageResponse : public QQuickImageResponse
{
    Q_OBJECT
public:
    // Large enough for any cover, small enough not to hurt when a server sends junk.
    static constexpr qint64 kMaxImageSize = 32 * 1024 * 1024;
    // A print-resolution cover is well below either; a few bytes of header can declare far more.
    static constexpr int kMaxImageSide = 12000;
    static constexpr qint64 kMaxImagePixels = 36 * 1000 * 1000;

    AsyncImageResponse(const QUrl &url, const QString &cacheFolder, const QString &placeholderPath,
                       const QSize &requestedSize = QSize());
    ~AsyncImageResponse() override;

    QQuickTextureFactory *textureFactory() const override;

    // The file below `cacheFolder` that caches `url`: the URL's decoded path, never outside the
    // folder. Empty when the URL names no file.
    static QString cacheFilePath(const QUrl &url, const QString &cacheFolder);
    // The image in `data`, shrunk while decoding to fit `requestedSize` (a side of 0 or less
    // leaves that side free). Null when the bytes are no image, or when its declared or decoded
    // size passes the bounds above.
    static QImage decode(const QByteArray &data, const QSize &requestedSize);

private slots:
    void onReadyRead();
    void onReplyFinished();
    void onReplyError(QNetworkReply::NetworkError err);

private:
    void loadFromCache(const QString &path);
    void download();
    void store(const QString &path) const;
    void finishLater();
    QImage placeholder() const;
    // Downloads share one manager per thread: a manager serves the thread it lives in.
    static QNetworkAccessManager *networkManager();

    const QUrl m_url;
    const QString m_cacheFolder;
    const QString m_placeholderPath;
    const QSize m_requestedSize;
    QImage m_image;
    QByteArray m_data;
    QNetworkReply *m_reply = nullptr;
    bool m_tooLarge = false;
};
