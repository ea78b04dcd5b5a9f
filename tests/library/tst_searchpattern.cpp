#include "library/librarysortfiltermodel.h"
#include "library/libraryitem.h"

#include <QRandomGenerator>
#include <QRegExp>
#include <QtTest>

// The search converts its wildcard once per keystroke; the rows it accepts must be exactly
// those the case-insensitive wildcard "*text*" accepts.
class TestSearchPattern : public QObject
{
    Q_OBJECT
private:
    static bool wildcardMatches(const QString &text, const QString &subject)
    {
        QRegExp rx(QStringLiteral("*") + text + QStringLiteral("*"), Qt::CaseInsensitive, QRegExp::Wildcard);
        return rx.indexIn(subject) != -1;
    }

private slots:
    void matchesLikeWildcard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("subject");
        const QStringList subjects = {
            QStringLiteral("Dragon Tales"), QStringLiteral("a.b(c)+d$e^f{g}|h"), QStringLiteral("x\\y*z?w"),
            QStringLiteral("[abc]"), QStringLiteral("Über ß straße"), QStringLiteral(""),
            QStringLiteral("line\nbreak"), QStringLiteral("-]^"), QStringLiteral("http://img.example/c.jpg"),
        };
        const QStringList texts = {
            QStringLiteral("dragon"), QStringLiteral("d?agon"), QStringLiteral("DR*TA"), QStringLiteral("a.b"),
            QStringLiteral("(c)+"), QStringLiteral("$e^f{g}|h"), QStringLiteral("\\y"), QStringLiteral("\\*"),
            QStringLiteral("y*z?"), QStringLiteral("[abc]"), QStringLiteral("[^abc]"), QStringLiteral("[]abc]"),
            QStringLiteral("[a-c]"), QStringLiteral("[c-a]"), QStringLiteral("[abc"), QStringLiteral("]"),
            QStringLiteral("[-]"), QStringLiteral("[a-]"), QStringLiteral("[\\]"), QStringLiteral("[[]"),
            QStringLiteral("[[:alpha:]]"), QStringLiteral("über"), QStringLiteral("STRASSE"), QStringLiteral("e\nb"),
            QStringLiteral("*"), QStringLiteral("?"), QStringLiteral("**"), QStringLiteral("[!a]"), QStringLiteral("\\"),
            QStringLiteral("[^]"), QStringLiteral("[]"), QStringLiteral("[^]]"), QStringLiteral("e?b"),
        };
        for (const QString &text : texts) {
            for (const QString &subject : subjects)
                QTest::addRow("%s in %s", qPrintable(text), qPrintable(QString(subject).replace(QLatin1Char('\n'), QStringLiteral("\\n"))))
                    << text << subject;
        }
    }

    void matchesLikeWildcard()
    {
        QFETCH(QString, text);
        QFETCH(QString, subject);
        const QRegularExpression expression = LibrarySortFilterModel::searchExpression(text);
        const bool ours = expression.isValid() && expression.match(subject).hasMatch();
        QCOMPARE(ours, wildcardMatches(text, subject));
    }

    // Random patterns over the characters that mean something to either engine.
    void matchesLikeWildcardOnRandomPatterns()
    {
        const QString alphabet = QStringLiteral("aAbB-[]^\\*?.!$(");
        QRandomGenerator random(20210119);
        const auto randomText = [&](int maxLength) {
            QString s;
            const int length = int(random.bounded(maxLength + 1));
            for (int i = 0; i < length; ++i)
                s += alphabet.at(int(random.bounded(alphabet.size())));
            return s;
        };
        for (int round = 0; round < 3000; ++round) {
            const QString text = randomText(6);
            const QRegularExpression expression = LibrarySortFilterModel::searchExpression(text);
            for (int k = 0; k < 10; ++k) {
                const QString subject = randomText(10);
                const bool ours = expression.isValid() && expression.match(subject).hasMatch();
                if (ours != wildcardMatches(text, subject))
                    QFAIL(qPrintable(QStringLiteral("pattern \"%1\" on \"%2\": ours %3").arg(text, subject).arg(ours)));
            }
        }
    }

    void neverSpansTwoRoles()
    {
        const QString joined = QStringLiteral("Dragon") + LibraryItem::kSearchSeparator + QStringLiteral("Tales");
        for (const QString &text : {QStringLiteral("n*T"), QStringLiteral("n?T"), QStringLiteral("n[^a]T")})
            QVERIFY2(!LibrarySortFilterModel::searchExpression(text).match(joined).hasMatch(), qPrintable(text));
        QVERIFY(LibrarySortFilterModel::searchExpression(QStringLiteral("t*s")).match(joined).hasMatch());
    }
};

QTEST_GUILESS_MAIN(TestSearchPattern)
#include "tst_searchpattern.moc"
