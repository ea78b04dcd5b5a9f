#include "downloads/ratelimiter.h"
#include "downloads/transferratemeter.h"
#include "downloads/transfertext.h"

#include <QtTest>

#include <functional>

constexpr qint64 kMiB = 1024 * 1024;
using Samples = QList<QPair<qint64, qint64>>;  // time in ms, bytes so far

// The speed a view shows and the words it shows it in, and the shared budget that limits it
// (the transfers that draw on it are proven in the downloader's tests).
class tst_TransferFigures : public QObject
{
    Q_OBJECT

private slots:
    void rate_data()
    {
        QTest::addColumn<Samples>("samples");
        QTest::addColumn<qint64>("low");
        QTest::addColumn<qint64>("high");
        QTest::newRow("waiting for the link first") << Samples{{1000, 0}, {2000, 0}, {3000, 500}, {4000, 1000}}
                                                    << qint64(500) << qint64(500);
        // One burst of ten times the speed moves the figure by a share of it, not all the way.
        QTest::newRow("a burst is smoothed") << Samples{{1000, 1000}, {2000, 2000}, {3000, 12000}} << qint64(3000) << qint64(5000);
        QTest::newRow("a stop decays") << Samples{{1000, 1000}, {2000, 1000}, {3000, 1000}} << qint64(400) << qint64(600);
        QTest::newRow("a restart from zero is no negative speed")
            << Samples{{1000, 5000}, {2000, 0}} << qint64(3000) << qint64(4000);
        QTest::newRow("no time passed") << Samples{{0, 5000}} << qint64(0) << qint64(0);
    }

    void rate()
    {
        QFETCH(Samples, samples);
        QFETCH(qint64, low);
        QFETCH(qint64, high);
        TransferRateMeter meter;
        meter.reset(0, 0);
        for (const auto &sample : samples)
            meter.addSample(sample.first, sample.second);
        QVERIFY2(meter.rate() >= low && meter.rate() <= high, qPrintable(QString::number(meter.rate())));
    }

    void secondsLeft_data()
    {
        QTest::addColumn<qint64>("rate");
        QTest::addColumn<qint64>("remaining");
        QTest::addColumn<int>("seconds");
        QTest::newRow("rounded up") << qint64(1000) << qint64(5001) << 6;
        QTest::newRow("nothing left") << qint64(1000) << qint64(0) << 0;
        QTest::newRow("no speed yet") << qint64(0) << qint64(5000) << -1;
    }

    void secondsLeft()
    {
        QFETCH(qint64, rate);
        QFETCH(qint64, remaining);
        QFETCH(int, seconds);
        TransferRateMeter meter;
        meter.reset(0, 0);
        if (rate > 0)
            meter.addSample(1000, rate);
        QCOMPARE(meter.secondsLeft(remaining), seconds);
        if (rate > 0)
            QCOMPARE(meter.secondsLeft(std::numeric_limits<qint64>::max()), -1);
    }

    void texts_data()
    {
        QTest::addColumn<qint64>("rate");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing measured") << qint64(0) << -1 << QString();
        QTest::newRow("bytes, time unknown") << qint64(512) << -1 << QStringLiteral("512 B/s");
        QTest::newRow("kilobytes, seconds") << qint64(1536) << 59 << QStringLiteral("2 kB/s, 59 s left");
        QTest::newRow("megabytes with a decimal, minutes") << qint64(1572864) << 61 << QStringLiteral("1.5 MB/s, 2 min left");
        QTest::newRow("whole megabytes from ten") << qint64(12 * 1048576 + 400000) << 60 << QStringLiteral("12 MB/s, 1 min left");
        QTest::newRow("gigabytes, hours") << qint64(1073741824) << 3 * 3600 + 5 * 60 << QStringLiteral("1.0 GB/s, 3 h 5 min left");
        QTest::newRow("just under a megabyte") << qint64(1048575) << 0 << QStringLiteral("1024 kB/s, 0 s left");
    }

    void texts()
    {
        QFETCH(qint64, rate);
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(TransferText::summary(rate, seconds), text);
    }

    void parsesRates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("rate");
        QTest::newRow("bytes") << "100000" << qint64(100000);
        QTest::newRow("kibibytes") << "512K" << qint64(512 * 1024);
        QTest::newRow("mebibytes, spelt out") << "1.5MiB/s" << qint64(3 * kMiB / 2);
        QTest::newRow("unknown unit") << "4G" << qint64(-1);
        QTest::newRow("negative") << "-4M" << qint64(-1);
    }

    void parsesRates()
    {
        QFETCH(QString, text);
        QFETCH(qint64, rate);
        QCOMPARE(RateLimiter::parseRate(text), rate);
    }

    // Two readers that always want more get the same bytes, whichever asked first. Real
    // transfers cannot show this under load: a connection whose server lags rightly leaves
    // its share to the other.
    void waitersShareEqually()
    {
        RateLimiter limiter;
        limiter.setRate(kMiB);
        QObject readers[2];
        qint64 got[2] = {0, 0};
        std::function<void(int)> read = [&](int i) {
            got[i] += limiter.take(kMiB);
            limiter.waitTurn(&readers[i], [&read, i] { read(i); });
        };
        read(0);
        read(1);
        QTRY_VERIFY_WITH_TIMEOUT(got[0] + got[1] >= kMiB / 2, 30000);
        QVERIFY2(qAbs(got[0] - got[1]) <= kMiB / 10, qPrintable(QStringLiteral("%1 %2").arg(got[0]).arg(got[1])));
    }
};

QTEST_GUILESS_MAIN(tst_TransferFigures)
#include "tst_transferfigures.moc"
