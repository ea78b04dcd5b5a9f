#include "../../tools/ui-screenshots/qmlitems.h"
#include "guitest.h"

#include "app/core/settings.h"
#include "dialogs/applicationupdater.h"
#include "loopbackserver.h"

#include <QNetworkAccessManager>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// What the Settings screen reads of the application object.
class SettingsApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Settings *settings MEMBER settings CONSTANT)
    Q_PROPERTY(QString applicationVersion MEMBER version CONSTANT)
    Q_PROPERTY(ApplicationUpdater *updater MEMBER updater CONSTANT)
public:
    Q_INVOKABLE bool isDirWritable(const QString &dir) const { return !readOnly.contains(dir); }
    Q_INVOKABLE QString lastExistingDir(const QString &path) const { return path; }
    Q_INVOKABLE void scanFolder(const QString &initialFolder, const QString &newFolder)
    {
        scans << QStringList{initialFolder, newFolder};
    }

    Settings *settings = nullptr;
    ApplicationUpdater *updater = nullptr;
    QString version = QStringLiteral("3.0.1.3");
    QStringList readOnly;
    QList<QStringList> scans;
};

class TestSettingsScreen : public QObject
{
    Q_OBJECT
private:
    QQuickItem *child(const char *name) const
    {
        return m_view->rootObject()->findChild<QQuickItem *>(QLatin1String(name));
    }

    void click(const char *name) { QVERIFY(QmlItems::click(child(name))); }

private slots:
    void cleanupTestCase() { keepGlDriverLoaded(); }

    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    }

    void init()
    {
        QSettings store;
        store.clear();
        store.setValue(QStringLiteral("libraryDirectory"), QStringLiteral("/books"));
        store.setValue(QStringLiteral("simultaneousDownloads"), 4);
        store.setValue(QStringLiteral("checkUpdateOnStart"), true);
        store.setValue(QStringLiteral("updateBookPolicy"), 0);
        store.sync();
        m_settings = new Settings;
        m_app = new SettingsApp;
        m_app->settings = m_settings;
        m_view = std::make_unique<QQuickView>();
        m_view->rootContext()->setContextProperty(QStringLiteral("app"), m_app);
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->resize(1000, 900);
        m_view->setSource(QUrl::fromLocalFile(QStringLiteral(TESTS_SOURCE_DIR "/../qml/screens/SettingsWindow.qml")));
        QVERIFY2(m_view->errors().isEmpty(), qPrintable(m_view->errors().value(0).toString()));
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanup()
    {
        m_view.reset();
        delete m_app;
        delete m_settings;
    }

    // A folder that cannot be written stops the whole save, the other edits included.
    void readOnlyFolderChangesNothing()
    {
        QSignalSpy back(m_view->rootObject(), SIGNAL(goBack()));
        m_app->readOnly << QStringLiteral("/read-only");
        child("folderField")->setProperty("text", QStringLiteral("/read-only"));
        child("checkUpdatesBox")->setProperty("checked", false);
        child("policyBox")->setProperty("currentIndex", 2);
        click("saveButton");

        QObject *warning = m_view->rootObject()->findChild<QObject *>(QStringLiteral("notWritableMessage"));
        QVERIFY(warning);
        QTRY_VERIFY(warning->property("visible").toBool());
        QMetaObject::invokeMethod(warning, "close");
        QCOMPARE(m_settings->libraryDirectory(), QStringLiteral("/books"));
        QCOMPARE(m_settings->checkUpdateOnStart(), true);
        QCOMPARE(int(m_settings->updateBookPolicy()), 0);
        QCOMPARE(QSettings().value(QStringLiteral("checkUpdateOnStart")).toBool(), true);
        QVERIFY(m_app->scans.isEmpty());
        QCOMPARE(back.count(), 0);
    }

    // The Trash box is the inverse of the stored "delete permanently", whose default stays. A
    // stored limit the box does not offer shows no entry, and saving it untouched stores the lowest.
    void saveStoresWhatTheBoxesShow()
    {
        QSignalSpy back(m_view->rootObject(), SIGNAL(goBack()));
        QCOMPARE(m_settings->deletePermanently(), true);
        QCOMPARE(child("trashBox")->property("checked").toBool(), false);
        QCOMPARE(child("downloadsBox")->property("currentIndex").toInt(), -1);
        QCOMPARE(child("downloadsBox")->property("displayText").toString(), QString());
        click("trashBox");
        click("saveButton");

        QCOMPARE(back.count(), 1);
        QCOMPARE(m_settings->deletePermanently(), false);
        QCOMPARE(QSettings().value(QStringLiteral("deletePermanently")).toBool(), false);
        QCOMPARE(m_settings->simultaneousDownloads(), 1);
        QCOMPARE(QSettings().value(QStringLiteral("simultaneousDownloads")).toInt(), 1);
        QCOMPARE(m_app->scans, (QList<QStringList>{{QStringLiteral("/books"), QStringLiteral("/books")}}));
    }

    // A check the customer asked for answers either way: nothing newer, or why it could not tell.
    void checkNowAnswers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing newer") << "/manifest" << "No updates available";
        QTest::newRow("no manifest") << "/missing" << "Could not check for updates";
    }

    void checkNowAnswers()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        LoopbackServer server;
        server.get("/manifest", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("3.0.1.3\n2020-01-01 00:00:00\n/installer\n", "text/plain");
        });
        server.get("/missing", [](const httplib::Request &, httplib::Response &res) { res.status = 404; });
        server.start();
        QNetworkAccessManager network;
        ApplicationUpdater updater(&network, QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(path)),
                                   QString());
        m_app->updater = &updater;
        m_view->setSource(m_view->source());   // read the updater afresh

        click("checkNowButton");
        QObject *message = m_view->rootObject()->findChild<QObject *>(QStringLiteral("noUpdatesMessage"));
        QVERIFY(message);
        QTRY_VERIFY(message->property("visible").toBool());
        QCOMPARE(message->property("text").toString(), text);
        QCOMPARE(message->property("informativeText").toString().isEmpty(), updater.checkError().isEmpty());
        QMetaObject::invokeMethod(message, "close");
        m_view.reset();
        m_app->updater = nullptr;
    }

private:
    QTemporaryDir m_config;
    Settings *m_settings = nullptr;
    SettingsApp *m_app = nullptr;
    std::unique_ptr<QQuickView> m_view;
};

QTEST_MAIN(TestSettingsScreen)
#include "tst_settingsscreen.moc"
