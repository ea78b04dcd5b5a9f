#include "library/librarysortfiltermodel.h"

#include <QRandomGenerator>
#include <QRegExp>
#include <QtTest>

// The search converts its wildcard once per keystroke; the rows it accepts must be exactly
// those the case-insensitive wildcard "*text*" accepts.
class TestSearchPattern : public QObject
{
    Q_OBJECT
private:
    static bool same(const QString &text, const QString &subject)
    {
        const QRegularExpression ours = LibrarySortFilterModel::searchExpression(text);
        QRegExp rx(QStringLiteral("*") + text + QStringLiteral("*"), Qt::CaseInsensitive, QRegExp::Wildcard);
        return (ours.isValid() && ours.match(subject).hasMatch()) == (rx.indexIn(subject) != -1);
    }

private slots:
    void matchesLikeWildcard_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("subject");
        const QStringList subjects = {"Dragon Tales", "a.b(c)+d$e^f{g}|h", "x\\y*z?w", "[abc]", "\u00dcber stra\u00dfe",
                                      "line\nbreak", "-]^"};
        const QStringList texts = {"d?agon", "DR*TA", "(c)+", "$e^f{g}|h", "\\*", "[^abc]", "[]abc]", "[c-a]", "[abc",
                                   "[a-]", "[\\]", "[[:alpha:]]", "\u00fcber", "e\nb", "[!a]", "\\", "[^]]"};
        for (const QString &text : texts) {
            for (const QString &subject : subjects)
                QTest::addRow("%s in %s", qPrintable(text), qPrintable(subject)) << text << subject;
        }
    }

    void matchesLikeWildcard()
    {
        QFETCH(QString, text);
        QFETCH(QString, subject);
        QVERIFY(same(text, subject));
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
        for (int round = 0; round < 20000; ++round) {
            const QString text = randomText(6), subject = randomText(10);
            QVERIFY2(same(text, subject), qPrintable(text + " on " + subject));
        }
    }

};

QTEST_GUILESS_MAIN(TestSearchPattern)
#include "tst_searchpattern.moc"
