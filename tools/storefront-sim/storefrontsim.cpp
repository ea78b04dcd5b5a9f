#include "storefrontsim.h"

#include "simcatalog.h"
#include "simcontent.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

using Endpoint = StorefrontSim::Endpoint;
using httplib::Request;
using httplib::Response;

namespace {

const char *const kEmail = "reader@tolvane-store.example";
const char *const kPassword = "quill-and-lantern";
const char *const kCustomersId = "4242";
const char *const kFirstName = "Mira";
const char *const kLastName = "Calloway";
const char *const kManifestPath = "/library-client/current-version-linux.txt";
const char *const kManifestFinalPath = "/library-client/current-version-linux-latest.txt";

// Large enough to keep system calls few, small enough that a generated chunk is still in the
// CPU cache when the kernel copies it into the socket.
constexpr std::size_t kChunk = std::size_t(256) << 10;
// Enough workers for several clients that each keep a handful of connections alive.
constexpr std::size_t kWorkerThreads = 32;
constexpr qint64 kInstallerSize = 256 * 1024;

struct NamedEndpoint
{
    Endpoint endpoint;
    const char *name;
};
const NamedEndpoint kEndpointNames[] = {
    {Endpoint::Key, "key"},
    {Endpoint::Token, "token"},
    {Endpoint::Library, "library"},
    {Endpoint::Product, "product"},
    {Endpoint::FileTaskCreate, "file-task"},
    {Endpoint::FileTaskProgress, "file-task-progress"},
    {Endpoint::Download, "download"},
    {Endpoint::Image, "image"},
    {Endpoint::Manifest, "manifest"},
    {Endpoint::Installer, "installer"},
};

QString serviceDate(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")); }
QString checksumDate(const QDateTime &t) { return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")); }
QString qs(const std::string &s) { return QString::fromStdString(s); }

void sendJson(Response &res, int status, const QJsonObject &object)
{
    res.status = status;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void sendSuccess(Response &res, const QJsonValue &message)
{
    sendJson(res, 200, QJsonObject{{QStringLiteral("status"), QStringLiteral("success")},
                                   {QStringLiteral("message"), message}});
}

void sendFailure(Response &res, int status, const QString &text)
{
    sendJson(res, status, QJsonObject{{QStringLiteral("status"), QStringLiteral("error")},
                                      {QStringLiteral("message"), text}});
}

QMap<QString, QString> parseForm(const std::string &body)
{
    QMap<QString, QString> form;
    const QList<QByteArray> pairs = QByteArray::fromStdString(body).split('&');
    for (const QByteArray &pair : pairs) {
        const int eq = pair.indexOf('=');
        if (eq <= 0)
            continue;
        QByteArray value = pair.mid(eq + 1);
        value.replace('+', ' ');
        form.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(eq))),
                    QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return form;
}

bool isLoopback(const std::string &address)
{
    return address == "127.0.0.1" || address == "::1" || address == "::ffff:127.0.0.1";
}

} // namespace

QByteArray StorefrontSim::LoggedRequest::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

QString StorefrontSim::LoggedRequest::path() const
{
    const int q = target.indexOf(QLatin1Char('?'));
    return q < 0 ? target : target.left(q);
}

class StorefrontSim::Private
{
public:
    explicit Private(const Options &o) : options(o)
    {
        initialCatalog = SimCatalog::generate(o.seed, o.products, o.largeFiles, o.largeFileMib);
        appKey = QString::fromLatin1(simcontent::md5Hex(QByteArray::number(qulonglong(o.seed)) + "app-key"))
                     .left(32);
        resetLocked();
        routes();
    }

    using Body = std::function<void(const Request &, Response &)>;
    struct Task
    {
        QString productId;
        int bundleId = 0;
        std::shared_ptr<const SimFileVersion> version;
        int polls = 0;
    };

    Options options;
    mutable std::mutex mutex;
    SimCatalog initialCatalog;
    SimCatalog catalog;
    QString appKey;
    std::map<QString, std::chrono::steady_clock::time_point> tokens;
    std::uint64_t tokenCounter = 0;
    std::map<QString, Task> tasks;
    int nextTaskId = 9001;
    std::map<Endpoint, EndpointFault> faults;
    std::map<QString, DownloadFault> downloadFaults;
    int pollsToComplete = 0;
    bool neverComplete = false;
    int tokenLifetimeSec = 0;
    QString manifestVersion;
    QString manifestDate;
    int manifestRedirects = 0;
    int installerRedirects = 0;
    QList<LoggedRequest> log;
    std::map<QString, QByteArray> images;

    httplib::Server server;
    std::thread thread;
    std::atomic<int> port{0};
    std::atomic<bool> stopping{false};
    std::mutex waitMutex;
    std::condition_variable waitCv;

    void resetLocked()
    {
        catalog = initialCatalog;
        tokens.clear();
        tasks.clear();
        faults.clear();
        for (const auto &fault : options.faults)
            faults[fault.first] = fault.second;
        downloadFaults.clear();
        downloadFaults[QString()] = options.downloadFault;
        log.clear();
        pollsToComplete = options.pollsToComplete;
        neverComplete = options.neverComplete;
        tokenLifetimeSec = options.tokenLifetimeSec;
        manifestVersion = options.manifestVersion;
        manifestDate = options.manifestDate;
        manifestRedirects = options.manifestRedirects;
        installerRedirects = options.installerRedirects;
    }

    QString rootUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port.load()); }

