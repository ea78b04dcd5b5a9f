#include "downloadsfixture.h"
#include "testfiles.h"

#include "downloads/hashingwriter.h"
#include "downloads/libraryverifier.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray pattern(int size, quint32 seed = 2463534242u)
{
    QVector<quint32> words((size + 3) / 4);
    QRandomGenerator(seed).fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), size);
}

using Verdict = LibraryVerifier::Verdict;

struct Run {
    QVector<LibraryVerifier::Entry> entries;
    LibraryVerifier::Summary summary;
    LibraryVerifier::Progress lastProgress;
};

} // namespace

// A copy's digest, made while it is written and checked again later. The two workers behind a
// transfer: every byte reaches the file and the digest once and in order, whatever the ring's
// size, and what is on disk is always what position() says. The library check: what it judged
// it keeps, and reads again only what changed or when asked for all.
class tst_FileDigests : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath(QStringLiteral("book.pdf"));
        m_cache = m_dir->filePath(QStringLiteral("cache/verified.json"));
    }

    void streamsInOrder_data()
    {
        QTest::addColumn<int>("prefix");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("piece");
        QTest::addColumn<qint64>("capacity");
        QTest::addColumn<bool>("lastAtOnce");
        QTest::newRow("ring smaller than a piece") << 0 << 100000 << 1000 << qint64(7) << false;
        QTest::newRow("pieces straddle the ring's end") << 0 << 1000000 << 10000 << qint64(65536 + 3) << false;
        QTest::newRow("prefix larger than a read block") << (3 << 20) + 1 << 5000 << 5000 << qint64(65536) << false;
        QTest::newRow("last piece beyond the room") << 0 << 50000 << 20000 << qint64(1000) << true;
    }

    void streamsInOrder()
    {
        QFETCH(int, prefix);
        QFETCH(int, size);
        QFETCH(int, piece);
        QFETCH(qint64, capacity);
        QFETCH(bool, lastAtOnce);
        const QByteArray head = pattern(prefix, 88675123u);
        const QByteArray data = pattern(size);
        auto writer = makeWriter(head, capacity);
        QVERIFY(writer);
        QSignalSpy progressed(writer.get(), &HashingWriter::progressed);

        for (int at = 0; at < size; at += piece) {
            QByteArray chunk = data.mid(at, piece);
            QBuffer source(&chunk);
            source.open(QIODevice::ReadOnly);
            const bool last = at + piece >= size;
            while (source.bytesAvailable() > 0) {
                writer->readFrom(&source, last && lastAtOnce);
                if (source.bytesAvailable() > 0)
                    QVERIFY(progressed.wait());
            }
        }
        QCOMPARE(writer->end(), qint64(prefix + size));
        QTRY_VERIFY(writer->idle());
        QCOMPARE(writer->position(), qint64(prefix + size));
        QCOMPARE(writer->digest(), md5(head + data));
        writer->close();
        QVERIFY(onDisk() == head + data);
    }

    void drainLeavesTheResumePoint_data()
    {
        QTest::addColumn<bool>("writeRest");
        QTest::newRow("pause: the rest is dropped") << false;
        QTest::newRow("dropped connection: the rest is kept") << true;
    }

    void drainLeavesTheResumePoint()
    {
        QFETCH(bool, writeRest);
        const QByteArray head = pattern(1000, 88675123u);
        const QByteArray data = pattern(3 << 20);
        auto writer = makeWriter(head, 1 << 20);
        QVERIFY(writer);
        QByteArray copy = data;
        QBuffer source(&copy);
        source.open(QIODevice::ReadOnly);
        // More than the ring holds: part of it waits in memory, unhashed and unwritten.
        writer->readFrom(&source, true);
        const qint64 position = writer->drain(writeRest);

        if (writeRest)
            QCOMPARE(position, qint64(head.size() + data.size()));
        QVERIFY(position >= head.size() && position <= writer->end());
        // A later run resumes from the file's length: it must hold exactly the bytes counted.
        QVERIFY(onDisk() == QByteArray(head + data).left(int(position)));
        // Whatever went to disk unhashed, the digest never claims a file it does not describe.
        const QString digest = writer->digest();
        QVERIFY(digest.isEmpty() || digest == md5(onDisk()));
    }

    void writeFailure()
    {
        auto file = std::make_unique<QFile>(QStringLiteral("/dev/full"));
        QVERIFY(file->open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        HashingWriter writer(std::move(file), 0, 1 << 16);
        QByteArray data = pattern(300000);
        QBuffer source(&data);
        source.open(QIODevice::ReadOnly);
        writer.readFrom(&source, false);

        QTRY_VERIFY(writer.failed());
        QVERIFY(writer.noSpace());
        QVERIFY(!writer.errorString().isEmpty());
        QTRY_VERIFY(writer.idle());
        QCOMPARE(writer.position(), qint64(0));
        QVERIFY(writer.digest().isEmpty());
        // What still arrives is not left to pile up in the reply.
        writer.readFrom(&source, false);
        QCOMPARE(source.bytesAvailable(), qint64(0));
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
    std::unique_ptr<HashingWriter> makeWriter(const QByteArray &prefix, qint64 capacity)
    {
        auto file = std::make_unique<QFile>(m_path);
        if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered) || file->write(prefix) != prefix.size())
            return nullptr;
        return std::make_unique<HashingWriter>(std::move(file), prefix.size(), capacity);
    }

    QByteArray onDisk() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    LibraryVerifier::Entry entry(const QString &name, const QByteArray &expected) const
    {
        LibraryVerifier::Entry entry;
        entry.path = m_dir->filePath(name);
        entry.hashes.insert(md5(expected), QDateTime::currentDateTimeUtc());
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
    QString m_path;
    QString m_cache;
};

QTEST_GUILESS_MAIN(tst_FileDigests)
#include "tst_filedigests.moc"
