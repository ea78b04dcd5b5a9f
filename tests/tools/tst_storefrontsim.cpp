#include "storefrontsim.h"

#include <httplib.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(StorefrontSim::EndpointFault)
Q_DECLARE_METATYPE(StorefrontSim::ChecksumMode)

namespace {

const char *const kBoundary = "TOLVANE1Q2W8E3R4T5Y";
const char *const kLibraryQuery =
    "&include_archived=0&fields=products_name,cover_url_fullsize,date_purchased,products_filesize,publishers_name,"
    "products_thumbnail100&embed=files.filename,files.last_modified,files.checksums,files.raw_filesize_bytes,"
    "filters.filters_name,filters.filters_id,filters.parent_id";
const char *const kTaskFields = "?fields=last_modified,download_url,file_tasks_id,progress,checksums";

QByteArray md5(const QByteArray &data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex(); }

QJsonObject envelope(const httplib::Result &result)
{
    return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object() : QJsonObject();
}

QByteArray multipart(const QString &email, const QString &password)
{
    const QByteArray b(kBoundary);
    return "--" + b + "\r\nContent-Disposition: form-data; name=\"email_address\"\r\n\r\n" + email.toUtf8() + "\r\n--" + b
        + "\r\nContent-Disposition: form-data; name=\"password\"\r\n\r\n" + password.toUtf8() + "\r\n--" + b + "--\r\n";
}

std::string path(const QString &url)
{
    const QUrl u(url);
    return QString(u.path() + (u.hasQuery() ? QString(QLatin1Char('?') + u.query()) : QString())).toStdString();
}

} // namespace

class TestStorefrontSim : public QObject
{
    Q_OBJECT

private:
    StorefrontSim::Options smallCatalog() const
    {
        StorefrontSim::Options options;
        options.products = 7;
        options.largeFiles = 1;
        options.largeFileMib = 2;
        options.pollsToComplete = 3;
        return options;
    }

    std::unique_ptr<StorefrontSim> m_sim;

    httplib::Client client(const StorefrontSim &sim) const
    {
        httplib::Client c("127.0.0.1", sim.port());
        c.set_read_timeout(20, 0);
        return c;
    }
    httplib::Client client() const { return client(*m_sim); }
    static httplib::Headers bearer(const QString &token)
    {
        return {{"Authorization", "Bearer " + token.toStdString()}};
    }

    QString login(StorefrontSim &sim)
    {
        auto result = client(sim).Post("/api/v1/token?fields=first_name,last_name,customers_id", bearer(sim.appKey()),
                                       "{}", "application/json");
        return envelope(result).value(QStringLiteral("message")).toObject().value(QStringLiteral("access_token")).toString();
    }

    httplib::Result libraryPage(StorefrontSim &sim, const QString &token, int page, int perPage)
    {
        const std::string target = "/api/v1/customers/" + sim.customersId().toStdString() + "/products?page="
            + std::to_string(page) + "&per_page=" + std::to_string(perPage) + kLibraryQuery;
        return client(sim).Get(target, bearer(token));
    }

    httplib::Result createTask(const QString &token, const QString &productId, int bundleId)
    {
        const std::string body = "products_id=" + productId.toStdString() + "&bundle_id=" + std::to_string(bundleId);
        return client().Post(std::string("/api/v1/file_tasks") + kTaskFields, bearer(token), body,
                             "application/x-www-form-urlencoded");
    }

    StorefrontSim::FileInfo largeFile() const
    {
        return m_sim->files(m_sim->productIds().constLast()).constFirst();
    }

private slots:
    void initTestCase()
    {
        m_sim = std::make_unique<StorefrontSim>(smallCatalog());
        QVERIFY(m_sim->start());
        QVERIFY(m_sim->port() > 0);
        QCOMPARE(m_sim->baseUrl(), QStringLiteral("http://127.0.0.1:%1/api/v1").arg(m_sim->port()));
    }

    void init() { m_sim->reset(); }