    // Sleeps unless the server stops first; false when it stopped.
    bool pause(std::chrono::milliseconds duration)
    {
        std::unique_lock<std::mutex> lock(waitMutex);
        return !waitCv.wait_for(lock, duration, [this] { return stopping.load(); });
    }

    QString newTokenLocked()
    {
        const QString token = QString::fromLatin1(simcontent::md5Hex(
            appKey.toLatin1() + QByteArray::number(qulonglong(++tokenCounter)) + QByteArray::number(qulonglong(options.seed))));
        tokens[token] = tokenLifetimeSec > 0
            ? std::chrono::steady_clock::now() + std::chrono::seconds(tokenLifetimeSec)
            : std::chrono::steady_clock::time_point::max();
        return token;
    }

    static QString bearer(const Request &req)
    {
        const std::string value = req.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        if (value.compare(0, prefix.size(), prefix) != 0)
            return QString();
        return QString::fromLatin1(value.substr(prefix.size()).c_str());
    }

    bool authorized(const Request &req)
    {
        const QString token = bearer(req);
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = tokens.find(token);
        return it != tokens.end() && std::chrono::steady_clock::now() < it->second;
    }

    void logRequest(const Request &req)
    {
        LoggedRequest entry;
        entry.method = qs(req.method);
        entry.target = qs(req.target);
        for (const auto &h : req.headers)
            entry.headers.append({QByteArray::fromStdString(h.first), QByteArray::fromStdString(h.second)});
        entry.body = QByteArray::fromStdString(req.body);
        for (const auto &field : req.files)
            entry.body += QByteArray::fromStdString(field.first + '=' + field.second.content + '\n');
        if (!options.quiet)
            std::fprintf(stderr, "%s %s\n", req.method.c_str(), req.target.c_str());
        std::lock_guard<std::mutex> lock(mutex);
        log.append(entry);
    }

