#include "app/core/constants.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

// The program answers its command line without a display: from a console, over ssh, in a
// package check.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
