#include "app/asyncimageresponse.h"
#include "app/imageprovider.h"
#include "loopbackserver.h"
#include "testfiles.h"

#include <QBuffer>
#include <QQuickTextureFactory>
#include <QTemporaryDir>
#include <QThread>
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

// A bomb that only declares its size, so that a huge one costs the test nothing.
QByteArray declaredOnly(int width, int height)
{
    return QStringLiteral("P5\n%1 %2\n255\n").arg(width).arg(height).toLatin1();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

    // The engine asks on a loader thread of its own. The cache is keyed by path alone: the same
    // cover asked for through another host name or with a query is one file, fetched once.
    void servesFromCacheAfterFirstDownload()
    {
        QCOMPARE(loadOnAnotherThread(url("/images/12/34-thumb.png")), m_redImage);
        QCOMPARE(load(QStringLiteral("http://localhost:%1/images/12/34-thumb.png?size=big").arg(m_server->port())),
                 m_redImage);
        QCOMPARE(m_server->count("/images/"), 1);
        QCOMPARE(filesBelow(m_provider->cacheFolder()), QStringList{"images/12/34-thumb.png"});
    }

    void refusedImagesShowPlaceholderAndCacheNothing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("bytes");   // served as /bomb.png
        QTest::newRow("server error with image bytes") << "/error.png" << QByteArray();
        QTest::newRow("no web address") << "file:///etc/hostname" << QByteArray();
        // Empty, as a failed download once left it in the cache.
        QTest::newRow("empty") << "/bomb.png" << QByteArray();
        QTest::newRow("too many pixels") << "/bomb.png" << declaredOnly(10000, 10000);
        QTest::newRow("one side too long") << "/bomb.png" << declaredOnly(AsyncImageResponse::kMaxImageSide + 1, 1);
    }

    // Asked for as a thumbnail, which alone would not stop a format that decodes whole first.
    void refusedImagesShowPlaceholderAndCacheNothing()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, bytes);
        const std::string body = bytes.toStdString();
        m_server->get("/bomb.png", [body](const httplib::Request &, httplib::Response &res) {
            res.set_content(body, "image/png");
        });
        QCOMPARE(load(url.startsWith('/') ? this->url(url) : url, QSize(120, 0)), m_placeholder);
        QVERIFY(filesBelow(m_provider->cacheFolder()).isEmpty());
        if (url != "/bomb.png")
            return;
        // One left in the cache by an older version is refused alike, and not fetched again.
        QVERIFY(writeFile(m_provider->cacheFolder() + "/images/bomb.png", bytes));
        QCOMPARE(load(this->url("/images/bomb.png"), QSize(120, 0)), m_placeholder);
        QCOMPARE(m_server->count("/images/"), 0);
    }

    // Asked for by height alone, the width keeps the shape.
    void decodesAtRequestedSize()
    {
        const std::string body = encoded(QSize(400, 600), Qt::darkGreen, "JPG").toStdString();
        m_server->get("/cover.jpg", [body](const httplib::Request &, httplib::Response &res) {
            res.set_content(body, "image/jpeg");
        });
        QCOMPARE(load(url("/cover.jpg"), QSize(-1, 300)).size(), QSize(200, 300));
        // The cache keeps the bytes as sent, so a view that names no size later gets the full image.
        QCOMPARE(load(url("/cover.jpg"), QSize()).size(), QSize(400, 600));
        QCOMPARE(m_server->count("/cover.jpg"), 1);
    }

    // A climb out is shown but not cached; one that stays inside is cached where it lands.
    void traversalRequestWritesInsideCache()
    {
        QCOMPARE(load(url("/a/%2e%2e%2f%2e%2e%2f%2e%2e%2fescape.png")), m_redImage);
        QCOMPARE(load(url("/a/b/%2e%2e%2fc.png")), m_redImage);
        QCOMPARE(filesBelow(m_data.path()), (QStringList{"placeholder.png", "store/cache/a/c.png"}));
        // As a client that does not fold the climb away would ask for it.
        QVERIFY(AsyncImageResponse::cacheFilePath(QUrl("http://h/../../a-long-way-out.png"), m_provider->cacheFolder())
                    .isEmpty());
    }

private:
    // Requests the image and waits for it. A response that finished before the caller could
    // connect, as the engine does after the call, is never seen and fails the wait.
    QImage load(const QString &url, const QSize &requestedSize = QSize(10, 10))
    {
        std::unique_ptr<QQuickImageResponse> response(m_provider->requestImageResponse(url, requestedSize));
        QSignalSpy finished(response.get(), &QQuickImageResponse::finished);
        return finished.wait(10000) ? imageOf(response.get()) : QImage();
    }

    QImage loadOnAnotherThread(const QString &url)
    {
        QThread loader;
        loader.start();
        QObject context;
        context.moveToThread(&loader);
        QImage image;
        bool done = false;
        QMetaObject::invokeMethod(&context, [&] {
            QQuickImageResponse *response = m_provider->requestImageResponse(url, {});
            connect(response, &QQuickImageResponse::finished, response, [&, response] {
                const QImage result = imageOf(response);
                response->deleteLater();
                QMetaObject::invokeMethod(this, [&, result] {
                    image = result;
                    done = true;
                });
            });
        });
        const bool answered = QTest::qWaitFor([&done] { return done; }, 10000);
        loader.quit();
        loader.wait();
        return answered ? image : QImage();
    }

    QString url(const QString &path) const { return m_server->rootUrl() + path; }

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