    EndpointFault takeFault(Endpoint endpoint)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = faults.find(endpoint);
        if (it == faults.end() || it->second.times == 0)
            return EndpointFault();
        EndpointFault fault = it->second;
        if (it->second.times > 0 && --it->second.times == 0)
            faults.erase(it);
        return fault;
    }

    DownloadFault downloadFaultLocked(const QString &productId, int bundleId) const
    {
        auto it = downloadFaults.find(productId + QLatin1Char('/') + QString::number(bundleId));
        if (it == downloadFaults.end())
            it = downloadFaults.find(QString());
        return it == downloadFaults.end() ? DownloadFault() : it->second;
    }

    // The fault for one response of a file; one with a count is used up by it.
    DownloadFault takeDownloadFaultLocked(const QString &productId, int bundleId)
    {
        auto it = downloadFaults.find(productId + QLatin1Char('/') + QString::number(bundleId));
        if (it == downloadFaults.end())
            it = downloadFaults.find(QString());
        if (it == downloadFaults.end() || it->second.times == 0)
            return DownloadFault();
        DownloadFault fault = it->second;
        if (it->second.times > 0 && --it->second.times == 0) {
            // The checksum mode describes the file task replies, not a response: it stays.
            const ChecksumMode checksum = it->second.checksum;
            it->second = DownloadFault();
            it->second.checksum = checksum;
        }
        return fault;
    }

    void serve(Endpoint endpoint, bool json, const Request &req, Response &res, const Body &body)
    {
        logRequest(req);
        const EndpointFault fault = takeFault(endpoint);
        if (fault.delayMs > 0 && !pause(std::chrono::milliseconds(fault.delayMs))) {
            res.status = 503;
            return;
        }
        if (fault.unauthorized) {
            sendFailure(res, 401, QStringLiteral("Unauthorized request"));
            return;
        }
        if (!json && fault.httpStatus != 0) {
            // The short text is the whole answer, whatever range was asked for.
            const_cast<Request &>(req).ranges.clear();
            res.status = fault.httpStatus;
            res.set_content("Simulated status " + std::to_string(fault.httpStatus) + "\n", "text/plain");
            return;
        }
        body(req, res);
        if (!json)
            return;
        if (fault.failure)
            sendFailure(res, res.status, QStringLiteral("The service could not complete the request."));
        if (fault.notJson)
            res.set_content("<html><head><title>Error</title></head><body><h1>Service unavailable</h1></body></html>",
                            "text/html");
        if (fault.httpStatus != 0)
            res.status = fault.httpStatus;
    }

    // Requests under /api/v1 except the token need a live access token.
    void serveApi(Endpoint endpoint, const Request &req, Response &res, const Body &body)
    {
        serve(endpoint, true, req, res, [&](const Request &r, Response &s) {
            if (!authorized(r)) {
                sendFailure(s, 401, QStringLiteral("Invalid or expired access token"));
                return;
            }
            body(r, s);
        });
    }

    QJsonArray checksumsLocked(const SimProduct &product, const SimFile &file) const
    {
        const ChecksumMode mode = downloadFaultLocked(product.id, file.bundleId).checksum;
        QJsonArray checksums;
        if (mode == ChecksumMode::None)
            return checksums;
        for (const auto &version : file.versions) {
            QByteArray digest = version->md5;
            if (mode == ChecksumMode::Wrong)
                digest = simcontent::md5Hex(digest);
            else if (mode == ChecksumMode::UpperCase)
                digest = digest.toUpper();
            checksums.append(QJsonObject{{QStringLiteral("checksum"), QString::fromLatin1(digest)},
                                         {QStringLiteral("checksum_date"), checksumDate(version->lastModified)}});
        }
        return checksums;
    }

    QString downloadUrl(const QString &productId, int bundleId, int version) const
    {
        return rootUrl() + QStringLiteral("/downloads/%1/%2/v%3").arg(productId).arg(bundleId).arg(version);
    }

    QJsonObject productJsonLocked(const SimProduct &product) const
    {
        QJsonArray files;
        qint64 total = 0;
        for (const SimFile &file : product.files) {
            const SimFileVersion &current = *file.current();
            total += current.size;
            files.append(QJsonObject{
                {QStringLiteral("filename"), file.filename},
                {QStringLiteral("last_modified"), serviceDate(current.lastModified)},
                {QStringLiteral("checksums"), checksumsLocked(product, file)},
                {QStringLiteral("raw_filesize_bytes"), double(current.size)},
                {QStringLiteral("bundle_id"), file.bundleId},
                {QStringLiteral("products_id"), product.id},
            });
        }
        QJsonArray filters;
        for (const SimFilter &filter : product.filters) {
            filters.append(QJsonObject{{QStringLiteral("filters_name"), filter.name},
                                       {QStringLiteral("filters_id"), filter.id},
                                       {QStringLiteral("parent_id"), filter.parentId}});
        }
        return QJsonObject{
            {QStringLiteral("products_id"), product.id},
            {QStringLiteral("products_name"), product.title},
            {QStringLiteral("publishers_name"), product.publisher},
            {QStringLiteral("cover_url_fullsize"), rootUrl() + QStringLiteral("/images/covers/%1.png").arg(product.id)},
            {QStringLiteral("products_thumbnail100"),
             rootUrl() + QStringLiteral("/images/thumbs/%1-100.png").arg(product.id)},
            {QStringLiteral("date_purchased"), product.datePurchased},
            {QStringLiteral("products_filesize"), double(total)},
            {QStringLiteral("is_archived"), QStringLiteral("0")},
            {QStringLiteral("files"), files},
            {QStringLiteral("filters"), filters},
        };
    }

    QJsonObject taskJsonLocked(const QString &id, const Task &task, bool withFilename) const
    {
        const bool complete = !neverComplete && task.polls >= pollsToComplete;
        QJsonObject object{
            {QStringLiteral("file_tasks_id"), id},
            {QStringLiteral("progress"), complete ? QStringLiteral("Complete") : QStringLiteral("Preparing download")},
            {QStringLiteral("download_url"), downloadUrl(task.productId, task.bundleId, task.version->number)},
            {QStringLiteral("last_modified"), serviceDate(task.version->lastModified)},
        };
        const SimProduct *product = const_cast<SimCatalog &>(catalog).findProduct(task.productId);
        const SimFile *file = const_cast<SimCatalog &>(catalog).findFile(task.productId, task.bundleId);
        if (product && file) {
            object.insert(QStringLiteral("checksums"), checksumsLocked(*product, *file));
            if (withFilename)
                object.insert(QStringLiteral("filename"), file->filename);
        }
        return object;
    }

    QByteArray installerBytesLocked() const
    {
        QByteArray bytes(int(kInstallerSize), '\0');
        simcontent::fillGenerated(simcontent::splitmix64(qHash(manifestVersion)), 0, bytes.data(), std::size_t(bytes.size()));
        bytes.replace(0, 8, "!<arch>\n");
        return bytes;
    }

    void redirect(Response &res, const QString &path)
    {
        res.status = 302;
        res.set_header("Location", (rootUrl() + path).toStdString());
        res.set_content("Moved\n", "text/plain");
    }

    void serveFile(const Request &req, Response &res, const std::shared_ptr<const SimFileVersion> &version,
                   const DownloadFault &fault);
    void routes();
    void accountRoutes();
    void libraryRoutes();
    void contentRoutes();
    void updateRoutes();
    void adminRoutes();
};

