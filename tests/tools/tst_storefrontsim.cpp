#include "storefrontsim.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using Sim = StorefrontSim;
Q_DECLARE_METATYPE(Sim::EndpointFault)

namespace {

const char *const kLibraryQuery =
    "&include_archived=0&fields=products_name,cover_url_fullsize,date_purchased,products_filesize,publishers_name,"
    "products_thumbnail100&embed=files.filename,files.last_modified,files.checksums,files.raw_filesize_bytes,"
    "filters.filters_name,filters.filters_id,filters.parent_id";

QJsonObject message(const httplib::Result &result)
{
    return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("message").toObject()
                  : QJsonObject();
}

httplib::Headers bearer(const QString &token) { return {{"Authorization", "Bearer " + token.toStdString()}}; }

} // namespace

class TestStorefrontSim : public QObject
{
    Q_OBJECT

    std::unique_ptr<Sim> m_sim;

    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", m_sim->port());
        c.set_read_timeout(20, 0);
        return c;
    }
    QString login()
    {
        return message(client().Post("/api/v1/token?fields=first_name,last_name,customers_id", bearer(m_sim->appKey()), "{}",
                                     "application/json"))
            .value("access_token").toString();
    }
    httplib::Result libraryPage(const QString &token)
    {
        return client().Get("/api/v1/customers/" + m_sim->customersId().toStdString() + "/products?page=1&per_page=500"
                                + kLibraryQuery,
                            bearer(token));
    }

private slots:
    void initTestCase()
    {
        Sim::Options options;
        options.products = 7;
        m_sim = std::make_unique<Sim>(options);
        QVERIFY(m_sim->start());
    }

    void init() { m_sim->reset(); }

    void endpointFaults_data()
    {
        QTest::addColumn<Sim::EndpointFault>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("envelopeStatus");   // empty: the body is not JSON
        using F = Sim::EndpointFault;   // status, delay, not JSON, failure, unauthorized, times
        QTest::newRow("not JSON") << F{0, 0, true, false, false, -1} << 200 << "";
        QTest::newRow("failure with a status") << F{503, 0, false, true, false, -1} << 503 << "error";
        QTest::newRow("401 once") << F{0, 0, false, false, true, 1} << 401 << "error";
        QTest::newRow("delay") << F{0, 300, false, false, false, -1} << 200 << "success";
    }

    void endpointFaults()
    {
        QFETCH(Sim::EndpointFault, fault);
        QFETCH(int, status);
        QFETCH(QString, envelopeStatus);
        const QString token = login();
        m_sim->setFault(Sim::Endpoint::Library, fault);
        QElapsedTimer timer;
        timer.start();
        auto result = libraryPage(token);
        QVERIFY(result && timer.elapsed() >= fault.delayMs);
        QCOMPARE(result->status, status);
        const QJsonDocument body = QJsonDocument::fromJson(QByteArray::fromStdString(result->body));
        QCOMPARE(body.isObject(), !envelopeStatus.isEmpty());
        QCOMPARE(body.object().value("status").toString(), envelopeStatus);

        // Other endpoints are unaffected; the faulty one stays faulty unless limited.
        QCOMPARE(client().Get("/api/v1/products/" + m_sim->productIds().first().toStdString(), bearer(token))->status, 200);
        QCOMPARE(libraryPage(token)->status, fault.times == 1 ? 200 : status);
        m_sim->clearFaults();
        QCOMPARE(libraryPage(token)->status, 200);
    }

    void executable()
    {
        QProcess sim;
        sim.start(STOREFRONT_SIM_BINARY, {"--port", "0", "--products", "3", "--fault", "product:status=418,once"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine() || sim.state() == QProcess::NotRunning, 10000);
        const QString first = QString::fromUtf8(sim.readLine()).trimmed();
        const auto match = QRegularExpression("^listening on http://127\\.0\\.0\\.1:(\\d+)$").match(first);
        QVERIFY2(match.hasMatch(), qPrintable(first));
        httplib::Client c("127.0.0.1", match.captured(1).toInt());
        QCOMPARE(message(c.Get("/admin/account")).value("email").toString(), m_sim->email());
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void cleanupTestCase() { m_sim.reset(); }
};

QTEST_GUILESS_MAIN(TestStorefrontSim)
#include "tst_storefrontsim.moc"
