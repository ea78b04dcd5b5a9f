#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// A local storefront service on 127.0.0.1: the key page, the token, library pages, title info,
// file tasks, downloads with ranges, cover images and the update manifest, with switches that
// make each of them misbehave. Runs on threads of its own; every method is thread-safe.
class StorefrontSim
{
public:
    enum class Endpoint {
        Key,
        Token,
        Library,
        Product,
        FileTaskCreate,
        FileTaskProgress,
        Download,
        Image,
        Manifest,
        Installer,
    };

    // Applied to every matching request while `times` is not 0 (-1: until cleared).
    struct EndpointFault
    {
        int httpStatus = 0;          // replaces the HTTP status, the body stays as it is
        int delayMs = 0;
        bool notJson = false;        // an HTML body instead of the envelope
        bool failure = false;        // an envelope whose "status" is "error"
        bool unauthorized = false;   // 401 with a failure envelope, whatever the token
        int times = -1;
    };

    enum class ChecksumMode { Normal, Wrong, None, UpperCase };

    // For the downloads of one file ("productId/bundleId") or of all files (empty key).
    struct DownloadFault
    {
        qint64 dropAfterBytes = -1;  // close the connection after this many body bytes
        ChecksumMode checksum = ChecksumMode::Normal;
        qint64 bytesPerSecond = 0;   // 0: no cap
        qint64 stallAfterBytes = -1; // stop sending for stallMs after this many body bytes
        int stallMs = 0;
        bool chunked = false;        // no Content-Length: the body goes in chunks
        bool ignoreRange = false;    // answer a range request with the whole file (200)
        int times = -1;              // responses it applies to (-1: until cleared)
    };

    struct Options
    {
        std::uint64_t seed = 1;
        int products = 60;
        int largeFiles = 0;          // products whose single file is generated on the fly
        qint64 largeFileMib = 0;
        int pollsToComplete = 2;     // progress reads before a file task reads "Complete"
        int tokenLifetimeSec = 3600; // 0: tokens never expire
        QString manifestVersion = QStringLiteral("3.0.1.3");
        QString manifestDate = QStringLiteral("2021-01-19 12:00:00");
        int manifestRedirects = 0;
        int installerRedirects = 0;
        bool quiet = true;           // no per-request line on stderr
        // Faults in force from the start and again after every reset.
        QList<QPair<Endpoint, EndpointFault>> faults;
        DownloadFault downloadFault;
        bool neverComplete = false;
    };

    struct LoggedRequest
    {
        QString method;
        QString target;              // path and query, as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;             // multipart fields are logged as name=value lines
        QByteArray header(const QByteArray &name) const;   // case-insensitive; empty if absent
        QString path() const;        // target without the query
    };

    struct FileInfo
    {
        QString productId;
        int bundleId = 0;
        QString filename;
        qint64 size = 0;
        QByteArray md5;
        QString lastModified;        // yyyy-MM-ddThh:mm:ss
        QString downloadUrl;         // the current version's link
    };

    StorefrontSim();
    explicit StorefrontSim(Options options);
    ~StorefrontSim();
    StorefrontSim(const StorefrontSim &) = delete;
    StorefrontSim &operator=(const StorefrontSim &) = delete;

    // Binds 127.0.0.1:port (0: a free port) and serves on a thread of its own.
    bool start(int port = 0);
    void stop();
    bool isRunning() const;
    int port() const;
    QString rootUrl() const;         // http://127.0.0.1:PORT
    QString baseUrl() const;         // http://127.0.0.1:PORT/api/v1
    QString keyPageUrl() const;
    QString manifestUrl() const;

    // The demo account.
    QString email() const;
    QString password() const;
    QString appKey() const;
    QString customersId() const;
    // A valid access token without a request, for tests that start signed in.
    QString issueToken();

    // Controls. reset() restores the catalog, forgets tokens, tasks, faults and the log and
    // returns every setting to the options given at construction.
    void reset();
    void setFault(Endpoint endpoint, const EndpointFault &fault);
    void clearFaults();
    void setDownloadFault(const DownloadFault &fault, const QString &fileKey = QString());
    void setPollsToComplete(int polls);
    void setNeverComplete(bool never);
    void setTokenLifetime(int seconds);
    void expireTokens();
    void setManifest(const QString &version, const QString &date, int manifestRedirects, int installerRedirects);
    QByteArray installerBytes() const;

    // Publishes a new version of a file (new bytes, a later "last_modified", one more checksum
    // entry); false when there is no such file. A generated file takes the size given (-1: the
    // same as before).
    bool publishNewVersion(const QString &productId, int bundleId, qint64 size = -1);
    QString addProduct(const QString &title, const QString &publisher, int fileCount = 1);

    QStringList productIds() const;
    QList<FileInfo> files(const QString &productId) const;
    // The bytes of a file's current version (generated files included: keep them small).
    QByteArray fileBytes(const QString &productId, int bundleId) const;

    QList<LoggedRequest> requestLog() const;
    // Requests whose method matches (empty: any) and whose path starts with pathPrefix.
    int countRequests(const QString &method, const QString &pathPrefix) const;
    void clearRequestLog();

    static bool endpointFromName(const QString &name, Endpoint *endpoint);
    static QStringList endpointNames();
    static bool checksumModeFromName(const QString &name, ChecksumMode *mode);
    // "ENDPOINT:status=503,delay=200,not-json,failure,unauthorized,once,times=N"
    static bool parseFaultRule(const QString &rule, Endpoint *endpoint, EndpointFault *fault, QString *error);

private:
    class Private;
    std::unique_ptr<Private> d;
};