void StorefrontSim::Private::serveFile(const Request &req, Response &res,
                                       const std::shared_ptr<const SimFileVersion> &version, const DownloadFault &fault)
{
    const qint64 size = version->size;
    qint64 first = 0;
    qint64 last = size - 1;
    const std::string range = fault.ignoreRange ? std::string() : req.get_header_value("Range");
    // Only single ranges are offered; the header is answered here, not by the HTTP layer.
    const_cast<Request &>(req).ranges.clear();
    if (!range.empty()) {
        const QString text = qs(range).trimmed();
        const QStringList parts = text.startsWith(QLatin1String("bytes=")) ? text.mid(6).split(QLatin1Char('-'))
                                                                            : QStringList();
        bool okFirst = false;
        bool okLast = true;
        if (parts.size() == 2) {
            first = parts.at(0).toLongLong(&okFirst);
            if (!parts.at(1).isEmpty())
                last = qMin(parts.at(1).toLongLong(&okLast), size - 1);
        }
        if (!okFirst || !okLast || first < 0 || first >= size || last < first) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(size));
            res.set_content("Range not satisfiable\n", "text/plain");
            return;
        }
        res.status = 206;
        res.set_header("Content-Range",
                       "bytes " + std::to_string(first) + '-' + std::to_string(last) + '/' + std::to_string(size));
    } else {
        res.status = 200;
    }
    res.set_header("Accept-Ranges", "bytes");
    res.set_header("Last-Modified", version->lastModified.toString(Qt::RFC2822Date).toStdString());

    const qint64 length = last - first + 1;
    const std::size_t chunk = fault.bytesPerSecond > 0
        ? std::size_t(qBound<qint64>(1024, fault.bytesPerSecond / 20, qint64(kChunk)))
        : kChunk;
    auto buffer = std::make_shared<std::vector<char>>();
    const auto started = std::make_shared<std::chrono::steady_clock::time_point>();
    const auto stalled = std::make_shared<bool>(false);
    const auto provide = [this, version, fault, first, chunk, buffer, started,
                          stalled](std::size_t offset, std::size_t remaining, httplib::DataSink &sink) {
        if (stopping)
            return false;
        std::size_t n = std::min(remaining, chunk);
        if (fault.dropAfterBytes >= 0) {
            if (qint64(offset) >= fault.dropAfterBytes)
                return false;
            n = std::min<std::size_t>(n, std::size_t(fault.dropAfterBytes - qint64(offset)));
        }
        if (fault.stallAfterBytes >= 0 && !*stalled) {
            if (qint64(offset) >= fault.stallAfterBytes) {
                *stalled = true;
                if (!pause(std::chrono::milliseconds(fault.stallMs)))
                    return false;
            } else {
                n = std::min<std::size_t>(n, std::size_t(fault.stallAfterBytes - qint64(offset)));
            }
        }
        if (fault.bytesPerSecond > 0) {
            if (offset == 0)
                *started = std::chrono::steady_clock::now();
            const auto due = *started + std::chrono::microseconds(qint64(offset) * 1000000 / fault.bytesPerSecond);
            const auto now = std::chrono::steady_clock::now();
            if (due > now && !pause(std::chrono::duration_cast<std::chrono::milliseconds>(due - now)))
                return false;
        }
        const std::uint64_t position = std::uint64_t(first) + offset;
        if (!version->generated)
            return sink.write(version->bytes.constData() + position, n);
        if (buffer->size() < n)
            buffer->resize(n);
        simcontent::fillGenerated(version->generatorSeed, position, buffer->data(), n);
        return sink.write(buffer->data(), n);
    };
    const char *type = version->generated ? "application/octet-stream" : "application/pdf";
    if (!fault.chunked) {
        res.set_content_provider(std::size_t(length), type, provide);
        return;
    }
    res.set_chunked_content_provider(type, [provide, length](std::size_t offset, httplib::DataSink &sink) {
        if (qint64(offset) >= length) {
            sink.done();
            return true;
        }
        return provide(offset, std::size_t(length) - offset, sink);
    });
}

void StorefrontSim::Private::routes()
{
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(2);
    // Small JSON replies must not wait for delayed acknowledgements: a polling client would
    // otherwise pay tens of milliseconds per round trip.
    server.set_tcp_nodelay(true);

    accountRoutes();
    libraryRoutes();
    contentRoutes();
    updateRoutes();
    adminRoutes();

    // Everything else still gets an envelope, and is logged.
    const auto notFound = [this](const Request &req, Response &res) {
        logRequest(req);
        sendFailure(res, 404, QStringLiteral("Not found"));
    };
    server.Get(".*", notFound);
    server.Post(".*", notFound);
    server.Delete(".*", notFound);
}

// The key page and the token.
void StorefrontSim::Private::accountRoutes()
{
    server.Post("/create_account_app.php", [this](const Request &req, Response &res) {
        serve(Endpoint::Key, true, req, res, [this](const Request &r, Response &s) {
            const QString email = r.has_file("email_address") ? qs(r.get_file_value("email_address").content) : QString();
            const QString password = r.has_file("password") ? qs(r.get_file_value("password").content) : QString();
            if (email.isEmpty() || password.isEmpty()) {
                sendFailure(s, 200, QStringLiteral("Please enter your e-mail address and password."));
            } else if (email.compare(QLatin1String(kEmail), Qt::CaseInsensitive) != 0
                       || password != QLatin1String(kPassword)) {
                sendFailure(s, 200, QStringLiteral("The e-mail address or password is not correct."));
            } else {
                std::lock_guard<std::mutex> lock(mutex);
                sendSuccess(s, QJsonObject{{QStringLiteral("key"), appKey}});
            }
        });
    });

    server.Post("/api/v1/token", [this](const Request &req, Response &res) {
        serve(Endpoint::Token, true, req, res, [this](const Request &r, Response &s) {
            std::lock_guard<std::mutex> lock(mutex);
            if (appKey.isEmpty() || bearer(r) != appKey) {
                sendFailure(s, 401, QStringLiteral("Invalid application key"));
                return;
            }
            sendSuccess(s, QJsonObject{{QStringLiteral("access_token"), newTokenLocked()},
                                       {QStringLiteral("first_name"), QLatin1String(kFirstName)},
                                       {QStringLiteral("last_name"), QLatin1String(kLastName)},
                                       {QStringLiteral("customers_id"), QLatin1String(kCustomersId)},
                                       {QStringLiteral("expires_in"), tokenLifetimeSec}});
        });
    });
}

