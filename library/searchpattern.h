#pragma once

#include <QPair>
#include <QRegularExpression>
#include <QString>
#include <QStringView>
#include <QVector>

// One search text as the library's filter reads it: the case-insensitive wildcard
// "*" + text + "*" (* any run, ? one character, [...] a set) over each role text of an item.
// A match never spans LibraryItem::kSearchSeparator, so it can run over an item's joined role
// texts at once. An empty text matches everything; an invalid one (an unclosed set) nothing.
class SearchPattern
{
public:
    SearchPattern() = default;
    explicit SearchPattern(const QString &text);

    // The pattern as an expression over one role's text; invalid for a spoilt pattern.
    static QRegularExpression expressionFor(const QString &text);

    QString text() const { return m_text; }
    const QRegularExpression &expression() const { return m_expression; }
    // Whether this text's matches, with more text typed after it, keep its own as the start:
    // the rows found for it hold every row found for the longer text.
    bool extendsCleanly() const;
    // Whether matches() reads the folded text; if not, any view does.
    bool needsFoldedText() const;
    // Whether the pattern matches an item's joined role texts, given their case-folded form
    // and whether folding kept every character in place.
    bool matches(const QString &text, QStringView folded, bool aligned) const;

private:
    // One step over case-folded text: a character, any one character, any run, or a set of
    // code point ranges.
    struct Wild {
        enum Kind : quint8 { Char, AnyOne, AnyRun, Set };
        Kind kind = Char;
        bool negated = false;
        QChar c;
        QVector<QPair<uint, uint>> ranges;
    };
    static QVector<Wild> foldedWild(const QString &text);
    // Whether the wildcard matches somewhere in one role's folded text.
    static bool wildMatch(const QVector<Wild> &wild, QStringView text);
    static bool inSet(const Wild &set, uint c);

    QString m_text;
    bool m_plain = false;
    // The text as a wildcard over the folded role texts, which answer like the expression
    // without its cost per call; empty when only the expression can tell.
    QVector<Wild> m_wild;
    // Plain text, or text every match contains when "required": case-folded, looked for in
    // the folded text.
    bool m_required = false;
    QString m_folded;
    QRegularExpression m_expression;
};
