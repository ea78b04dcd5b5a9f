#include "downloadsfixture.h"
#include "testfiles.h"
#include "syncprogress.h"
#include "downloads/verifycache.h"
#include "verifycommand.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using Samples = QVector<QPair<qint64, qint64>>;

namespace {

const QString kDigest = QStringLiteral("0123456789abcdef0123456789abcdef");

VerifyCache loaded(const QString &path)
{
    VerifyCache cache(path);
    cache.load();
    return cache;
}

} // namespace

class TestCliSupport : public QObject
{
    Q_OBJECT
private slots:
    void rateAndTimeLeft_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<qint64>("remaining");
        QTest::addColumn<double>("rate");
        QTest::addColumn<qint64>("secondsLeft");

        QTest::newRow("same moment") << Samples{{100, 0}, {100, 500}} << qint64(1000) << -1.0 << qint64(-1);
        QTest::newRow("rounded up") << Samples{{0, 0}, {1000, 1000}} << qint64(1500) << 1000.0 << qint64(2);
        QTest::newRow("nothing left") << Samples{{0, 100}, {1000, 100}} << qint64(0) << 0.0 << qint64(0);
        // Samples older than the window no longer count: the rate follows the recent speed.
        QTest::newRow("old burst forgotten")
            << Samples{{0, 0}, {1000, 100000}, {7000, 100000}, {12000, 105000}} << qint64(10000) << 1000.0 << qint64(10);
        // A resume point lowering the total must not give a negative rate.
        QTest::newRow("went back") << Samples{{0, 5000}, {1000, 1000}} << qint64(100) << 0.0 << qint64(-1);
    }

    void rateAndTimeLeft()
    {
        QFETCH(Samples, samples);
        QFETCH(qint64, remaining);
        QFETCH(double, rate);
        QFETCH(qint64, secondsLeft);

        SyncProgress progress;
        for (const auto &sample : samples)
            progress.addSample(sample.first, sample.second);
        QCOMPARE(progress.rate(), rate);
        QCOMPARE(progress.secondsLeft(remaining), secondsLeft);
    }

    void sizesAndDurations()
    {
        QStringList texts;
        for (qint64 bytes : {qint64(1023), qint64(1536), qint64(5) << 20, qint64(3) << 30, qint64(-5)})
            texts << SyncProgress::bytesText(bytes);
        for (qint64 seconds : {59, 61, 3599, 3661, -5})
            texts << SyncProgress::durationText(seconds);
        QCOMPARE(texts, (QStringList{"1023 B", "1.5 kB", "5.0 MB", "3.0 GB", "0 B", "0:59", "1:01", "59:59", "1:01:01",
                                     "0:00"}));
    }

    void cacheRecoversAndKeepsWhatItWasNotAskedAbout_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("other version") << QByteArray("{\"version\":9,\"files\":{\"/lib/a.pdf\":{\"size\":100,\"modified\":0,"
                                                     "\"md5\":\"0123456789abcdef0123456789abcdef\"}}}");
        QTest::newRow("wrong types") << QByteArray("{\"version\":1,\"files\":{\"/lib/a.pdf\":{\"size\":\"x\",\"modified\":[],"
                                                   "\"md5\":17}}}");
    }

    // A damaged or foreign cache is ignored and replaced; an interrupted verify keeps the entries
    // it never reached, a finished one drops entries of files no longer checked.
    void cacheRecoversAndKeepsWhatItWasNotAskedAbout()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cache.json"));
        QVERIFY(DownloadsFixture::writeFile(path, content));
        const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(0);
        const QString a = QStringLiteral("/lib/a.pdf"), b = QStringLiteral("/lib/b.pdf");
        const QString other = QStringLiteral("bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
        VerifyCache damaged = loaded(path);
        QVERIFY(damaged.digest(a, 100, stamp).isEmpty());
        damaged.record(a, 100, stamp, kDigest);
        damaged.record(b, 1, stamp, other);
        QVERIFY(damaged.save());

        VerifyCache interrupted = loaded(path);
        interrupted.record(a, 2, stamp, other);
        interrupted.keepUnrecorded();
        QVERIFY(interrupted.save());
        VerifyCache finished = loaded(path);
        QCOMPARE(finished.digest(a, 2, stamp), other);
        QCOMPARE(finished.digest(b, 1, stamp), other);
        finished.record(a, 2, stamp, other);
        QVERIFY(finished.save());
        QVERIFY(loaded(path).digest(b, 1, stamp).isEmpty());
    }

    void md5sumsLinesReadBackByMd5sum_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("backslash") << "Pub/Title/back\\slash.pdf";
        QTest::newRow("newline") << "Pub/Title/new\nline.pdf";
    }

    // The real md5sum reads what was written; names it would misread are escaped its own way.
    void md5sumsLinesReadBackByMd5sum()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(DownloadsFixture::writeFile(dir.filePath(name), "some bytes"));
        const QString list = dir.filePath(QStringLiteral("sums.md5"));
        QVERIFY(DownloadsFixture::writeFile(list, VerifyCommand::md5sumsLine(md5("some bytes"), name).toUtf8()));

        QProcess md5sum;
        md5sum.setWorkingDirectory(dir.path());
        md5sum.start(QStringLiteral("md5sum"), {QStringLiteral("--strict"), QStringLiteral("-c"), list});
        QVERIFY(md5sum.waitForFinished());
        QVERIFY2(md5sum.exitCode() == 0, md5sum.readAll().constData());
    }
};

QTEST_GUILESS_MAIN(TestCliSupport)
#include "tst_clisupport.moc"