// Library pages, title information and file tasks.
void StorefrontSim::Private::libraryRoutes()
{
    server.Get(R"(/api/v1/customers/([^/]+)/products)", [this](const Request &req, Response &res) {
        serveApi(Endpoint::Library, req, res, [this](const Request &r, Response &s) {
            if (qs(r.matches[1]) != QLatin1String(kCustomersId)) {
                sendFailure(s, 403, QStringLiteral("Access denied"));
                return;
            }
            bool okPage = false;
            bool okPerPage = false;
            const int page = qs(r.get_param_value("page")).toInt(&okPage);
            const int perPage = qs(r.get_param_value("per_page")).toInt(&okPerPage);
            if (!okPage || !okPerPage || page < 1 || perPage < 1) {
                sendFailure(s, 400, QStringLiteral("Invalid page or per_page"));
                return;
            }
            std::lock_guard<std::mutex> lock(mutex);
            QJsonArray products;
            const qint64 begin = qint64(page - 1) * perPage;
            for (qint64 i = begin; i < qint64(catalog.products.size()) && i < begin + perPage; ++i)
                products.append(productJsonLocked(catalog.products[std::size_t(i)]));
            sendSuccess(s, products);
        });
    });

    server.Get(R"(/api/v1/products/([^/]+))", [this](const Request &req, Response &res) {
        serveApi(Endpoint::Product, req, res, [this](const Request &r, Response &s) {
            std::lock_guard<std::mutex> lock(mutex);
            const SimProduct *product = catalog.findProduct(qs(r.matches[1]));
            if (!product)
                sendFailure(s, 404, QStringLiteral("Product not found"));
            else
                sendSuccess(s, productJsonLocked(*product));
        });
    });

    server.Post("/api/v1/file_tasks", [this](const Request &req, Response &res) {
        serveApi(Endpoint::FileTaskCreate, req, res, [this](const Request &r, Response &s) {
            const QMap<QString, QString> form = parseForm(r.body);
            const QString productId = form.value(QStringLiteral("products_id"));
            bool ok = false;
            const int bundleId = form.value(QStringLiteral("bundle_id")).toInt(&ok);
            std::lock_guard<std::mutex> lock(mutex);
            const SimFile *file = ok ? catalog.findFile(productId, bundleId) : nullptr;
            if (!file) {
                sendFailure(s, 404, QStringLiteral("No such file"));
                return;
            }
            const QString id = QString::number(nextTaskId++);
            Task &task = tasks[id];
            task.productId = productId;
            task.bundleId = bundleId;
            task.version = file->current();
            sendSuccess(s, taskJsonLocked(id, task, false));
        });
    });

    server.Get(R"(/api/v1/file_tasks/([^/]+))", [this](const Request &req, Response &res) {
        serveApi(Endpoint::FileTaskProgress, req, res, [this](const Request &r, Response &s) {
            std::lock_guard<std::mutex> lock(mutex);
            const auto it = tasks.find(qs(r.matches[1]));
            if (it == tasks.end()) {
                sendFailure(s, 404, QStringLiteral("No such file task"));
                return;
            }
            ++it->second.polls;
            sendSuccess(s, taskJsonLocked(it->first, it->second, true));
        });
    });
}

// The files themselves and the cover pictures.
void StorefrontSim::Private::contentRoutes()
{
    server.Get(R"(/downloads/(\d+)/(\d+)/v(\d+))", [this](const Request &req, Response &res) {
        serve(Endpoint::Download, false, req, res, [this](const Request &r, Response &s) {
            const QString productId = qs(r.matches[1]);
            const int bundleId = qs(r.matches[2]).toInt();
            const int number = qs(r.matches[3]).toInt();
            std::shared_ptr<const SimFileVersion> version;
            DownloadFault fault;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (const SimFile *file = catalog.findFile(productId, bundleId)) {
                    for (const auto &v : file->versions) {
                        if (v->number == number)
                            version = v;
                    }
                }
                if (version)
                    fault = takeDownloadFaultLocked(productId, bundleId);
            }
            if (!version) {
                s.status = 404;
                s.set_content("No such file\n", "text/plain");
                return;
            }
            serveFile(r, s, version, fault);
        });
    });

    server.Get(R"(/images/(covers|thumbs)/(\d+)(-100)?\.png)", [this](const Request &req, Response &res) {
        serve(Endpoint::Image, false, req, res, [this](const Request &r, Response &s) {
            const bool cover = r.matches[1] == "covers";
            const QString productId = qs(r.matches[2]);
            std::lock_guard<std::mutex> lock(mutex);
            if (!catalog.findProduct(productId) || cover == r.matches[3].matched) {
                s.status = 404;
                s.set_content("No such image\n", "text/plain");
                return;
            }
            const QString key = qs(r.path);
            auto it = images.find(key);
            if (it == images.end()) {
                const std::uint64_t seed = productId.toULongLong();
                it = images.emplace(key, cover ? simcontent::makePng(300, 420, seed)
                                               : simcontent::makePng(100, 140, seed)).first;
            }
            s.set_content(it->second.toStdString(), "image/png");
        });
    });
}

