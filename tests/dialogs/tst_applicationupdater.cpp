#include "dialogs/applicationupdater.h"
#include "logcapture.h"
#include "loopbackserver.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

// The interface of the update dialog view, as native code drives it.
const QByteArray kDialogQml = R"(
import QtQuick 2.13
Item {
    visible: false
    property int opens: 0
    signal yes()
    signal no()
    signal cancel()
    function open() { opens += 1; visible = true }
    function close() { visible = false }
}
)";

const QString kNewer = QStringLiteral("2021-01-19 12:00:01");

// A manifest one second newer than the build, offering the installer at the address.
std::string newerManifest(const QString &installer)
{
    return QString("3.0.1.4\n" + kNewer + "\n" + installer + "\n").toStdString();
}

} // namespace

class TestApplicationUpdater : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid() && m_record.isValid() && m_tools.isValid());
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        // A package that would betray being run: it is a script that leaves a mark.
        m_installer = "#!/bin/sh\ntouch '" + m_record.path().toLocal8Bit() + "/package-ran'\n";
        // Records its arguments and the package's bytes and mode, as the real hand-over is started.
        const QByteArray record = m_record.path().toLocal8Bit();
        m_handOver = m_tools.filePath("hand-over");
        QFile script(m_handOver);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n"
                     "cat \"$1\" > '" + record + "/copy'\n"
                     "stat -c %a \"$1\" > '" + record + "/mode'\n"
                     "printf '%s\\n' \"$@\" > '" + record + "/args.tmp'\n"
                     "mv '" + record + "/args.tmp' '" + record + "/args'\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void init()
    {
        m_server = std::make_unique<LoopbackServer>();
        const std::string installer = m_installer.toStdString();
        m_server->get("/manifest", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(m_manifest, "text/plain");
        });
        m_server->get("/installer", [installer](const httplib::Request &, httplib::Response &res) {
            res.set_content(installer, "application/octet-stream");
        });
        m_server->get("/endless", [this](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink &sink) {
                static const std::string chunk(64 * 1024, 'x');
                m_endlessSent += qint64(chunk.size());
                return sink.write(chunk.data(), chunk.size());
            });
        });
        m_server->get("/gone", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("<html>not here</html>", "text/html");
        });
        redirect("/hop/1", "/hop/0");
        redirect("/hop/0", "/installer");
        redirect("/loop", "/loop");
        redirect("/away", "http://downloads.tolvane-store.example/setup");
        m_server->start();

        QQmlComponent component(&m_engine);
        component.setData(kDialogQml, QUrl());
        m_item.reset(component.create());
        QVERIFY2(m_item, qPrintable(component.errorString()));
        make(QUrl(url("/manifest")));
    }

    void cleanup()
    {
        m_updater.reset();
        m_item.reset();
        m_server.reset();
        for (const QString &name : tempFiles())
            QFile::remove(m_temp.filePath(name));
        for (const QString &name : QDir(m_record.path()).entryList(QDir::Files))
            QFile::remove(m_record.filePath(name));
    }

    void offersByDate_data()
    {
        QTest::addColumn<QString>("manifestUrl");   // a path on the test server, or an address elsewhere
        QTest::addColumn<QString>("manifest");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("failed");   // the check could not tell: no "No updates available"
        const QString newer = QString::fromStdString(newerManifest("/installer"));
        QTest::newRow("one second later, CR LF")
            << "/manifest" << QString("3.0.1.4\r\n" + kNewer + "\r\n/installer\r\nignored\r\n") << true << false;
        QTest::newRow("higher version, older date")
            << "/manifest" << "9.9.9.9\n2020-12-31 23:59:59\n/installer\n" << false << false;
        QTest::newRow("not a manifest") << "/manifest" << "<html><body>Moved</body></html>" << false << true;
        QTest::newRow("unencrypted installer elsewhere")
            << "/manifest" << QString("3.0.1.4\n" + kNewer + "\nhttp://downloads.tolvane-store.example/setup.exe\n")
            << false << true;
        QTest::newRow("unencrypted manifest elsewhere")
            << "http://www.tolvane-store.example/library-client/m.txt" << newer << false << true;
        QTest::newRow("manifest redirect loop") << "/loop" << newer << false << true;
    }

    // Declining the offer downloads nothing.
    void offersByDate()
    {
        QFETCH(QString, manifestUrl);
        QFETCH(QString, manifest);
        QFETCH(bool, offered);
        QFETCH(bool, failed);
        m_manifest = manifest.toStdString();
        make(manifestUrl.startsWith('/') ? QUrl(url(manifestUrl)) : QUrl(manifestUrl));
        LogCapture log;
        check();
        QCOMPARE(opens(), offered ? 1 : 0);
        QCOMPARE(log.contains("INFO: ApplicationUpdater: No updates available"), !offered && !failed);
        QCOMPARE(!m_updater->checkError().isEmpty(), failed);
        if (manifestUrl == "/loop")
            QCOMPARE(m_server->count("/loop"), ApplicationUpdater::kMaxRedirects + 1);
        if (!offered)
            return;
        QCOMPARE(m_updater->downloadUrl(), QUrl(url("/installer")));   // resolved against the manifest
        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "no"));
        QVERIFY(!m_item->property("visible").toBool());
        QVERIFY(!m_updater->downloading());
        QCOMPARE(m_server->count("/installer"), 0);
    }

    // A redirect that stays on https is followed.
    void refusesDowngradeFromHttps()
    {
        const std::string data = TESTS_SOURCE_DIR "/api/data/";
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.addCaCertificates(QSslCertificate::fromPath(QString::fromStdString(data + "selfsigned.crt")));
        QSslConfiguration::setDefaultConfiguration(trusting);
        LoopbackServer secure(data + "selfsigned.crt", data + "selfsigned.key");
        const std::string plainManifest = url("/manifest").toStdString();
        secure.get("/manifest", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(m_manifest, "text/plain");
        });
        secure.get("/down", [plainManifest](const httplib::Request &, httplib::Response &res) {
            res.set_redirect(plainManifest, 302);
        });
        secure.get("/up", [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/manifest", 307); });
        secure.start();
        m_manifest = newerManifest(url("/installer"));

        make(QUrl(secure.rootUrl() + "/down"));
        check();
        QCOMPARE(opens(), 0);
        QCOMPARE(m_server->count("/manifest"), 0);

        make(QUrl(secure.rootUrl() + "/up"));
        check();
        QCOMPARE(opens(), 1);
    }

    // Through two redirects, of which only the final body is the package.
    void handsOverThePackage()
    {
        m_manifest = newerManifest("/hop/1");
        check();
        QSignalSpy started(m_updater.get(), &ApplicationUpdater::installerStarted);
        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "yes"));
        QVERIFY(m_updater->downloading());
        QVERIFY(started.wait(20000));

        QTRY_VERIFY(QFile::exists(m_record.filePath("args")));
        QCOMPARE(tempFiles().size(), 1);
        const QString package = m_temp.filePath(tempFiles().first());
        QVERIFY(QRegularExpression("^Tolvane_.{6}\\.deb$").match(tempFiles().first()).hasMatch());
        QCOMPARE(recorded("args"), QByteArray(package.toLocal8Bit() + '\n'));
        QCOMPARE(recorded("copy"), m_installer);
        QCOMPARE(recorded("mode"), QByteArray("600\n"));   // handed over, never made runnable
        QVERIFY(!QFile::exists(m_record.filePath("package-ran")));
        QCOMPARE(m_updater->progress(), 100);
    }

    void withoutSelfUpdateOffersThePage()
    {
        make(QUrl(url("/manifest")), QString());
        m_manifest = newerManifest("/library-client/tolvane_3.0.1.4_amd64.deb");
        check();
        QSignalSpy page(m_updater.get(), &ApplicationUpdater::downloadPageRequested);
        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "yes"));
        QCOMPARE(page.count(), 1);
        QCOMPARE(page.first().first().toUrl(), QUrl(url("/library-client/")));
        QVERIFY(!m_updater->downloading());
        QVERIFY(!m_item->property("visible").toBool());
    }

    // The dialog then keeps its Cancel button, which the window test presses after a refused
    // download.
    void failedDownload_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("maxSize");
        QTest::addColumn<QString>("logged");
        const QString failed = "ERROR: ApplicationUpdater: Update download failed: ";
        QTest::newRow("redirect loop") << "/loop" << qint64(0) << failed;
        QTest::newRow("redirected to plain http elsewhere") << "/away" << qint64(0) << failed;
        // An error page is not the package, however whole it arrives.
        QTest::newRow("error status with a page") << "/gone" << qint64(0) << failed;
        QTest::newRow("too large") << "/installer" << qint64(16) << failed;
        // Cut while it streams; the server is held back by the bounded read buffer, not drained.
        QTest::newRow("endless body") << "/endless" << qint64(4 * 1024 * 1024) << failed;
        // The package arrived whole; it is removed all the same.
        QTest::newRow("hand-over cannot start") << "/installer" << qint64(0) << "Cannot start the update hand-over";
    }

    void failedDownload()
    {
        QFETCH(QString, path);
        QFETCH(qint64, maxSize);
        QFETCH(QString, logged);
        if (logged.startsWith("Cannot start"))
            make(QUrl(url("/manifest")), m_record.filePath("no-such-hand-over"));
        m_updater->setMaxInstallerSize(maxSize);
        m_manifest = newerManifest(path);
        check();
        QSignalSpy started(m_updater.get(), &ApplicationUpdater::installerStarted);
        LogCapture log;
        m_endlessSent = 0;
        QVERIFY(QMetaObject::invokeMethod(m_item.get(), "yes"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_updater->downloadError().isEmpty(), 30000);
        // What the kernel's socket buffers hold on top of the cap, and no more.
        QVERIFY2(m_endlessSent < maxSize + 32 * 1024 * 1024, qPrintable(QString::number(m_endlessSent)));
        QVERIFY(log.contains(logged));
        QVERIFY(tempFiles().isEmpty());
        QCOMPARE(started.count(), 0);
        if (path == "/loop")
            QCOMPARE(m_server->count("/loop"), ApplicationUpdater::kMaxRedirects + 1);
    }

private:
    void redirect(const std::string &path, const std::string &target)
    {
        m_server->get(path, [target](const httplib::Request &, httplib::Response &res) {
            res.set_redirect(target, 302);
            res.set_content("a redirect's own body", "text/plain");
        });
    }

    void make(const QUrl &manifestUrl) { make(manifestUrl, m_handOver); }
    void make(const QUrl &manifestUrl, const QString &handOver)
    {
        m_updater = std::make_unique<ApplicationUpdater>(&m_manager, manifestUrl, handOver);
        m_updater->setDialog(m_item.get());
    }

    void check()
    {
        m_updater->checkUpdates(true);
        QTRY_VERIFY(!m_updater->checking());
    }

    QString url(const QString &path) const { return m_server->rootUrl() + path; }
    int opens() const { return m_item->property("opens").toInt(); }
    QByteArray recorded(const QString &name) const
    {
        QFile file(m_record.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    QStringList tempFiles() const { return QDir(m_temp.path()).entryList(QDir::Files); }

    QTemporaryDir m_temp;     // the system temporary folder of the test
    QTemporaryDir m_record;   // what the stand-in hand-over writes
    QTemporaryDir m_tools;    // the stand-in hand-over
    QString m_handOver;
    QByteArray m_installer;
    std::atomic<qint64> m_endlessSent{0};
    std::unique_ptr<LoopbackServer> m_server;
    std::string m_manifest;
    QNetworkAccessManager m_manager;
    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_item;
    std::unique_ptr<ApplicationUpdater> m_updater;
};

QTEST_MAIN(TestApplicationUpdater)
#include "tst_applicationupdater.moc"
