#include "library/libraryitem.h"
#include "library/searchpattern.h"

#include <QRandomGenerator>
#include <QRegExp>
#include <QtTest>

// The search converts its wildcard once per keystroke; the rows it accepts must be exactly
// those the case-insensitive wildcard "*text*" accepts.
class TestSearchPattern : public QObject
{
    Q_OBJECT
private:
    // Role texts joined as an item joins them, then matched the way the library's filter does.
    static bool found(const QString &text, const QStringList &roles)
    {
        const QString joined = roles.join(LibraryItem::kSearchSeparator);
        const QString folded = joined.toCaseFolded();
        return SearchPattern(text).matches(joined, folded, folded.size() == joined.size());
    }

    // Both the expression and the matcher's own reading of the wildcard.
    static bool same(const QString &text, const QString &subject)
    {
        const QRegularExpression ours = SearchPattern::expressionFor(text);
        QRegExp rx(QStringLiteral("*") + text + QStringLiteral("*"), Qt::CaseInsensitive, QRegExp::Wildcard);
        const bool expected = rx.indexIn(subject) != -1;
        return (ours.isValid() && ours.match(subject).hasMatch()) == expected && found(text, {subject}) == expected;
    }

private slots:
    // Texts that mean something to a regular expression, a set or the other engine, on subjects
    // that hold such characters; then random patterns over the characters that mean something
    // to either engine.
    void matchesLikeWildcard()
    {
        const QStringList subjects = {"Dragon Tales", "a.b(c)+d$e^f{g}|h", "x\\y*z?w", "[abc]", "\u00dcber stra\u00dfe",
                                      "line\nbreak", "-]^"};
        const QStringList texts = {"d?agon", "DR*TA", "(c)+", "$e^f{g}|h", "\\*", "[^abc]", "[]abc]", "[c-a]", "[abc",
                                   "[a-]", "[\\]", "[[:alpha:]]", "\u00fcber", "e\nb", "[!a]", "\\", "[^]]"};
        for (const QString &text : texts) {
            for (const QString &subject : subjects)
                QVERIFY2(same(text, subject), qPrintable(text + " in " + subject));
        }

        const QString alphabet = QStringLiteral("aAbB-[]^\\*?.!$(");
        QRandomGenerator random(20210119);
        const auto randomText = [&](int maxLength) {
            QString s;
            const int length = int(random.bounded(maxLength + 1));
            for (int i = 0; i < length; ++i)
                s += alphabet.at(int(random.bounded(alphabet.size())));
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            const QString text = randomText(6), subject = randomText(10);
            QVERIFY2(same(text, subject), qPrintable(text + " on " + subject));
        }
    }

    // Wildcard searches look first for the longest run of plain text and then try the
    // pattern on each role that holds it; a role further on may be the one that matches.
    void wildcardsTryEveryRoleWithTheText()
    {
        QStringList matched;
        for (const char *text : {"tale*co", "[t]ale*co", "tal?s", "tale*zz"}) {
            matched << QString::number(found(QString::fromLatin1(text), {"Ember Tales", "Tale Ember Co"}))
                           + QString::number(found(QString::fromLatin1(text), {"Tales", "Ember"}));
        }
        QCOMPARE(matched, (QStringList{"10", "10", "11", "00"}));
    }
};

QTEST_GUILESS_MAIN(TestSearchPattern)
#include "tst_searchpattern.moc"