// The update manifest, its redirect hops and the installer.
void StorefrontSim::Private::updateRoutes()
{
    const auto manifest = [this](const Request &req, Response &res) {
        serve(Endpoint::Manifest, false, req, res, [this](const Request &r, Response &s) {
            std::lock_guard<std::mutex> lock(mutex);
            if (r.path == kManifestPath && manifestRedirects > 0) {
                redirect(s, QStringLiteral("/library-client/hop/%1/manifest").arg(manifestRedirects));
                return;
            }
            const QString installer = installerRedirects > 0
                ? rootUrl() + QStringLiteral("/library-client/hop/%1/installer").arg(installerRedirects)
                : rootUrl() + QStringLiteral("/library-client/tolvane_%1_amd64.deb").arg(manifestVersion);
            s.set_content((manifestVersion + QStringLiteral("\r\n") + manifestDate + QStringLiteral("\r\n") + installer
                           + QStringLiteral("\r\n"))
                              .toStdString(),
                          "text/plain");
        });
    };
    server.Get(kManifestPath, manifest);
    server.Get(kManifestFinalPath, manifest);

    server.Get(R"(/library-client/hop/(\d+)/(manifest|installer))", [this](const Request &req, Response &res) {
        const bool forManifest = req.matches[2] == "manifest";
        serve(forManifest ? Endpoint::Manifest : Endpoint::Installer, false, req, res,
              [this, forManifest](const Request &r, Response &s) {
                  const int hop = qs(r.matches[1]).toInt();
                  std::lock_guard<std::mutex> lock(mutex);
                  if (hop > 1)
                      redirect(s, QStringLiteral("/library-client/hop/%1/%2").arg(hop - 1).arg(qs(r.matches[2])));
                  else if (forManifest)
                      redirect(s, QLatin1String(kManifestFinalPath));
                  else
                      redirect(s, QStringLiteral("/library-client/tolvane_%1_amd64.deb").arg(manifestVersion));
              });
    });

    server.Get(R"(/library-client/tolvane_[^/]+_amd64\.deb)", [this](const Request &req, Response &res) {
        serve(Endpoint::Installer, false, req, res, [this](const Request &, Response &s) {
            std::lock_guard<std::mutex> lock(mutex);
            s.set_content(installerBytesLocked().toStdString(), "application/octet-stream");
        });
    });
}

void StorefrontSim::Private::adminRoutes()
{
    // Admin requests stay out of the request log; they answer with the same envelope.
    const auto admin = [this](const char *pattern, bool post, std::function<void(const Request &, Response &)> body) {
        auto handler = [body](const Request &req, Response &res) {
            if (!isLoopback(req.remote_addr)) {
                sendFailure(res, 403, QStringLiteral("Admin requests are accepted from loopback only"));
                return;
            }
            body(req, res);
        };
        if (post)
            server.Post(pattern, handler);
        else
            server.Get(pattern, handler);
    };
    const auto param = [](const Request &req, const char *name) { return qs(req.get_param_value(name)); };
    const auto flag = [param](const Request &req, const char *name) {
        const QString v = param(req, name);
        return req.has_param(name) && v != QLatin1String("0") && v != QLatin1String("false");
    };

    admin("/admin/reset", true, [this](const Request &, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        resetLocked();
        sendSuccess(res, QStringLiteral("reset"));
    });
    admin("/admin/fault", true, [this, param, flag](const Request &req, Response &res) {
        Endpoint endpoint;
        if (!StorefrontSim::endpointFromName(param(req, "endpoint"), &endpoint)) {
            sendFailure(res, 400, QStringLiteral("endpoint must be one of: ")
                                      + StorefrontSim::endpointNames().join(QStringLiteral(", ")));
            return;
        }
        EndpointFault fault;
        fault.httpStatus = param(req, "status").toInt();
        fault.delayMs = param(req, "delay_ms").toInt();
        fault.notJson = flag(req, "not_json");
        fault.failure = flag(req, "failure");
        fault.unauthorized = flag(req, "unauthorized");
        fault.times = req.has_param("times") ? param(req, "times").toInt() : -1;
        std::lock_guard<std::mutex> lock(mutex);
        faults[endpoint] = fault;
        sendSuccess(res, QStringLiteral("fault set"));
    });
    admin("/admin/clear-faults", true, [this](const Request &, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        faults.clear();
        downloadFaults.clear();
        neverComplete = false;
        sendSuccess(res, QStringLiteral("faults cleared"));
    });
    admin("/admin/download-fault", true, [this, param, flag](const Request &req, Response &res) {
        DownloadFault fault;
        if (req.has_param("drop_after"))
            fault.dropAfterBytes = param(req, "drop_after").toLongLong();
        if (req.has_param("checksum") && !StorefrontSim::checksumModeFromName(param(req, "checksum"), &fault.checksum)) {
            sendFailure(res, 400, QStringLiteral("checksum must be normal, wrong, none or upper"));
            return;
        }
        fault.bytesPerSecond = param(req, "bandwidth").toLongLong();
        if (req.has_param("stall_after"))
            fault.stallAfterBytes = param(req, "stall_after").toLongLong();
        fault.stallMs = param(req, "stall_ms").toInt();
        fault.chunked = flag(req, "chunked");
        fault.ignoreRange = flag(req, "ignore_range");
        if (req.has_param("times"))
            fault.times = param(req, "times").toInt();
        std::lock_guard<std::mutex> lock(mutex);
        downloadFaults[param(req, "file")] = fault;
        sendSuccess(res, QStringLiteral("download fault set"));
    });
    admin("/admin/file-tasks", true, [this, param, flag](const Request &req, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        if (req.has_param("polls"))
            pollsToComplete = qMax(0, param(req, "polls").toInt());
        if (req.has_param("never_complete"))
            neverComplete = flag(req, "never_complete");
        sendSuccess(res, QJsonObject{{QStringLiteral("polls"), pollsToComplete},
                                     {QStringLiteral("never_complete"), neverComplete}});
    });
    admin("/admin/tokens", true, [this, param, flag](const Request &req, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        if (req.has_param("lifetime"))
            tokenLifetimeSec = qMax(0, param(req, "lifetime").toInt());
        if (flag(req, "expire"))
            tokens.clear();
        sendSuccess(res, QJsonObject{{QStringLiteral("lifetime"), tokenLifetimeSec}});
    });
    admin("/admin/manifest", true, [this, param](const Request &req, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        if (req.has_param("version"))
            manifestVersion = param(req, "version");
        if (req.has_param("date"))
            manifestDate = param(req, "date");
        if (req.has_param("redirects"))
            manifestRedirects = qMax(0, param(req, "redirects").toInt());
        if (req.has_param("installer_redirects"))
            installerRedirects = qMax(0, param(req, "installer_redirects").toInt());
        sendSuccess(res, QStringLiteral("manifest set"));
    });
    admin("/admin/publish", true, [this, param](const Request &req, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        const QString productId = param(req, "product");
        const int bundleId = param(req, "bundle").toInt();
        if (!catalog.publishNewVersion(productId, bundleId)) {
            sendFailure(res, 404, QStringLiteral("No such file"));
            return;
        }
        sendSuccess(res, productJsonLocked(*catalog.findProduct(productId)));
    });
    admin("/admin/add-product", true, [this, param](const Request &req, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        const QString title = req.has_param("title") ? param(req, "title") : QStringLiteral("New Arrival");
        const QString publisher = req.has_param("publisher") ? param(req, "publisher") : QStringLiteral("Quillborne Games");
        const QString id = catalog.addProduct(title, publisher, req.has_param("files") ? param(req, "files").toInt() : 1);
        sendSuccess(res, productJsonLocked(*catalog.findProduct(id)));
    });
    admin("/admin/catalog", false, [this](const Request &, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        QJsonArray products;
        for (const SimProduct &product : catalog.products) {
            QJsonObject object = productJsonLocked(product);
            QJsonArray files = object.value(QStringLiteral("files")).toArray();
            for (int i = 0; i < files.size(); ++i) {
                QJsonObject file = files.at(i).toObject();
                const SimFile &simFile = product.files[std::size_t(i)];
                file.insert(QStringLiteral("download_url"),
                            downloadUrl(product.id, simFile.bundleId, simFile.current()->number));
                file.insert(QStringLiteral("md5"), QString::fromLatin1(simFile.current()->md5));
                files[i] = file;
            }
            object.insert(QStringLiteral("files"), files);
            products.append(object);
        }
        sendSuccess(res, products);
    });
    admin("/admin/account", false, [this](const Request &, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        sendSuccess(res, QJsonObject{{QStringLiteral("email"), QLatin1String(kEmail)},
                                     {QStringLiteral("password"), QLatin1String(kPassword)},
                                     {QStringLiteral("key"), appKey},
                                     {QStringLiteral("customers_id"), QLatin1String(kCustomersId)}});
    });
    admin("/admin/log", false, [this, param](const Request &req, Response &res) {
        const QString prefix = param(req, "path");
        std::lock_guard<std::mutex> lock(mutex);
        QJsonArray entries;
        for (const LoggedRequest &entry : log) {
            if (!entry.path().startsWith(prefix))
                continue;
            QJsonObject headers;
            for (const auto &h : entry.headers)
                headers.insert(QString::fromLatin1(h.first), QString::fromLatin1(h.second));
            entries.append(QJsonObject{{QStringLiteral("method"), entry.method},
                                       {QStringLiteral("target"), entry.target},
                                       {QStringLiteral("headers"), headers},
                                       {QStringLiteral("body"), QString::fromUtf8(entry.body)}});
        }
        sendSuccess(res, entries);
    });
    admin("/admin/clear-log", true, [this](const Request &, Response &res) {
        std::lock_guard<std::mutex> lock(mutex);
        log.clear();
        sendSuccess(res, QStringLiteral("log cleared"));
    });
}

