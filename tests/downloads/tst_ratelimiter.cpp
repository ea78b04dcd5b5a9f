#include "downloads/ratelimiter.h"

#include <QtTest>

#include <functional>

constexpr qint64 kMiB = 1024 * 1024;

// The shared budget itself; the transfers that draw on it are proven in the downloader's tests.
class tst_RateLimiter : public QObject
{
    Q_OBJECT
private slots:
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

QTEST_GUILESS_MAIN(tst_RateLimiter)
#include "tst_ratelimiter.moc"
