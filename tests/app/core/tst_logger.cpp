#include "app/core/logger.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const QDateTime kToday(QDate(2021, 1, 19), QTime(12, 34, 56, 789));

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
void touch(const QString &path) { QFile(path).open(QIODevice::WriteOnly); }
void log(const QString &message) { Logger::instance().write(QtDebugMsg, QMessageLogContext(), message); }

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("Quenlith"));
        QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
        m_dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(QDir().mkpath(m_dir));
        Logger::setClock([this] { return m_now; });
    }

    void init() { m_now = kToday; }

    // Must stay the first test: it relies on the logger not existing yet.
    void firstUseRemovesOldLogsAndHoldsLinesUntilTheLogOpens()
    {
        touch(m_dir + QStringLiteral("/app-log-2020-11-30.txt"));
        // The day before the other tests', so that they start in a file of their own.
        m_now = kToday.addDays(-1);
        const QString path = Logger::logFilePath(m_now.date());
        // What the program logs while it starts (the library it loaded, a store kept aside)
        // comes before it knows whether logging is on.
        log(QStringLiteral("WARNING: Test: before the log opened"));
        QVERIFY(!QFile::exists(m_dir + QStringLiteral("/app-log-2020-11-30.txt")));
        QVERIFY(!QFile::exists(path));
        m_now = m_now.addSecs(5);
        Logger::instance().setEnabledPredicate([] { return true; });
        const QByteArray held("12:34:56.789 WARNING: Test: before the log opened\r\n");
        QCOMPARE(contentsOf(path), held);

        Logger::instance().setEnabledPredicate([] { return false; });
        log(QStringLiteral("INFO: Test: not written"));
        QCOMPARE(contentsOf(path), held);
    }

    // The change of day also removes the logs older than a month, and only ours.
    void continuesInNewFileAfterMidnight()
    {
        Logger::instance().setEnabledPredicate([] { return true; });
        for (const char *name : {"app-log-2020-12-19.txt", "app-log-2020-12-20.txt", "App-Log-2019-01-01.txt",
                                 "app-log-someday.txt", "app_log.txt"})
            touch(m_dir + QLatin1Char('/') + QLatin1String(name));
        log(QStringLiteral("before midnight"));

        m_now = QDateTime(QDate(2021, 1, 20), QTime(0, 0, 1));
        log(QStringLiteral("INFO: Test: after midnight, Grüße"));
        QCOMPARE(contentsOf(m_dir + QStringLiteral("/app-log-2021-01-20.txt")),
                 QByteArray("00:00:01.000 INFO: Test: after midnight, Gr\xc3\xbc\xc3\x9f" "e\r\n"));
        QVERIFY(!contentsOf(Logger::logFilePath(kToday.date())).contains("after midnight"));
        QCOMPARE(QDir(m_dir).entryList(QDir::Files),
                 (QStringList{"App-Log-2019-01-01.txt", "app-log-2020-12-20.txt", "app-log-2021-01-18.txt",
                              "app-log-2021-01-19.txt", "app-log-2021-01-20.txt"}));
    }

    void linesFromSeveralThreadsArriveWhole()
    {
        Logger::instance().setEnabledPredicate([] { return true; });
        m_now = QDateTime(QDate(2021, 1, 21), QTime(8, 0));
        const int threads = 6;
        const int linesPerThread = 400;
        const QString padding(200, QLatin1Char('x'));

        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t, padding] {
                for (int i = 0; i < linesPerThread; ++i)
                    log(QStringLiteral("thread %1 line %2 %3").arg(t).arg(i).arg(padding));
            }));
            workers.back()->start();
        }
        for (auto &worker : workers)
            QVERIFY(worker->wait());

        QList<QByteArray> lines = contentsOf(m_dir + QStringLiteral("/app-log-2021-01-21.txt")).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), threads * linesPerThread);
        const QRegularExpression shape(QStringLiteral("^08:00:00\\.000 thread (\\d) line (\\d+) x{200}\\r$"));
        for (const QByteArray &line : lines)
            QVERIFY2(shape.match(QString::fromUtf8(line)).hasMatch(), line.constData());
    }

private:
    QTemporaryDir m_data;
    QString m_dir;
    QDateTime m_now = kToday;
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