StorefrontSim::StorefrontSim() : StorefrontSim(Options()) {}

StorefrontSim::StorefrontSim(Options options) : d(std::make_unique<Private>(options)) {}

StorefrontSim::~StorefrontSim() { stop(); }

bool StorefrontSim::start(int port)
{
    if (d->thread.joinable() || d->stopping)
        return false;
    int bound = -1;
    if (port == 0)
        bound = d->server.bind_to_any_port("127.0.0.1");
    else if (d->server.bind_to_port("127.0.0.1", port))
        bound = port;
    if (bound <= 0)
        return false;
    d->port = bound;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    return true;
}

void StorefrontSim::stop()
{
    if (!d->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(d->waitMutex);
        d->stopping = true;
    }
    d->waitCv.notify_all();
    d->server.stop();
    d->thread.join();
}

bool StorefrontSim::isRunning() const { return d->thread.joinable() && !d->stopping; }
int StorefrontSim::port() const { return d->port; }
QString StorefrontSim::rootUrl() const { return d->rootUrl(); }
QString StorefrontSim::baseUrl() const { return d->rootUrl() + QStringLiteral("/api/v1"); }
QString StorefrontSim::keyPageUrl() const { return d->rootUrl() + QStringLiteral("/create_account_app.php"); }
QString StorefrontSim::manifestUrl() const { return d->rootUrl() + QLatin1String(kManifestPath); }
QString StorefrontSim::email() const { return QLatin1String(kEmail); }
QString StorefrontSim::password() const { return QLatin1String(kPassword); }
QString StorefrontSim::customersId() const { return QLatin1String(kCustomersId); }

QString StorefrontSim::appKey() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->appKey;
}

QString StorefrontSim::issueToken()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->newTokenLocked();
}

void StorefrontSim::reset()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->resetLocked();
}

void StorefrontSim::setFault(Endpoint endpoint, const EndpointFault &fault)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults[endpoint] = fault;
}

