#include "app/asyncimageresponse.h"
#include "app/imageprovider.h"
#include "loopbackserver.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QQuickTextureFactory>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <QtTest>

#include <memory>

namespace {

QByteArray encoded(const QSize &size, const QColor &color, const char *format = "PNG")
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
}

// A black one-bit PNG of the given size, built by hand so that a huge one costs the test little;
// `truncated` leaves out the pixels, as a bomb that only declares its size.
QByteArray bitmapPng(quint32 width, quint32 height, bool truncated = false)
{
    // One bit a pixel, grey, deflate, no filter method, no interlace.
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray("\x01\0\0\0\0", 5);
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header);
    if (!truncated) {
        const QByteArray rows(int(height * (1 + (width + 7) / 8)), '\0');
        png += chunk("IDAT", qCompress(rows, 1).mid(4));   // zlib stream without Qt's length prefix
    }
    return png + chunk("IEND", {});
}

QImage imageOf(QQuickImageResponse *response)
{
    std::unique_ptr<QQuickTextureFactory> factory(response->textureFactory());
    return factory ? factory->image().convertToFormat(QImage::Format_ARGB32) : QImage();
}

} // namespace

class TestImageProvider : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        m_placeholderPath = m_data.filePath("placeholder.png");
        QVERIFY(writeFile(m_placeholderPath, encoded(QSize(4, 3), Qt::blue)));
        m_placeholder = QImage(m_placeholderPath).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!m_placeholder.isNull());
    }

    void init()
    {
        m_server = std::make_unique<LoopbackServer>();
        const std::string red = m_red.toStdString();
        m_server->get(R"(/(images|a)/.*)", [red](const httplib::Request &, httplib::Response &res) {
            res.set_content(red, "image/png");
        });
        m_server->get("/junk.png", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("<html>not an image</html>", "text/html");
        });
        m_server->get("/error.png", [red](const httplib::Request &, httplib::Response &res) {
            res.status = 500;
            res.set_content(red, "image/png");
        });
        m_server->start();
        QDir(m_data.filePath("store")).removeRecursively();
        m_provider = std::make_unique<ImageProvider>(m_data.filePath("store"), m_placeholderPath);
    }

    void cleanup()
    {
        m_provider.reset();
        m_server.reset();
    }

    // The cache is keyed by path alone: the same cover asked for through another host name or with
    // a query is one file, fetched once.
    void servesFromCacheAfterFirstDownload()
    {
        QCOMPARE(load(url("/images/12/34-thumb.png")), m_redImage);
        QCOMPARE(filesBelow(m_provider->cacheFolder()), QStringList{"images/12/34-thumb.png"});

        const QString otherHost = QStringLiteral("http://localhost:%1/images/12/34-thumb.png?size=big").arg(m_server->port());
        std::unique_ptr<QQuickImageResponse> again(m_provider->requestImageResponse(otherHost, {}));
        QSignalSpy finished(again.get(), &QQuickImageResponse::finished);
        QCOMPARE(finished.count(), 0);   // not before the engine could connect
        QVERIFY(finished.wait(10000));
        QCOMPARE(imageOf(again.get()), m_redImage);
        QCOMPARE(m_server->count("/images/"), 1);
        QCOMPARE(filesBelow(m_provider->cacheFolder()), QStringList{"images/12/34-thumb.png"});
    }

    void failuresShowPlaceholderAndCacheNothing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("not found") << "/images-missing/x.png";
        QTest::newRow("server error with image bytes") << "/error.png";
        QTest::newRow("not an image") << "/junk.png";
        QTest::newRow("nobody listening") << "http://127.0.0.1:1/images/x.png";
        QTest::newRow("no web address") << "file:///etc/hostname";
    }

    void failuresShowPlaceholderAndCacheNothing()
    {
        QFETCH(QString, url);
        const QString address = url.startsWith('/') ? this->url(url.toStdString()) : url;
        QCOMPARE(load(address), m_placeholder);
        QVERIFY(filesBelow(m_provider->cacheFolder()).isEmpty());
    }

    void undisplayableImagesAreRefusedAndNotCached_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // Empty, as a failed download once left it in the cache.
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("declares 20000 square") << bitmapPng(20000, 20000, true);
        QTest::newRow("real 20000 square") << bitmapPng(20000, 20000);
        QTest::newRow("one side too long") << bitmapPng(AsyncImageResponse::kMaxImageSide + 1, 1);
    }

    // Asked for as a thumbnail, which alone would not stop a format that decodes whole first.
    void undisplayableImagesAreRefusedAndNotCached()
    {
        QFETCH(QByteArray, bytes);
        const std::string body = bytes.toStdString();
        m_server->get("/bomb.png", [body](const httplib::Request &, httplib::Response &res) {
            res.set_content(body, "image/png");
        });
        QCOMPARE(load(url("/bomb.png"), QSize(120, 0)), m_placeholder);
        QVERIFY(filesBelow(m_provider->cacheFolder()).isEmpty());

        // One left in the cache by an older version is refused alike, and not fetched again.
        QVERIFY(writeFile(m_provider->cacheFolder() + "/images/bomb.png", bytes));
        QCOMPARE(load(url("/images/bomb.png"), QSize(120, 0)), m_placeholder);
        QCOMPARE(m_server->count("/images/"), 0);
    }

    void decodesAtRequestedSize_data()
    {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("delivered");
        QTest::newRow("width only") << QSize(120, 0) << QSize(120, 180);
        QTest::newRow("height only") << QSize(-1, 300) << QSize(200, 300);
        QTest::newRow("both, keeps the shape") << QSize(100, 100) << QSize(66, 100);
        QTest::newRow("larger than the image") << QSize(2000, 0) << QSize(400, 600);
    }

    void decodesAtRequestedSize()
    {
        QFETCH(QSize, requested);
        QFETCH(QSize, delivered);
        const std::string body = encoded(QSize(400, 600), Qt::darkGreen, "JPG").toStdString();
        m_server->get("/cover.jpg", [body](const httplib::Request &, httplib::Response &res) {
            res.set_content(body, "image/jpeg");
        });
        QCOMPARE(load(url("/cover.jpg"), requested).size(), delivered);
        // The cache keeps the bytes as sent, so a view that names no size later gets the full image.
        QCOMPARE(load(url("/cover.jpg"), QSize()).size(), QSize(400, 600));
        QCOMPARE(m_server->count("/cover.jpg"), 1);
    }

    void cachePathStaysInsideCache_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("relative");   // below the cache folder; empty: not cached
        QTest::newRow("plain") << "http://h/images/12/34-thumb.jpg" << "images/12/34-thumb.jpg";
        QTest::newRow("encoded blank") << "http://h/a%20b/c.png" << "a b/c.png";
        QTest::newRow("climb within") << "http://h/a/b/%2e%2e%2fc.png" << "a/c.png";
        QTest::newRow("encoded climb") << "http://h/a/%2e%2e%2f%2e%2e%2f%2e%2e%2fescape.png" << "";
        QTest::newRow("plain climb") << "http://h/../../escape.png" << "";
        QTest::newRow("encoded backslash climb") << "http://h/..%5c..%5cescape.png" << "..\\..\\escape.png";
        QTest::newRow("folder") << "http://h/images/" << "";
        QTest::newRow("no path") << "http://h" << "";
        QTest::newRow("only a climb") << "http://h/%2e%2e" << "";
    }

    void cachePathStaysInsideCache()
    {
        QFETCH(QString, url);
        QFETCH(QString, relative);
        const QString cache = m_data.filePath("store/cache");
        const QString path = AsyncImageResponse::cacheFilePath(QUrl(url), cache);
        QCOMPARE(path, relative.isEmpty() ? QString() : QString(cache + '/' + relative));
    }

    void traversalRequestWritesInsideCache()
    {
        QCOMPARE(load(url("/a/%2e%2e%2f%2e%2e%2f%2e%2e%2fescape.png")), m_redImage);   // shown, not cached
        QCOMPARE(load(url("/a/b/%2e%2e%2fc.png")), m_redImage);
        QCOMPARE(filesBelow(m_data.path()), (QStringList{"placeholder.png", "store/cache/a/c.png"}));
    }

    void answersOnAnotherThread()
    {
        QThread loader;
        loader.start();
        QObject context;
        context.moveToThread(&loader);
        QImage image;
        bool done = false;
        QMetaObject::invokeMethod(&context, [&] {
            QQuickImageResponse *response = m_provider->requestImageResponse(url("/images/thread.png"), {});
            connect(response, &QQuickImageResponse::finished, response, [&, response] {
                const QImage result = imageOf(response);
                response->deleteLater();
                QMetaObject::invokeMethod(this, [&, result] {
                    image = result;
                    done = true;
                });
            });
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        loader.quit();
        loader.wait();
        QCOMPARE(image, m_redImage);
        QCOMPARE(filesBelow(m_provider->cacheFolder()), QStringList{"images/thread.png"});
    }

private:
    // Requests the image and waits for it; the response finishes only after the caller connects.
    QImage load(const QString &url, const QSize &requestedSize = QSize(10, 10))
    {
        std::unique_ptr<QQuickImageResponse> response(m_provider->requestImageResponse(url, requestedSize));
        QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
        if (finished.isEmpty() && !finished.wait(10000))
            return {};
        return imageOf(response.get());
    }

    QString url(const std::string &path) const { return m_server->rootUrl() + QString::fromStdString(path); }
    QStringList filesBelow(const QString &folder) const
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(QDir(folder).relativeFilePath(it.next()));
        return files;
    }

    QTemporaryDir m_data;
    QString m_placeholderPath;
    QImage m_placeholder;
    const QByteArray m_red = encoded(QSize(4, 3), Qt::red);
    const QImage m_redImage = QImage::fromData(m_red).convertToFormat(QImage::Format_ARGB32);
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<ImageProvider> m_provider;
};

QTEST_MAIN(TestImageProvider)
#include "tst_imageprovider.moc"
