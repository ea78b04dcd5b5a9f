#include "downloadsfixture.h"

#include "downloads/libraryverifier.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Verdict = LibraryVerifier::Verdict;

QString md5Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

struct Run {
    QVector<LibraryVerifier::Entry> entries;
    bool cancelled = false;
    LibraryVerifier::Summary summary;
    LibraryVerifier::Progress lastProgress;
};

} // namespace

class tst_LibraryVerifier : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_cache = m_dir->filePath(QStringLiteral("cache/verified.json"));
    }

    // One changed byte, one file gone and one intact, in one run.
    void judgesEachFileInOneRun()
    {
        const QByteArray content(300000, 'x');
        QByteArray damaged = content;
        damaged[150000] = 'y';
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("intact.pdf")), content));
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("damaged.pdf")), damaged));
        const QVector<LibraryVerifier::Entry> entries{entry(QStringLiteral("intact.pdf"), content),
                                                      entry(QStringLiteral("damaged.pdf"), content),
                                                      entry(QStringLiteral("gone.pdf"), content)};
        const Run run = verify(entries, false);

        QCOMPARE(run.entries.size(), 3);
        QVERIFY(!run.cancelled);
        QCOMPARE(run.entries.at(0).verdict, Verdict::Good);
        QCOMPARE(run.entries.at(1).verdict, Verdict::Changed);
        QCOMPARE(run.entries.at(2).verdict, Verdict::Missing);
        QCOMPARE(run.summary.hashed, 2);
        QCOMPARE(run.lastProgress.filesDone, 3);
        QCOMPARE(run.lastProgress.bytesDone, qint64(2 * content.size()));
    }

    // A cancel lands between two blocks of a long file: the file stays unjudged, the earlier
    // one keeps its verdict and its place in the cache.
    void cancelStopsMidFile()
    {
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("small.pdf")), "small"));
        QFile large(m_dir->filePath(QStringLiteral("large.pdf")));
        QVERIFY(large.open(QIODevice::WriteOnly));
        const qint64 largeSize = qint64(4) * 1024 * 1024 * 1024;
        QVERIFY(large.resize(largeSize));
        large.close();
        const QVector<LibraryVerifier::Entry> entries{entry(QStringLiteral("small.pdf"), "small"),
                                                      entry(QStringLiteral("large.pdf"), QByteArray())};

        LibraryVerifier verifier(m_cache);
        QSignalSpy finished(&verifier, &LibraryVerifier::finished);
        LibraryVerifier::Progress last;
        connect(&verifier, &LibraryVerifier::progressed, this, [&](const LibraryVerifier::Progress &progress) {
            last = progress;
            if (progress.current == 1)
                verifier.cancel();
        });
        verifier.start(entries, false);
        QVERIFY(finished.wait(20000));
        QVERIFY(finished.first().at(1).toBool());
        const auto result = finished.first().at(0).value<QVector<LibraryVerifier::Entry>>();
        QCOMPARE(result.at(0).verdict, Verdict::Good);
        QVERIFY(!result.at(1).checked);
        QVERIFY2(last.bytesDone < largeSize, qPrintable(QString::number(last.bytesDone)));

        const Run again = verify({entries.at(0)}, false);
        QCOMPARE(again.summary.cached, 1);
    }

    void cacheSkipsUnchangedFilesOnly_data()
    {
        QTest::addColumn<bool>("touch");
        QTest::addColumn<bool>("full");
        QTest::addColumn<int>("hashed");
        QTest::addColumn<int>("cached");
        QTest::newRow("unchanged") << false << false << 0 << 2;
        QTest::newRow("touched") << true << false << 1 << 1;
        QTest::newRow("full check") << false << true << 2 << 0;
    }

    // The second run reads nothing the first one read, unless a file's time changed or the
    // check is full.
    void cacheSkipsUnchangedFilesOnly()
    {
        QFETCH(bool, touch);
        QFETCH(bool, full);
        QFETCH(int, hashed);
        QFETCH(int, cached);
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("a.pdf")), "first"));
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("b.pdf")), "second"));
        const QVector<LibraryVerifier::Entry> entries{entry(QStringLiteral("a.pdf"), "first"),
                                                      entry(QStringLiteral("b.pdf"), "second")};
        QCOMPARE(verify(entries, false).summary.hashed, 2);

        if (touch) {
            // Other bytes of the same size under a new time: only a read finds them.
            QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("a.pdf")), "FIRST"));
            QFile file(m_dir->filePath(QStringLiteral("a.pdf")));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        const Run second = verify(entries, full);
        QCOMPARE(second.summary.hashed, hashed);
        QCOMPARE(second.summary.cached, cached);
        QCOMPARE(second.entries.at(0).verdict, touch ? Verdict::Changed : Verdict::Good);
        if (hashed == 0)
            QCOMPARE(second.lastProgress.bytes, qint64(0));
    }

private:
    LibraryVerifier::Entry entry(const QString &name, const QByteArray &expected) const
    {
        LibraryVerifier::Entry entry;
        entry.path = m_dir->filePath(name);
        entry.hashes.insert(md5Of(expected), QDateTime::currentDateTimeUtc());
        return entry;
    }

    Run verify(const QVector<LibraryVerifier::Entry> &entries, bool full)
    {
        Run run;
        LibraryVerifier verifier(m_cache);
        QSignalSpy finished(&verifier, &LibraryVerifier::finished);
        connect(&verifier, &LibraryVerifier::progressed, this,
                [&run](const LibraryVerifier::Progress &progress) { run.lastProgress = progress; });
        verifier.start(entries, full);
        if (!finished.wait(20000))
            return run;
        run.entries = finished.first().at(0).value<QVector<LibraryVerifier::Entry>>();
        run.cancelled = finished.first().at(1).toBool();
        run.summary = LibraryVerifier::summarize(run.entries);
        return run;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_cache;
};

QTEST_MAIN(tst_LibraryVerifier)
#include "tst_libraryverifier.moc"
