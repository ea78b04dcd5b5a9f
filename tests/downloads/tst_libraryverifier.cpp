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

        const Run again = verify({entries.at(0)});
        QCOMPARE(again.summary.cached, 1);
    }

    // A file whose time changed is read again, though its size is the same; the other one is
    // taken from the cache.
    void touchedFileIsReadAgain()
    {
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("a.pdf")), "first"));
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("b.pdf")), "second"));
        const QVector<LibraryVerifier::Entry> entries{entry(QStringLiteral("a.pdf"), "first"),
                                                      entry(QStringLiteral("b.pdf"), "second")};
        const Run first = verify(entries);
        QCOMPARE(first.summary.hashed, 2);
        QCOMPARE(first.lastProgress.filesDone, 2);
        QCOMPARE(first.lastProgress.bytesDone, qint64(11));

        // Other bytes of the same size under a new time: only a read finds them.
        QVERIFY(DownloadsFixture::writeFile(m_dir->filePath(QStringLiteral("a.pdf")), "FIRST"));
        QFile file(m_dir->filePath(QStringLiteral("a.pdf")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        const Run second = verify(entries);
        QCOMPARE(second.summary.hashed, 1);
        QCOMPARE(second.summary.cached, 1);
        QCOMPARE(second.entries.at(0).verdict, Verdict::Changed);

        const Run full = verify(entries, true);
        QCOMPARE(full.summary.hashed, 2);
        QCOMPARE(full.summary.cached, 0);
    }

private:
    LibraryVerifier::Entry entry(const QString &name, const QByteArray &expected) const
    {
        LibraryVerifier::Entry entry;
        entry.path = m_dir->filePath(name);
        entry.hashes.insert(md5Of(expected), QDateTime::currentDateTimeUtc());
        return entry;
    }

    Run verify(const QVector<LibraryVerifier::Entry> &entries, bool full = false)
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
        run.summary = LibraryVerifier::summarize(run.entries);
        return run;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_cache;
};

QTEST_MAIN(tst_LibraryVerifier)
#include "tst_libraryverifier.moc"
