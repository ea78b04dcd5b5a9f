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
        // An object at the top, keys in both encodings, empty containers, numbers on either side
        // of what fits inline, long and wide text.
        QTest::newRow("edge values") << QJsonValue(QJsonObject{
            {QStringLiteral("b"), QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonObject()}}},
            {QString::fromUtf8("\xc3\xa9"), QJsonArray{0, -1, 67108863, -67108864, 67108864, 1e300, -0.5, 2.5e-9}},
            {QString::fromUtf8("\xe4\xb8\xad"), QJsonValue()},
            {QStringLiteral("a"), QJsonArray{QString(40000, QLatin1Char('a')), QString(3, QChar(0x4e2d)), QString()}}});
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

    void nestingIsBounded()
    {
        QJsonArray nested;
        for (int level = 1; level < kDepth; ++level)
            nested = QJsonArray{nested};
        QCOMPARE(BinaryStoreReader(binary(nested), kDepth).verdict(), BinaryStoreReader::Valid);
        QCOMPARE(BinaryStoreReader(binary(QJsonArray{nested}), kDepth).verdict(), BinaryStoreReader::TooDeep);
    }
};

QTEST_GUILESS_MAIN(TestBinaryStoreReader)

#include "tst_binarystorereader.moc"
