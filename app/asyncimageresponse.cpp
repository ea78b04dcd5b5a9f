#include "asyncimageresponse.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMetaEnum>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QQuickTextureFactory>
#include <QSaveFile>
#include <QThreadStorage>

namespace {

const int kMaxRedirects = 20;   // the common value for web browsers

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// Shrinks `size` to fit `bound`, keeping its shape; never enlarges.
QSize fitted(const QSize &size, const QSize &bound)
{
    const int width = bound.width() > 0 ? bound.width() : size.width();
    const int height = bound.height() > 0 ? bound.height() : size.height();
    if (size.width() <= width && size.height() <= height)
        return size;
    return size.scaled(QSize(width, height), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

bool withinBounds(const QSize &size)
{
    return size.width() <= AsyncImageResponse::kMaxImageSide && size.height() <= AsyncImageResponse::kMaxImageSide
           && qint64(size.width()) * size.height() <= AsyncImageResponse::kMaxImagePixels;
}

QImage readBounded(QImageReader &reader, const QSize &requestedSize)
{
    const QSize declared = reader.size();
    if (declared.isValid()) {
        if (!withinBounds(declared))
            return {};
        reader.setScaledSize(fitted(declared, requestedSize));
    }
    QImage image = reader.read();
    // A format that does not tell its size first is held to the same bound once decoded.
    if (image.isNull() || !withinBounds(image.size()) || image.sizeInBytes() > AsyncImageResponse::kMaxImagePixels * 4)
        return {};
    if (!declared.isValid() && (requestedSize.width() > 0 || requestedSize.height() > 0))
        image = image.scaled(fitted(image.size(), requestedSize), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

AsyncImageResponse::AsyncImageResponse(const QUrl &url, const QString &cacheFolder, const QString &placeholderPath,
                                       const QSize &requestedSize)
    : m_url(url), m_cacheFolder(cacheFolder), m_placeholderPath(placeholderPath), m_requestedSize(requestedSize)
{
    const QString path = cacheFilePath(url, cacheFolder);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        loadFromCache(path);
        finishLater();
    } else if (isWebUrl(url)) {
        download();
    } else {
        m_image = placeholder();
        finishLater();
    }
}

AsyncImageResponse::~AsyncImageResponse() = default;

QQuickTextureFactory *AsyncImageResponse::textureFactory() const
{
    return QQuickTextureFactory::textureFactoryForImage(m_image);
}

QString AsyncImageResponse::cacheFilePath(const QUrl &url, const QString &cacheFolder)
{
    const QString path = url.path(QUrl::FullyDecoded);
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return {};
    const QString root = QDir::cleanPath(cacheFolder);
    // A path that climbs out of the cache folder is not cached at all.
    const QString file = QDir::cleanPath(root + QLatin1Char('/') + path);
    if (!file.startsWith(QString(root + QLatin1Char('/'))) || file.size() <= root.size() + 1)
        return {};
    return file;
}

QImage AsyncImageResponse::decode(const QByteArray &data, const QSize &requestedSize)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return readBounded(reader, requestedSize);
}

void AsyncImageResponse::loadFromCache(const QString &path)
{
    QFile file(path);
    if (file.size() <= kMaxImageSize && file.open(QIODevice::ReadOnly)) {
        m_data = file.readAll();
        m_image = decode(m_data, m_requestedSize);
    }
    if (m_image.isNull())
        m_image = placeholder();
}

void AsyncImageResponse::download()
{
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    m_reply = networkManager()->get(request);
    // Goes with the response when the engine drops it early.
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::finished, this, &AsyncImageResponse::onReplyFinished);
    connect(m_reply, &QNetworkReply::readyRead, this, &AsyncImageResponse::onReadyRead);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &AsyncImageResponse::onReplyError);
}

void AsyncImageResponse::onReadyRead()
{
    if (m_tooLarge)
        return;
    m_data.append(m_reply->readAll());
    if (m_data.size() > kMaxImageSize) {
        m_tooLarge = true;
        m_data.clear();
        m_reply->abort();
    }
}

void AsyncImageResponse::onReplyError(QNetworkReply::NetworkError err)
{
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(err);
    qDebug().nospace() << "ERROR: " << "AsyncImage: Reply error: " << (name ? name : "UnknownError");
    m_data.clear();
}

void AsyncImageResponse::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool received = reply->error() == QNetworkReply::NoError && !m_tooLarge && status == 200;
    if (received && !m_data.isEmpty())
        m_image = decode(m_data, m_requestedSize);
    // Only an image that was shown is worth keeping: anything else would stand in for it for
    // good, and a refused one would be decoded again at every start.
    if (m_image.isNull())
        m_image = placeholder();
    else
        store(cacheFilePath(m_url, m_cacheFolder));
    reply->deleteLater();
    emit finished();
}

void AsyncImageResponse::store(const QString &path) const
{
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(m_data) == m_data.size())
        file.commit();
}

void AsyncImageResponse::finishLater()
{
    // After the engine has connected to the response.
    QMetaObject::invokeMethod(this, &AsyncImageResponse::finished, Qt::QueuedConnection);
}

QImage AsyncImageResponse::placeholder() const
{
    QImageReader reader(m_placeholderPath);
    return readBounded(reader, m_requestedSize);
}

QNetworkAccessManager *AsyncImageResponse::networkManager()
{
    static QThreadStorage<QNetworkAccessManager *> managers;
    if (!managers.hasLocalData())
        managers.setLocalData(new QNetworkAccessManager);
    return managers.localData();
}
