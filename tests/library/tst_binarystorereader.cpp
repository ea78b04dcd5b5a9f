#include "library/binarystorereader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const int kDepth = 64;

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
QByteArray binary(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toBinaryData() : QJsonDocument(value.toObject()).toBinaryData();
}

// What the framework's own reader makes of the bytes; undefined when it refuses them.
QJsonValue framework(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
    if (document.isArray())
        return document.array();
    if (document.isObject())
        return document.object();
    return QJsonValue(QJsonValue::Undefined);
}
QT_WARNING_POP

QJsonValue readBack(const QByteArray &bytes)
{
    const BinaryStoreReader reader(bytes, kDepth);
    if (reader.verdict() != BinaryStoreReader::Valid)
        return QJsonValue(QJsonValue::Undefined);
    return reader.toJsonValue(reader.root());
}

// A saved library in small: text in both encodings, numbers inline and not, nesting.
QJsonArray sample()
{
    QJsonArray items;
    for (int i = 0; i < 12; ++i) {
        const QJsonObject file{{QStringLiteral("serverFileName"), QStringLiteral("Book %1.pdf").arg(i)},
                               {QStringLiteral("totalSize"), 5000000000.0 + i},
                               {QStringLiteral("downloadProgress"), 0.25 * (i % 4)},
                               {QStringLiteral("bundleId"), -i},
                               {QStringLiteral("lastModified"), i % 3 ? QJsonValue(QStringLiteral("2021-01-0%1T10:00:00").arg(i % 9 + 1)) : QJsonValue()}};
        items.append(QJsonObject{{QStringLiteral("title"), QString::fromUtf8("Dr\xc3\xa4" "che \xe2\x80\x94 %1").arg(i)},
                                 {QStringLiteral("productId"), QString::number(100 + i)},
                                 {QStringLiteral("selectedForSync"), i % 2 == 0},
                                 {QStringLiteral("archived"), i},
                                 {QString::fromUtf8("\xe2\x9c\x93 key"), QJsonArray{1, QStringLiteral("x"), QJsonObject{}}},
                                 {QStringLiteral("files"), QJsonArray{file, file}}});
    }
    return items;
}

} // namespace

class TestBinaryStoreReader : public QObject
{
    Q_OBJECT
private slots:
    void readsWhatTheFrameworkReads_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::newRow("library") << QJsonValue(sample());
        QTest::newRow("empty containers inside") << QJsonValue(QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonObject()}});
        QTest::newRow("object at the top") << QJsonValue(QJsonObject{{QStringLiteral("a"), 1}});
        QTest::newRow("numbers") << QJsonValue(QJsonArray{0, -1, 67108863, -67108864, 67108864, 1e300, -0.5, 2.5e-9});
        QTest::newRow("long and wide text")
            << QJsonValue(QJsonArray{QString(40000, QLatin1Char('a')), QString(3, QChar(0x4e2d)), QString()});
        QTest::newRow("keys in both encodings")
            << QJsonValue(QJsonObject{{QStringLiteral("b"), true}, {QString::fromUtf8("\xc3\xa9"), false},
                                      {QString::fromUtf8("\xe4\xb8\xad"), QJsonValue()}, {QStringLiteral("a"), 1}});
    }

    void readsWhatTheFrameworkReads()
    {
        QFETCH(QJsonValue, value);
        const QByteArray bytes = binary(value);
        QCOMPARE(readBack(bytes), framework(bytes));
        QCOMPARE(readBack(bytes), value);
    }

    // Damaged stores: whatever the reader takes in, the framework takes in too and reads
    // the same way, and what the framework takes in is not refused.
    void agreesWithTheFrameworkOnDamagedBytes_data()
    {
        QTest::addColumn<int>("flips");
        QTest::newRow("one byte") << 1;
        QTest::newRow("four bytes") << 4;
        QTest::newRow("truncated") << 0;
    }

    void agreesWithTheFrameworkOnDamagedBytes()
    {
        QFETCH(int, flips);
        const QByteArray good = binary(sample());
        QRandomGenerator random(20210119);
        int refused = 0;
        for (int run = 0; run < 3000; ++run) {
            QByteArray bytes = good;
            if (flips == 0) {
                bytes.truncate(random.bounded(good.size()));
            } else {
                for (int i = 0; i < flips; ++i)
                    bytes[random.bounded(bytes.size())] = char(random.bounded(256));
            }
            const QJsonValue mine = readBack(bytes);
            const QJsonValue theirs = framework(bytes);
            if (mine.isUndefined())
                ++refused;
            QVERIFY2(mine == theirs || (mine.isUndefined() && theirs.isUndefined()),
                     qPrintable(QStringLiteral("run %1").arg(run)));
        }
        QVERIFY(refused > 0);
    }

    void nestingIsBounded_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<int>("verdict");
        QTest::newRow("at the limit") << kDepth << int(BinaryStoreReader::Valid);
        QTest::newRow("beyond it") << kDepth + 1 << int(BinaryStoreReader::TooDeep);
    }

    void nestingIsBounded()
    {
        QFETCH(int, levels);
        QFETCH(int, verdict);
        QJsonArray nested;
        for (int level = 1; level < levels; ++level)
            nested = QJsonArray{nested};
        QCOMPARE(int(BinaryStoreReader(binary(nested), kDepth).verdict()), verdict);
    }

    void containersReadAlone()
    {
        const QJsonArray items = sample();
        const BinaryStoreReader reader(binary(items), kDepth);
        QCOMPARE(reader.verdict(), BinaryStoreReader::Valid);
        QCOMPARE(reader.count(reader.root()), items.size());
        const BinaryStoreReader::Value first = reader.at(reader.root(), 0);
        int entries = 0;
        reader.forEachEntry(first, [&](const BinaryStoreReader::Key &key, BinaryStoreReader::Value value) {
            ++entries;
            QCOMPARE(reader.toJsonValue(value), items.at(0).toObject().value(key.toString()));
            if (key == QLatin1String("files"))
                QCOMPARE(framework(reader.document(value)), items.at(0).toObject().value(QStringLiteral("files")));
            if (reader.type(value) == QJsonValue::String)
                QCOMPARE(reader.stringLength(value), reader.string(value).size());
        });
        QCOMPARE(entries, items.at(0).toObject().size());
    }
};

QTEST_GUILESS_MAIN(TestBinaryStoreReader)

#include "tst_binarystorereader.moc"
