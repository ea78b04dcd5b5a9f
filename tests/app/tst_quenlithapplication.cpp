#include "app/core/constants.h"
#include "app/quenlithapplication.h"
#include "guitest.h"

#include "library/onlinelibrary.h"

#include <QProcess>
#include <QQuickView>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include <unistd.h>

class TestQuenlithApplication : public QObject
{
    Q_OBJECT
public:
    explicit TestQuenlithApplication(QuenlithApplication &app) : m_app(app) {}

private slots:
    // The window the controller shows at start renders with the GL driver.
    void initTestCase()
    {
        QVERIFY(QTest::qWaitForWindowExposed(m_app.view()));
        keepGlDriverLoaded();
    }

    // This process was started with "--text-model" twice among other arguments.
    void textModelFlagKeepsLibraryAsText() { QVERIFY(!m_app.onlineLibrary()->binaryStore()); }

    // A folder yet to be made is probed in the last one that exists. A relative folder is
    // refused in the window test.
    void isDirWritable()
    {
        QVERIFY(m_app.isDirWritable(m_scratch.path() + "/not/yet/created"));
        const QString locked = m_scratch.path() + "/locked";
        QVERIFY(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (::geteuid() != 0)
            QVERIFY(!m_app.isDirWritable(locked));
    }

    // The program answers its command line without a display: from a console, over ssh, in a
    // package check.
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");   // a part of what it prints on either stream
        QTest::newRow("version") << QStringList{"--version"} << 0 << QString("tolvane " + Constants::ApplicationVersion);
        QTest::newRow("help") << QStringList{"--help"} << 0 << QStringLiteral("--text-model");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << QStringLiteral("frobnicate");
        QTest::newRow("stray argument") << QStringList{"book.pdf"} << 2 << QStringLiteral("book.pdf");
    }

    void answersWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TOLVANE_BINARY), arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(program.readAllStandardOutput() + program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2(output.contains(printed), qPrintable(output));
    }

private:
    QuenlithApplication &m_app;
    QTemporaryDir m_scratch;
};

int main(int argc, char *argv[])
{
    QTemporaryDir profile;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (profile.path() + QLatin1Char('/') + QLatin1String(name)).toLocal8Bit());
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));

    std::vector<char *> appArguments(argv, argv + argc);
    char textModel[] = "--text-model";
    char other[] = "--other";
    appArguments.insert(appArguments.end(), {textModel, other, textModel});
    int appArgc = static_cast<int>(appArguments.size());
    appArguments.push_back(nullptr);

    QuenlithApplication app(appArgc, appArguments.data());
    TestQuenlithApplication test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quenlithapplication.moc"