    // --- account -------------------------------------------------------------------------
    void keyPage_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("success");
        QTest::newRow("demo account") << QString() << QString() << true;
        QTest::newRow("e-mail in another case") << QStringLiteral("READER@tolvane-store.example") << QString() << true;
        QTest::newRow("wrong password") << QString() << QStringLiteral("nope") << false;
        QTest::newRow("unknown account") << QStringLiteral("someone@else.example") << QString() << false;
        QTest::newRow("empty fields") << QStringLiteral("") << QStringLiteral("") << false;
    }

    void keyPage()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(bool, success);
        if (email.isNull())
            email = m_sim->email();
        if (password.isNull())
            password = m_sim->password();
        auto result = client().Post("/create_account_app.php", multipart(email, password).toStdString(),
                                    std::string("multipart/form-data; boundary=") + kBoundary);
        QVERIFY(result);
        const QJsonObject reply = envelope(result);
        QCOMPARE(reply.value(QStringLiteral("status")).toString() == QLatin1String("success"), success);
        if (success) {
            QCOMPARE(reply.value(QStringLiteral("message")).toObject().value(QStringLiteral("key")).toString(),
                     m_sim->appKey());
        } else {
            QVERIFY(!reply.value(QStringLiteral("message")).toString().isEmpty());
        }
        QVERIFY(m_sim->requestLog().constLast().body.contains("email_address=" + email.toUtf8()));
    }

    void tokenExchange()
    {
        auto good = client().Post("/api/v1/token?fields=first_name,last_name,customers_id", bearer(m_sim->appKey()),
                                  "{}", "application/json");
        const QJsonObject message = envelope(good).value(QStringLiteral("message")).toObject();
        QCOMPARE(envelope(good).value(QStringLiteral("status")).toString(), QStringLiteral("success"));
        QVERIFY(message.value(QStringLiteral("customers_id")).isString());
        QCOMPARE(message.value(QStringLiteral("customers_id")).toString(), m_sim->customersId());
        QVERIFY(!message.value(QStringLiteral("first_name")).toString().isEmpty());
        QVERIFY(!message.value(QStringLiteral("access_token")).toString().isEmpty());

        auto bad = client().Post("/api/v1/token?fields=first_name,last_name,customers_id", bearer(QStringLiteral("x")),
                                 "{}", "application/json");
        QCOMPARE(bad->status, 401);
        QCOMPARE(envelope(bad).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    }

    void bearerChecks()
    {
        const QString token = login(*m_sim);
        QCOMPARE(libraryPage(*m_sim, token, 1, 500)->status, 200);

        for (const QString &wrong : {QString(), QStringLiteral("not-a-token"), m_sim->appKey()}) {
            auto result = libraryPage(*m_sim, wrong, 1, 500);
            QCOMPARE(result->status, 401);
            QCOMPARE(envelope(result).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
        }
        m_sim->expireTokens();
        QCOMPARE(libraryPage(*m_sim, token, 1, 500)->status, 401);

        // A token with a short lifetime works at first and expires on its own.
        m_sim->setTokenLifetime(1);
        const QString shortLived = login(*m_sim);
        QCOMPARE(libraryPage(*m_sim, shortLived, 1, 500)->status, 200);
        QTRY_COMPARE_WITH_TIMEOUT(libraryPage(*m_sim, shortLived, 1, 500)->status, 401, 5000);
    }

    // --- library -------------------------------------------------------------------------
    void paging_data()
    {
        QTest::addColumn<int>("products");
        QTest::addColumn<QList<int>>("pageSizes");
        QTest::newRow("empty") << 0 << QList<int>{0};
        QTest::newRow("one short page") << 499 << QList<int>{499};
        QTest::newRow("exactly one page") << 500 << QList<int>{500, 0};
        QTest::newRow("two full pages") << 1000 << QList<int>{500, 500, 0};
    }

    void paging()
    {
        QFETCH(int, products);
        QFETCH(QList<int>, pageSizes);
        StorefrontSim::Options options;
        options.products = products;
        StorefrontSim sim(options);
        QVERIFY(sim.start());
        const QString token = login(sim);
        QList<int> sizes;
        QSet<QString> ids;
        for (int page = 1; page <= 5; ++page) {
            const QJsonArray items = envelope(libraryPage(sim, token, page, 500)).value(QStringLiteral("message")).toArray();
            sizes.append(items.size());
            for (const QJsonValue &item : items)
                ids.insert(item.toObject().value(QStringLiteral("products_id")).toString());
            if (items.size() != 500)
                break;
        }
        QCOMPARE(sizes, pageSizes);
        QCOMPARE(ids.size(), products);
        QCOMPARE(sim.countRequests(QStringLiteral("GET"), QStringLiteral("/api/v1/customers/")), pageSizes.size());
    }

    void productMembers()
    {
        StorefrontSim sim;   // the demo-sized catalog
        QVERIFY(sim.start());
        const QJsonArray items = envelope(libraryPage(sim, login(sim), 1, 500)).value(QStringLiteral("message")).toArray();
        QCOMPARE(items.size(), 60);

        int withoutSystem = 0;
        QSet<int> fileCounts;
        QString allTitles;
        for (const QJsonValue &value : items) {
            const QJsonObject product = value.toObject();
            for (const char *member : {"products_id", "products_name", "publishers_name", "cover_url_fullsize",
                                       "products_thumbnail100", "date_purchased", "is_archived"})
                QVERIFY2(product.value(QLatin1String(member)).isString(), member);
            QVERIFY(QDateTime::fromString(product.value(QStringLiteral("date_purchased")).toString(),
                                          QStringLiteral("yyyy-MM-ddThh:mm:ss")).isValid());
            allTitles += product.value(QStringLiteral("products_name")).toString() + QLatin1Char('\n')
                + product.value(QStringLiteral("publishers_name")).toString() + QLatin1Char('\n');

            bool hasSystem = false;
            for (const QJsonValue &filter : product.value(QStringLiteral("filters")).toArray()) {
                QVERIFY(filter.toObject().value(QStringLiteral("parent_id")).isString());
                hasSystem |= filter.toObject().value(QStringLiteral("parent_id")).toString() == QLatin1String("30");
            }
            withoutSystem += hasSystem ? 0 : 1;

            const QJsonArray files = product.value(QStringLiteral("files")).toArray();
            fileCounts.insert(files.size());
            for (const QJsonValue &f : files) {
                const QJsonObject file = f.toObject();
                QVERIFY(file.value(QStringLiteral("bundle_id")).isDouble());
                QVERIFY(file.value(QStringLiteral("raw_filesize_bytes")).toDouble() > 0);
                QVERIFY(!file.value(QStringLiteral("filename")).toString().isEmpty());
                QVERIFY(QDateTime::fromString(file.value(QStringLiteral("last_modified")).toString().left(19),
                                              QStringLiteral("yyyy-MM-ddThh:mm:ss")).isValid());
                const QJsonObject checksum = file.value(QStringLiteral("checksums")).toArray().at(0).toObject();
                QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                            .match(checksum.value(QStringLiteral("checksum")).toString()).hasMatch());
                QVERIFY(QDateTime::fromString(checksum.value(QStringLiteral("checksum_date")).toString(),
                                              QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
            }
        }
        // Names that a file system does not take as they are.
        for (const QString &pattern : {QStringLiteral(":"), QStringLiteral("\\?"), QStringLiteral("\\.\\n"),
                                       QStringLiteral(" \\n"), QStringLiteral("[^\\x{0}-\\x{7f}]")})
            QVERIFY2(allTitles.contains(QRegularExpression(pattern)), qPrintable(pattern));
        QVERIFY(withoutSystem > 0 && withoutSystem < 60);
        QCOMPARE(fileCounts, (QSet<int>{1, 2, 3, 4}));

        // The same seed gives the same catalog.
        StorefrontSim again;
        QCOMPARE(again.productIds(), sim.productIds());
        const QString id = sim.productIds().at(7);
        QCOMPARE(again.files(id).constFirst().md5, sim.files(id).constFirst().md5);
    }

    void titleInfo()
    {
        const QString token = login(*m_sim);
        const QString id = m_sim->productIds().at(2);
        auto result = client().Get("/api/v1/products/" + id.toStdString(), bearer(token));
        const QJsonObject product = envelope(result).value(QStringLiteral("message")).toObject();
        QCOMPARE(product.value(QStringLiteral("products_id")).toString(), id);
        QCOMPARE(product.value(QStringLiteral("files")).toArray().size(), m_sim->files(id).size());

        auto missing = client().Get("/api/v1/products/1", bearer(token));
        QCOMPARE(missing->status, 404);
        QCOMPARE(envelope(missing).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    }

    // --- file tasks ----------------------------------------------------------------------
    void fileTaskCompletesAfterPolls()
    {
        const QString token = login(*m_sim);
        const StorefrontSim::FileInfo file = m_sim->files(m_sim->productIds().first()).first();
        const QJsonObject task = envelope(createTask(token, file.productId, file.bundleId))
                                     .value(QStringLiteral("message")).toObject();
        QCOMPARE(m_sim->requestLog().constLast().body,
                 "products_id=" + file.productId.toUtf8() + "&bundle_id=" + QByteArray::number(file.bundleId));
        QVERIFY(task.value(QStringLiteral("progress")).toString() != QLatin1String("Complete"));
        QCOMPARE(task.value(QStringLiteral("download_url")).toString(), file.downloadUrl);
        QCOMPARE(task.value(QStringLiteral("last_modified")).toString(), file.lastModified);
        QCOMPARE(task.value(QStringLiteral("checksums")).toArray().at(0).toObject().value(QStringLiteral("checksum")).toString(),
                 QString::fromLatin1(file.md5));

        const std::string progress = "/api/v1/file_tasks/" + task.value(QStringLiteral("file_tasks_id")).toString().toStdString()
            + "?fields=last_modified,download_url,file_tasks_id,progress,checksums,filename";
        QStringList states;
        for (int poll = 0; poll < 3; ++poll) {
            const QJsonObject reply = envelope(client().Get(progress, bearer(token))).value(QStringLiteral("message")).toObject();
            states.append(reply.value(QStringLiteral("progress")).toString());
            QCOMPARE(reply.value(QStringLiteral("filename")).toString(), file.filename);
        }
        QCOMPARE(states.mid(0, 2).contains(QStringLiteral("Complete")), false);
        QCOMPARE(states.last(), QStringLiteral("Complete"));
        QCOMPARE(m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/api/v1/file_tasks/")), 3);

        m_sim->setPollsToComplete(0);
        const QJsonObject immediate = envelope(createTask(token, file.productId, file.bundleId))
                                          .value(QStringLiteral("message")).toObject();
        QCOMPARE(immediate.value(QStringLiteral("progress")).toString(), QStringLiteral("Complete"));

        m_sim->setNeverComplete(true);
        const QString id = envelope(createTask(token, file.productId, file.bundleId)).value(QStringLiteral("message"))
                               .toObject().value(QStringLiteral("file_tasks_id")).toString();
        for (int poll = 0; poll < 20; ++poll) {
            const QJsonObject reply = envelope(client().Get("/api/v1/file_tasks/" + id.toStdString(), bearer(token)))
                                          .value(QStringLiteral("message")).toObject();
            QVERIFY(reply.value(QStringLiteral("progress")).toString() != QLatin1String("Complete"));
        }

        auto missing = createTask(token, file.productId, 1);
        QCOMPARE(envelope(missing).value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    }

    // --- downloads -----------------------------------------------------------------------
    void rangedDownload_data()
    {
        QTest::addColumn<bool>("generated");
        QTest::addColumn<qint64>("offsetFromEnd");   // -1: no Range header
        QTest::addColumn<int>("status");
        for (bool generated : {false, true}) {
            const QByteArray kind = generated ? "generated" : "pdf";
            QTest::newRow(QByteArray(kind + ", whole").constData()) << generated << qint64(-1) << 200;
            QTest::newRow(QByteArray(kind + ", all but the first byte").constData()) << generated << qint64(1) << 206;
            QTest::newRow(QByteArray(kind + ", last byte").constData()) << generated << qint64(-2) << 206;
            QTest::newRow(QByteArray(kind + ", unaligned middle").constData()) << generated << qint64(-3) << 206;
            QTest::newRow(QByteArray(kind + ", at the end").constData()) << generated << qint64(-4) << 416;
            QTest::newRow(QByteArray(kind + ", past the end").constData()) << generated << qint64(-5) << 416;
        }
    }

    void rangedDownload()
    {
        QFETCH(bool, generated);
        QFETCH(qint64, offsetFromEnd);
        QFETCH(int, status);
        const StorefrontSim::FileInfo file = generated ? largeFile() : m_sim->files(m_sim->productIds().at(1)).first();
        const QByteArray whole = m_sim->fileBytes(file.productId, file.bundleId);
        QCOMPARE(whole.size(), file.size);
        QCOMPARE(md5(whole), file.md5);

        // Offsets: 1, size - 1, an odd one in the middle, size, size + 10.
        const QMap<qint64, qint64> offsets{{1, 1}, {-2, file.size - 1}, {-3, file.size / 2 + 3},
                                           {-4, file.size}, {-5, file.size + 10}};
        httplib::Headers headers;
        qint64 offset = 0;
        if (offsetFromEnd != -1) {
            offset = offsets.value(offsetFromEnd);
            headers.insert({"Range", "bytes=" + std::to_string(offset) + "-"});
        }
        auto result = client().Get(path(file.downloadUrl), headers);
        QVERIFY(result);
        QCOMPARE(result->status, status);
        if (status == 416) {
            QCOMPARE(QString::fromStdString(result->get_header_value("Content-Range")),
                     QStringLiteral("bytes */%1").arg(file.size));
            return;
        }
        const QByteArray body = QByteArray::fromStdString(result->body);
        QCOMPARE(QByteArray::fromStdString(result->get_header_value("Content-Length")).toLongLong(), file.size - offset);
        QVERIFY(body == whole.mid(int(offset)));
        if (status == 206) {
            QCOMPARE(QString::fromStdString(result->get_header_value("Content-Range")),
                     QStringLiteral("bytes %1-%2/%3").arg(offset).arg(file.size - 1).arg(file.size));
        }
        if (offsetFromEnd != -1)
            QCOMPARE(m_sim->requestLog().constLast().header("Range"), "bytes=" + QByteArray::number(offset) + '-');
    }

    void checksumsMatchServedBytes()
    {
        const QString token = login(*m_sim);
        const QJsonArray items = envelope(libraryPage(*m_sim, token, 1, 500)).value(QStringLiteral("message")).toArray();
        QCOMPARE(items.size(), 8);
        for (const QJsonValue &item : items) {
            const QString productId = item.toObject().value(QStringLiteral("products_id")).toString();
            for (const QJsonValue &f : item.toObject().value(QStringLiteral("files")).toArray()) {
                const QJsonObject file = f.toObject();
                const int bundleId = file.value(QStringLiteral("bundle_id")).toInt();
                const QJsonObject task = envelope(createTask(token, productId, bundleId)).value(QStringLiteral("message")).toObject();
                const std::string url = path(task.value(QStringLiteral("download_url")).toString());
                const QString expected = file.value(QStringLiteral("checksums")).toArray().at(0).toObject()
                                             .value(QStringLiteral("checksum")).toString();
                // Two ranged halves, as a resumed transfer fetches them.
                const qint64 size = qint64(file.value(QStringLiteral("raw_filesize_bytes")).toDouble());
                const qint64 split = size / 3 + 1;
                auto head = client().Get(url, {{"Range", "bytes=0-" + std::to_string(split - 1)}});
                auto tail = client().Get(url, {{"Range", "bytes=" + std::to_string(split) + "-"}});
                QVERIFY(head && tail);
                QCOMPARE(QString::fromLatin1(md5(QByteArray::fromStdString(head->body + tail->body))), expected);
            }
        }
    }

    void downloadChecksumFaults_data()
    {
        QTest::addColumn<StorefrontSim::ChecksumMode>("mode");
        QTest::newRow("wrong") << StorefrontSim::ChecksumMode::Wrong;
        QTest::newRow("none") << StorefrontSim::ChecksumMode::None;
        QTest::newRow("upper case") << StorefrontSim::ChecksumMode::UpperCase;
    }

    void downloadChecksumFaults()
    {
        QFETCH(StorefrontSim::ChecksumMode, mode);
        const QString token = login(*m_sim);
        const StorefrontSim::FileInfo file = m_sim->files(m_sim->productIds().at(0)).first();
        const StorefrontSim::FileInfo other = m_sim->files(m_sim->productIds().at(1)).first();
        StorefrontSim::DownloadFault fault;
        fault.checksum = mode;
        m_sim->setDownloadFault(fault, file.productId + QLatin1Char('/') + QString::number(file.bundleId));

        const auto checksums = [&](const StorefrontSim::FileInfo &f) {
            return envelope(createTask(token, f.productId, f.bundleId)).value(QStringLiteral("message")).toObject()
                .value(QStringLiteral("checksums")).toArray();
        };
        const QJsonArray faulty = checksums(file);
        const QString served = faulty.at(0).toObject().value(QStringLiteral("checksum")).toString();
        switch (mode) {
        case StorefrontSim::ChecksumMode::Wrong:
            QCOMPARE(faulty.size(), 1);
            QVERIFY(served.size() == 32 && served != QString::fromLatin1(file.md5));
            break;
        case StorefrontSim::ChecksumMode::None:
            QVERIFY(faulty.isEmpty());
            break;
        default:
            QCOMPARE(served, QString::fromLatin1(file.md5).toUpper());
        }
        // The library page agrees with the file task, and other files are untouched.
        const QJsonArray page = envelope(libraryPage(*m_sim, token, 1, 500)).value(QStringLiteral("message")).toArray();
        QCOMPARE(page.at(0).toObject().value(QStringLiteral("files")).toArray().at(0).toObject()
                     .value(QStringLiteral("checksums")).toArray(), faulty);
        QCOMPARE(checksums(other).at(0).toObject().value(QStringLiteral("checksum")).toString(), QString::fromLatin1(other.md5));
    }

    void dropAfterBytes()
    {
        const StorefrontSim::FileInfo file = largeFile();
        StorefrontSim::DownloadFault fault;
        fault.dropAfterBytes = 300000;
        m_sim->setDownloadFault(fault);
        qint64 received = 0;
        auto result = client().Get(path(file.downloadUrl), [&](const char *, size_t n) {
            received += qint64(n);
            return true;
        });
        QVERIFY(!result);   // the body ended before its Content-Length
        QCOMPARE(received, qint64(300000));

        // A resume past the limit gets nothing more; one from the start again stops at the limit.
        received = 0;
        auto resumed = client().Get(path(file.downloadUrl), {{"Range", "bytes=100-"}}, [&](const char *, size_t n) {
            received += qint64(n);
            return true;
        });
        QVERIFY(!resumed);
        QCOMPARE(received, qint64(300000));
    }

    void bandwidthCap()
    {
        const StorefrontSim::FileInfo file = largeFile();
        StorefrontSim::DownloadFault fault;
        fault.bytesPerSecond = 400 * 1024;
        m_sim->setDownloadFault(fault);
        QElapsedTimer timer;
        timer.start();
        auto result = client().Get(path(file.downloadUrl), {{"Range", "bytes=" + std::to_string(file.size - 200 * 1024) + "-"}});
        QVERIFY(result);
        QCOMPARE(result->body.size(), size_t(200 * 1024));
        // 200 KiB at 400 KiB/s: about half a second, never much less.
        QVERIFY2(timer.elapsed() >= 420, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    // --- fault switches on JSON endpoints ------------------------------------------------
    void endpointFaults_data()
    {
        QTest::addColumn<StorefrontSim::EndpointFault>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("envelopeStatus");   // empty: the body is not JSON
        QTest::addColumn<bool>("onlyOnce");
        StorefrontSim::EndpointFault f;
        f.httpStatus = 500;
        QTest::newRow("status only, body still a success") << f << 500 << QStringLiteral("success") << false;
        f = {};
        f.notJson = true;
        QTest::newRow("not JSON") << f << 200 << QString() << false;
        f = {};
        f.failure = true;
        QTest::newRow("failure envelope") << f << 200 << QStringLiteral("error") << false;
        f = {};
        f.failure = true;
        f.httpStatus = 503;
        QTest::newRow("failure with a status") << f << 503 << QStringLiteral("error") << false;
        f = {};
        f.unauthorized = true;
        f.times = 1;
        QTest::newRow("401 once") << f << 401 << QStringLiteral("error") << true;
        f = {};
        f.delayMs = 300;
        QTest::newRow("delay") << f << 200 << QStringLiteral("success") << false;
    }

    void endpointFaults()
    {
        QFETCH(StorefrontSim::EndpointFault, fault);
        QFETCH(int, status);
        QFETCH(QString, envelopeStatus);
        QFETCH(bool, onlyOnce);
        const QString token = login(*m_sim);
        m_sim->setFault(StorefrontSim::Endpoint::Library, fault);
        QElapsedTimer timer;
        timer.start();
        auto result = libraryPage(*m_sim, token, 1, 500);
        QVERIFY(result);
        QVERIFY(timer.elapsed() >= fault.delayMs);
        QCOMPARE(result->status, status);
        const QJsonDocument body = QJsonDocument::fromJson(QByteArray::fromStdString(result->body));
        QCOMPARE(body.isObject(), !envelopeStatus.isEmpty());
        QCOMPARE(body.object().value(QStringLiteral("status")).toString(), envelopeStatus);

        // Other endpoints are unaffected; the faulty one stays faulty unless limited.
        QCOMPARE(client().Get("/api/v1/products/" + m_sim->productIds().first().toStdString(), bearer(token))->status, 200);
        QCOMPARE(libraryPage(*m_sim, token, 1, 500)->status, onlyOnce ? 200 : status);
        m_sim->clearFaults();
        QCOMPARE(libraryPage(*m_sim, token, 1, 500)->status, 200);
    }

    void tokenUnauthorizedOnceCountsRenewals()
    {
        // What a client sees when its token request itself is refused once.
        StorefrontSim::EndpointFault fault;
        fault.unauthorized = true;
        fault.times = 1;
        m_sim->setFault(StorefrontSim::Endpoint::Token, fault);
        QVERIFY(login(*m_sim).isEmpty());
        QVERIFY(!login(*m_sim).isEmpty());
        QCOMPARE(m_sim->countRequests(QStringLiteral("POST"), QStringLiteral("/api/v1/token")), 2);
    }

    // --- catalog changes -----------------------------------------------------------------
    void publishNewVersion()
    {
        const QString token = login(*m_sim);
        const StorefrontSim::FileInfo before = m_sim->files(m_sim->productIds().at(3)).first();
        const QByteArray oldBytes = m_sim->fileBytes(before.productId, before.bundleId);
        QVERIFY(m_sim->publishNewVersion(before.productId, before.bundleId));
        QVERIFY(!m_sim->publishNewVersion(before.productId, 42));
        const StorefrontSim::FileInfo after = m_sim->files(before.productId).first();
        QVERIFY(after.md5 != before.md5);
        QVERIFY(after.lastModified > before.lastModified);
        QVERIFY(after.downloadUrl != before.downloadUrl);

        const QJsonObject task = envelope(createTask(token, after.productId, after.bundleId)).value(QStringLiteral("message")).toObject();
        QCOMPARE(task.value(QStringLiteral("last_modified")).toString(), after.lastModified);
        const QJsonArray checksums = task.value(QStringLiteral("checksums")).toArray();
        QCOMPARE(checksums.size(), 2);
        QCOMPARE(checksums.at(1).toObject().value(QStringLiteral("checksum")).toString(), QString::fromLatin1(after.md5));
        QCOMPARE(md5(QByteArray::fromStdString(client().Get(path(task.value(QStringLiteral("download_url")).toString()))->body)),
                 after.md5);
        // A link handed out earlier keeps serving the bytes it stood for.
        QVERIFY(QByteArray::fromStdString(client().Get(path(before.downloadUrl))->body) == oldBytes);

        // Generated files get new bytes too.
        const StorefrontSim::FileInfo large = largeFile();
        QVERIFY(m_sim->publishNewVersion(large.productId, large.bundleId));
        QCOMPARE(md5(m_sim->fileBytes(large.productId, large.bundleId)), largeFile().md5);
        QVERIFY(largeFile().md5 != large.md5);
    }

    void addProductAndReset()
    {
        const QString token = login(*m_sim);
        const QString id = m_sim->addProduct(QStringLiteral("Fresh: Arrival?"), QStringLiteral("Nordlys Forlag."), 2);
        const QJsonArray page = envelope(libraryPage(*m_sim, token, 1, 500)).value(QStringLiteral("message")).toArray();
        QCOMPARE(page.size(), 9);
        QCOMPARE(page.last().toObject().value(QStringLiteral("products_id")).toString(), id);
        QCOMPARE(page.last().toObject().value(QStringLiteral("files")).toArray().size(), 2);

        m_sim->reset();
        QCOMPARE(m_sim->productIds().size(), 8);
        QCOMPARE(m_sim->requestLog().size(), 0);
        QCOMPARE(libraryPage(*m_sim, token, 1, 500)->status, 401);   // tokens are forgotten
    }

    void adminEndpoints()
    {
        httplib::Client c = client();
        QCOMPARE(c.Post("/admin/fault?endpoint=token&unauthorized=1&times=1", "", "text/plain")->status, 200);
        QCOMPARE(c.Post("/admin/fault?endpoint=nowhere", "", "text/plain")->status, 400);
        QVERIFY(login(*m_sim).isEmpty());
        const QString token = login(*m_sim);
        QVERIFY(!token.isEmpty());

        QCOMPARE(c.Post("/admin/file-tasks?polls=0", "", "text/plain")->status, 200);
        const StorefrontSim::FileInfo file = m_sim->files(m_sim->productIds().first()).first();
        QCOMPARE(envelope(createTask(token, file.productId, file.bundleId)).value(QStringLiteral("message")).toObject()
                     .value(QStringLiteral("progress")).toString(), QStringLiteral("Complete"));

        QCOMPARE(c.Post(QString("/admin/download-fault?checksum=upper&file=" + file.productId + QLatin1Char('/')
                                + QString::number(file.bundleId)).toStdString(), "", "text/plain")->status, 200);
        QCOMPARE(envelope(createTask(token, file.productId, file.bundleId)).value(QStringLiteral("message")).toObject()
                     .value(QStringLiteral("checksums")).toArray().at(0).toObject().value(QStringLiteral("checksum")).toString(),
                 QString::fromLatin1(file.md5.toUpper()));

        QCOMPARE(c.Post(QString("/admin/publish?product=" + file.productId + "&bundle=" + QString::number(file.bundleId)).toStdString(),
                        "", "text/plain")->status, 200);
        QVERIFY(m_sim->files(file.productId).first().md5 != file.md5);

        const QJsonArray log = envelope(c.Get("/admin/log?path=/api/v1/token")).value(QStringLiteral("message")).toArray();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(1).toObject().value(QStringLiteral("headers")).toObject().value(QStringLiteral("Authorization")).toString(),
                 QStringLiteral("Bearer ") + m_sim->appKey());

        QCOMPARE(c.Post("/admin/reset", "", "text/plain")->status, 200);
        QCOMPARE(m_sim->files(file.productId).first().md5, file.md5);
        QVERIFY(envelope(c.Get("/admin/log")).value(QStringLiteral("message")).toArray().isEmpty());
    }

    // --- images and the update manifest --------------------------------------------------
    void images()
    {
        const QString id = m_sim->productIds().first();
        for (const auto &shape : {qMakePair(QStringLiteral("/images/covers/%1.png"), QSize(300, 420)),
                                  qMakePair(QStringLiteral("/images/thumbs/%1-100.png"), QSize(100, 140))}) {
            auto first = client().Get(shape.first.arg(id).toStdString());
            auto second = client().Get(shape.first.arg(id).toStdString());
            QCOMPARE(first->status, 200);
            const QByteArray png = QByteArray::fromStdString(first->body);
            QVERIFY(png.startsWith("\x89PNG\r\n\x1A\n"));
            QCOMPARE(qFromBigEndian<quint32>(png.constData() + 16), quint32(shape.second.width()));
            QCOMPARE(qFromBigEndian<quint32>(png.constData() + 20), quint32(shape.second.height()));
            QVERIFY(first->body == second->body);
        }
        QCOMPARE(client().Get("/images/covers/1.png")->status, 404);
    }

    void manifest_data()
    {
        QTest::addColumn<int>("manifestRedirects");
        QTest::addColumn<int>("installerRedirects");
        QTest::newRow("direct") << 0 << 0;
        QTest::newRow("behind redirects") << 2 << 3;
    }

    void manifest()
    {
        QFETCH(int, manifestRedirects);
        QFETCH(int, installerRedirects);
        m_sim->setManifest(QStringLiteral("3.0.1.4"), QStringLiteral("2021-02-01 08:00:00"), manifestRedirects,
                           installerRedirects);
        httplib::Client c = client();
        c.set_follow_location(true);
        auto result = c.Get(path(m_sim->manifestUrl()));
        QCOMPARE(result->status, 200);
        const QStringList lines = QString::fromStdString(result->body).split(QRegularExpression(QStringLiteral("\r?\n")));
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines.at(0), QStringLiteral("3.0.1.4"));
        QCOMPARE(QDateTime::fromString(lines.at(1), QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                 QDateTime(QDate(2021, 2, 1), QTime(8, 0)));
        m_sim->clearRequestLog();
        auto installer = c.Get(path(lines.at(2)));
        QCOMPARE(installer->status, 200);
        QVERIFY(QByteArray::fromStdString(installer->body) == m_sim->installerBytes());
        QCOMPARE(m_sim->countRequests(QStringLiteral("GET"), QStringLiteral("/library-client/")), installerRedirects + 1);
    }

    // --- the program ---------------------------------------------------------------------
    void executable()
    {
        QProcess help;
        help.start(QStringLiteral(STOREFRONT_SIM_BINARY), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        const QString usage = QString::fromUtf8(help.readAllStandardOutput());
        for (const char *flag : {"--port", "--seed", "--products", "--large-file-mib", "--large-files", "--polls",
                                 "--never-complete", "--token-lifetime", "--fault", "--drop-after", "--checksum",
                                 "--bandwidth", "--manifest-version", "--manifest-date", "--manifest-redirects",
                                 "--installer-redirects", "--verbose", "/admin/reset", "/admin/log"})
            QVERIFY2(usage.contains(QLatin1String(flag)), flag);

        QProcess sim;
        sim.start(QStringLiteral(STOREFRONT_SIM_BINARY),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--products"), QStringLiteral("3"),
                   QStringLiteral("--fault"), QStringLiteral("product:status=418,once")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine() || sim.state() == QProcess::NotRunning, 10000);
        const QString first = QString::fromUtf8(sim.readLine()).trimmed();
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)$")).match(first);
        QVERIFY2(match.hasMatch(), qPrintable(first));
        QTRY_VERIFY_WITH_TIMEOUT(sim.bytesAvailable() > 0 && sim.peek(4096).count('\n') >= 3, 5000);
        QVERIFY(sim.readLine().startsWith("email: "));

        httplib::Client c("127.0.0.1", match.captured(1).toInt());
        auto reply = c.Get("/admin/account");
        QVERIFY(reply);
        const QJsonObject account = envelope(reply).value(QStringLiteral("message")).toObject();
        QCOMPARE(account.value(QStringLiteral("email")).toString(), m_sim->email());
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);

        QProcess wrong;
        wrong.start(QStringLiteral(STOREFRONT_SIM_BINARY), {QStringLiteral("--fault"), QStringLiteral("nowhere:status=1")});
        QVERIFY(wrong.waitForFinished(10000));
        QCOMPARE(wrong.exitCode(), 2);
    }

    void cleanupTestCase() { m_sim.reset(); }
};

QTEST_GUILESS_MAIN(TestStorefrontSim)
#include "tst_storefrontsim.moc"