void StorefrontSim::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.clear();
    d->downloadFaults.clear();
    d->neverComplete = false;
}

void StorefrontSim::setDownloadFault(const DownloadFault &fault, const QString &fileKey)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->downloadFaults[fileKey] = fault;
}

void StorefrontSim::setPollsToComplete(int polls)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->pollsToComplete = qMax(0, polls);
}

void StorefrontSim::setNeverComplete(bool never)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->neverComplete = never;
}

void StorefrontSim::setTokenLifetime(int seconds)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->tokenLifetimeSec = qMax(0, seconds);
}

void StorefrontSim::expireTokens()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->tokens.clear();
}

void StorefrontSim::setManifest(const QString &version, const QString &date, int manifestRedirects,
                                int installerRedirects)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->manifestVersion = version;
    d->manifestDate = date;
    d->manifestRedirects = qMax(0, manifestRedirects);
    d->installerRedirects = qMax(0, installerRedirects);
}

QByteArray StorefrontSim::installerBytes() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->installerBytesLocked();
}

bool StorefrontSim::publishNewVersion(const QString &productId, int bundleId, qint64 size)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->catalog.publishNewVersion(productId, bundleId, size) != nullptr;
}

QString StorefrontSim::addProduct(const QString &title, const QString &publisher, int fileCount)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->catalog.addProduct(title, publisher, fileCount);
}

QStringList StorefrontSim::productIds() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QStringList ids;
    for (const SimProduct &product : d->catalog.products)
        ids.append(product.id);
    return ids;
}

QList<StorefrontSim::FileInfo> StorefrontSim::files(const QString &productId) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QList<FileInfo> result;
    const SimProduct *product = d->catalog.findProduct(productId);
    if (!product)
        return result;
    for (const SimFile &file : product->files) {
        const SimFileVersion &current = *file.current();
        result.append({productId, file.bundleId, file.filename, current.size, current.md5,
                       serviceDate(current.lastModified), d->downloadUrl(productId, file.bundleId, current.number)});
    }
    return result;
}

QByteArray StorefrontSim::fileBytes(const QString &productId, int bundleId) const
{
    std::shared_ptr<const SimFileVersion> version;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const SimFile *file = d->catalog.findFile(productId, bundleId);
        if (!file)
            return QByteArray();
        version = file->current();
    }
    if (!version->generated)
        return version->bytes;
    QByteArray bytes(int(version->size), '\0');
    simcontent::fillGenerated(version->generatorSeed, 0, bytes.data(), std::size_t(bytes.size()));
    return bytes;
}

QList<StorefrontSim::LoggedRequest> StorefrontSim::requestLog() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->log;
}

int StorefrontSim::countRequests(const QString &method, const QString &pathPrefix) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    int count = 0;
    for (const LoggedRequest &entry : d->log) {
        if ((method.isEmpty() || entry.method == method) && entry.path().startsWith(pathPrefix))
            ++count;
    }
    return count;
}

void StorefrontSim::clearRequestLog()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->log.clear();
}

bool StorefrontSim::endpointFromName(const QString &name, Endpoint *endpoint)
{
    for (const NamedEndpoint &named : kEndpointNames) {
        if (name == QLatin1String(named.name)) {
            *endpoint = named.endpoint;
            return true;
        }
    }
    return false;
}

QStringList StorefrontSim::endpointNames()
{
    QStringList names;
    for (const NamedEndpoint &named : kEndpointNames)
        names.append(QLatin1String(named.name));
    return names;
}

bool StorefrontSim::checksumModeFromName(const QString &name, ChecksumMode *mode)
{
    static const std::map<QString, ChecksumMode> modes = {{QStringLiteral("normal"), ChecksumMode::Normal},
                                                          {QStringLiteral("wrong"), ChecksumMode::Wrong},
                                                          {QStringLiteral("none"), ChecksumMode::None},
                                                          {QStringLiteral("upper"), ChecksumMode::UpperCase}};
    const auto it = modes.find(name);
    if (it == modes.end())
        return false;
    *mode = it->second;
    return true;
}

bool StorefrontSim::parseFaultRule(const QString &rule, Endpoint *endpoint, EndpointFault *fault, QString *error)
{
    const int colon = rule.indexOf(QLatin1Char(':'));
    if (colon < 0 || !endpointFromName(rule.left(colon), endpoint)) {
        *error = QStringLiteral("unknown endpoint in \"%1\"; one of: %2")
                     .arg(rule, endpointNames().join(QStringLiteral(", ")));
        return false;
    }
    *fault = EndpointFault();
    const QStringList items = rule.mid(colon + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString value = item.section(QLatin1Char('='), 1);
        bool ok = true;
        if (key == QLatin1String("status"))
            fault->httpStatus = value.toInt(&ok);
        else if (key == QLatin1String("delay"))
            fault->delayMs = value.toInt(&ok);
        else if (key == QLatin1String("times"))
            fault->times = value.toInt(&ok);
        else if (key == QLatin1String("not-json"))
            fault->notJson = true;
        else if (key == QLatin1String("failure"))
            fault->failure = true;
        else if (key == QLatin1String("unauthorized"))
            fault->unauthorized = true;
        else if (key == QLatin1String("once"))
            fault->times = 1;
        else
            ok = false;
        if (!ok) {
            *error = QStringLiteral("cannot read \"%1\" in \"%2\"").arg(item, rule);
            return false;
        }
    }
    return true;
}
