// bench-download --key KEY --dir DIR [--limit-rate BYTES_PER_S] PRODUCT_ID...: signs in to the service named by
// TOLVANE_API_BASE_URL, downloads the first file of every product at once (one slot per
// product) through LibraryFile, Downloader and DownloadManager, and prints one line:
// "seconds=S bytes=B idle_rss_kib=I peak_rss_kib=P max_stall_ms=M max_busy_ms=C ok=0|1".
#include "api/networkreplywrapper.h"
#include "api/remoteapi.h"
#include "app/core/corefileactions.h"
#include "downloads/filequestions.h"
#include "app/core/settings.h"
#include "downloads/downloadmanager.h"
#include "downloads/libraryfile.h"
#include "library/libraryitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QtNetwork>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

// The probe that measures how late the event loop runs a timer.
constexpr int kProbeIntervalMs = 5;

class BenchServices : public FileQuestions
{
public:
    explicit BenchServices(const QString &dir)
    {
        m_settings.setLibraryDirectory(dir);
        m_manager.setSyncing(true);
    }
    RemoteAPI *remoteAPI() { return &m_api; }
    Settings *settings() { return &m_settings; }
    DownloadManager *downloadManager() { return &m_manager; }
    FileActions &actions() { return m_actions; }
    void askUpdateFile(LibraryFile *) override {}
    void askDeleteFile(LibraryFile *) override {}

private:
    QNetworkAccessManager m_nam;
    RemoteAPI m_api{&m_nam};
    Settings m_settings;
    DownloadManager m_manager{&m_api, &m_settings};
    CoreFileActions m_actions{m_api, m_manager, m_settings, *this};
};

// VmRSS or VmHWM of this process in KiB.
qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 statusKib(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString key;
    QString dir;
    QStringList products;
    qint64 limitRate = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--key"))
            key = args.value(++i);
        else if (args.at(i) == QLatin1String("--dir"))
            dir = args.value(++i);
        else if (args.at(i) == QLatin1String("--limit-rate"))
            limitRate = args.value(++i).toLongLong();
        else
            products.append(args.at(i));
    }
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    if (key.isEmpty() || dir.isEmpty() || products.isEmpty()) {
        std::fprintf(stderr, "usage: bench-download --key KEY --dir DIR PRODUCT_ID...\n");
        return 2;
    }

    BenchServices services(dir);
    services.settings()->setSimultaneousDownloads(products.size());
    services.downloadManager()->rateLimiter().setRate(limitRate);
    RemoteAPI *api = services.remoteAPI();
    std::vector<std::unique_ptr<LibraryItem>> items;
    std::vector<std::unique_ptr<LibraryFile>> files;
    QElapsedTimer clock;
    QElapsedTimer probeClock;
    qint64 maxStallMs = 0;
    // The event loop's own work in the longest interval, apart from time other processes took.
    qint64 maxBusyMs = 0;
    qint64 probeCpuNs = 0;
    qint64 idleRss = 0;
    qint64 peakRss = 0;
    qint64 bytes = 0;
    int pendingInfo = products.size();

    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kProbeIntervalMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        maxStallMs = qMax(maxStallMs, probeClock.restart() - kProbeIntervalMs);
        const qint64 cpuNs = threadCpuNs();
        maxBusyMs = qMax(maxBusyMs, (cpuNs - probeCpuNs) / 1000000);
        peakRss = qMax(peakRss, statusKib("VmRSS:"));
        probeCpuNs = threadCpuNs();
    });

    bool finished = false;
    auto finishIfDone = [&] {
        // Several status changes can be queued behind the last one.
        if (finished)
            return;
        for (const auto &file : files) {
            if (file->status() == LibraryFile::Queued || file->status() == LibraryFile::Downloading)
                return;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        finished = true;
        probe.stop();
        peakRss = qMax(peakRss, statusKib("VmHWM:"));
        bool ok = true;
        for (const auto &file : files) {
            ok = ok && file->status() == LibraryFile::Downloaded;
            if (file->status() != LibraryFile::Downloaded)
                std::fprintf(stderr, "%s: %s\n", qPrintable(file->serverFileName()), qPrintable(file->errorMessage()));
        }
        std::printf("seconds=%.3f bytes=%lld idle_rss_kib=%lld peak_rss_kib=%lld max_stall_ms=%lld max_busy_ms=%lld ok=%d\n",
                    seconds, bytes, idleRss, peakRss, maxStallMs, maxBusyMs, ok ? 1 : 0);
        QCoreApplication::exit(ok ? 0 : 1);
    };

    auto startAll = [&] {
        // Reset the high-water mark so that it covers the transfer only.
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        if (clearRefs.open(QIODevice::WriteOnly))
            clearRefs.write("5");
        idleRss = statusKib("VmRSS:");
        peakRss = idleRss;
        probeClock.start();
        probeCpuNs = threadCpuNs();
        probe.start();
        clock.start();
        for (const auto &file : files)
            services.downloadManager()->setFileStatus(file.get(), LibraryFile::Queued);
    };

    QObject::connect(api, &RemoteAPI::loginFailed, [] {
        std::fprintf(stderr, "sign-in failed\n");
        QCoreApplication::exit(1);
    });
    QObject::connect(api, &RemoteAPI::loginSucceeded, [&] {
        for (const QString &productId : qAsConst(products)) {
            NetworkReplyWrapper *request = api->getTitleInfo(productId);
            QObject::connect(request, &NetworkReplyWrapper::replyFinished, [&, productId](bool success, const QJsonValue &message) {
                const QJsonObject product = message.toObject();
                const QJsonObject entry = product.value(QLatin1String("files")).toArray().first().toObject();
                if (!success || entry.isEmpty()) {
                    std::fprintf(stderr, "product %s could not be read\n", qPrintable(productId));
                    QCoreApplication::exit(1);
                    return;
                }
                auto owner = std::make_unique<LibraryItem>(services.actions());
                owner->setProductId(productId);
                owner->setTitle(product.value(QLatin1String("products_name")).toString());
                owner->setPublisher(product.value(QLatin1String("publishers_name")).toString());
                auto file = std::make_unique<LibraryFile>(owner.get(), services.actions());
                file->setServerFileName(entry.value(QLatin1String("filename")).toString());
                file->setBundleId(entry.value(QLatin1String("bundle_id")).toInt());
                file->setTotalSize(entry.value(QLatin1String("raw_filesize_bytes")).toVariant().toLongLong());
                bytes += file->totalSize();
                QObject::connect(file.get(), &LibraryFile::statusChanged, [&] { QTimer::singleShot(0, finishIfDone); });
                items.push_back(std::move(owner));
                files.push_back(std::move(file));
                if (--pendingInfo == 0)
                    startAll();
            });
        }
    });
    api->doLogin(key);
    const int code = QCoreApplication::exec();
    services.downloadManager()->cancelAll();
    return code;
}
