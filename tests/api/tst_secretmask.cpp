#include "api/secretmask.h"

#include <QtTest>

namespace {

const QByteArray kSecret = "S3CR3T-value";

} // namespace

class TestSecretMask : public QObject
{
    Q_OBJECT
private slots:
    // Each reply plants kSecret; no spelling of it may survive the masking.
    void noSpellingEscapes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        const QByteArray longToken = QByteArray("ab\\/").repeated(15000) + kSecret;
        QTest::newRow("plain") << QByteArray("{\"status\":\"success\",\"message\":{\"access_token\":\"S3CR3T-value\"}}");
        QTest::newRow("escaped name and value") << QByteArray("{\"message\":{\"k\\u0065y\":\"S3CR3T\\u002dvalue\"}}");
        QTest::newRow("escaped slash") << QByteArray("{\"key\":\"S3CR3T\\/-value\"}");
        QTest::newRow("long token with slashes") << QByteArray("{\"access_token\":\"" + longToken + "\"}");
        QTest::newRow("array of secrets") << QByteArray("[{\"key\":[\"S3CR3T-value\",{\"a\":\"S3CR3T-value\"}]}]");
        QTest::newRow("number") << QByteArray("{\"key\":123456789}");
        QTest::newRow("truncated") << QByteArray("{\"access_token\":\"S3CR3T-value");
        QTest::newRow("spaced") << QByteArray("{ \"key\" :\n \"S3CR3T-value\" }");
        QTest::newRow("secret as a name under a secret") << QByteArray("{\"key\":{\"m\":{\"S3CR3T-value\":1}}}");
    }

    void noSpellingEscapes()
    {
        QFETCH(QByteArray, reply);
        const QByteArray logged = SecretMask::maskReplyBody(reply);
        QVERIFY2(!logged.contains(kSecret) && !logged.contains("S3CR3T") && !logged.contains("123456789"),
                 logged.left(200).constData());
        QVERIFY(!logged.contains("ab/ab/"));
    }

    void otherMembersStay()
    {
        const QByteArray logged = SecretMask::maskReplyBody("{\"key\":\"x\",\"keywords\":\"dragons\",\"customers_id\":\"7\"}");
        QCOMPARE(logged, QByteArray("{\"customers_id\":\"7\",\"key\":\"********\",\"keywords\":\"dragons\"}"));
        const QByteArray page = "{\"status\":\"success\",\"message\":[{\"products_id\":\"1\"}]}";
        QCOMPARE(SecretMask::maskReplyBody(page), page);
    }
};

QTEST_GUILESS_MAIN(TestSecretMask)
#include "tst_secretmask.moc"
