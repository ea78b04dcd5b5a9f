#include "searchpattern.h"

#include "libraryitem.h"

#include <utility>

namespace {

QString codePoint(QChar c)
{
    return QStringLiteral("\\x{%1}").arg(c.unicode(), 0, 16);
}

// Text outside a set that a user may type: every character stands for itself.
QString literal(QChar c)
{
    // Halves of a surrogate pair cannot be written as code points; as raw text they pair up.
    return c.isLetterOrNumber() || c.isSurrogate() ? QString(c) : codePoint(c);
}

// Whether the pattern of this text, followed by more typed text, keeps its own pattern as the
// start: no escape, set or stray bracket can change meaning across the join, and no surrogate
// pair is split.
bool extendsCleanlyText(const QString &text)
{
    if (text.isEmpty() || text.back().isSurrogate())
        return false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('[') || c == QLatin1Char(']'))
            return false;
    }
    return true;
}

// Text that reads the same as a pattern: no wildcard, set or escape, and no separator.
bool isPlainText(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('\\') || c == LibraryItem::kSearchSeparator)
            return false;
    }
    return true;
}

// The longest run of characters that every match of the wildcard text contains as typed
// (in any letter case); empty when escapes make that hard to tell.
QString longestLiteralRun(const QString &text)
{
    QString longest;
    QString run;
    const auto endRun = [&] {
        if (run.size() > longest.size())
            longest = run;
        run.clear();
    };
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') || c == LibraryItem::kSearchSeparator)
            return QString();
        if (c == QLatin1Char('*') || c == QLatin1Char('?')) {
            endRun();
        } else if (c == QLatin1Char('[')) {
            endRun();
            // A set may begin with ']' or "^]"; it ends at the next ']'.
            int j = i + 1;
            if (j < text.size() && text.at(j) == QLatin1Char('^'))
                ++j;
            if (j < text.size() && text.at(j) == QLatin1Char(']'))
                ++j;
            while (j < text.size() && text.at(j) != QLatin1Char(']'))
                ++j;
            i = j;
        } else {
            run += c;
        }
    }
    endRun();
    return longest;
}

enum WildKind { Literal, AnyRun, AnyOne, Set };

struct WildToken {
    WildKind kind;
    QChar c;
    bool negated;
    QString members;
};

// The wildcard "*" + text + "*" as tokens, without the leading and trailing runs that add
// nothing to an unanchored search; false when the text spoils the pattern.
bool parseWildcard(const QString &text, QVector<WildToken> &tokens)
{
    // Wildcards as the classic wildcard matcher reads them: a backslash is a literal backslash
    // that also makes a following * ? [ or ] literal and doubles itself before any other
    // character; a ']' outside a set, or a set that is never closed, spoils the whole pattern.
    tokens.clear();
    const QString wildcard = QLatin1Char('*') + text + QLatin1Char('*');
    bool escaping = false;
    const int length = wildcard.size();
    for (int i = 0; i < length;) {
        const QChar c = wildcard.at(i++);
        if (c == QLatin1Char('\\')) {
            tokens.append({Literal, c, false, QString()});
            escaping = true;
            continue;
        }
        if (escaping) {
            escaping = false;
            if (c != QLatin1Char('*') && c != QLatin1Char('?') && c != QLatin1Char('[') && c != QLatin1Char(']'))
                tokens.append({Literal, QLatin1Char('\\'), false, QString()});
            tokens.append({Literal, c, false, QString()});
            continue;
        }
        if (c == QLatin1Char('*')) {
            tokens.append({AnyRun, c, false, QString()});
        } else if (c == QLatin1Char('?')) {
            tokens.append({AnyOne, c, false, QString()});
        } else if (c == QLatin1Char(']')) {
            return false;
        } else if (c == QLatin1Char('[')) {
            WildToken set{Set, c, false, QString()};
            if (i < length && wildcard.at(i) == QLatin1Char('^')) {
                set.negated = true;
                ++i;
            }
            if (i < length && wildcard.at(i) == QLatin1Char(']'))
                set.members += wildcard.at(i++);
            while (i < length && wildcard.at(i) != QLatin1Char(']'))
                set.members += wildcard.at(i++);
            if (i >= length)
                return false;
            ++i;
            tokens.append(set);
        } else {
            tokens.append({Literal, c, false, QString()});
        }
    }

    // Leading and trailing runs add nothing to an unanchored search.
    int first = 0;
    int last = tokens.size();
    while (first < last && tokens.at(first).kind == AnyRun)
        ++first;
    while (last > first && tokens.at(last - 1).kind == AnyRun)
        --last;
    tokens = tokens.mid(first, last - first);
    return true;
}

} // namespace

QRegularExpression SearchPattern::expressionFor(const QString &text)
{
    QVector<WildToken> tokens;
    if (!parseWildcard(text, tokens))
        return QRegularExpression(QStringLiteral("("));
    const QString separator = codePoint(LibraryItem::kSearchSeparator);
    const QString anyOne = QStringLiteral("[^") + separator + QLatin1Char(']');
    QString pattern;
    for (const WildToken &token : qAsConst(tokens)) {
        switch (token.kind) {
        case Literal:
            pattern += literal(token.c);
            break;
        case AnyRun:
            pattern += anyOne + QLatin1Char('*');
            break;
        case AnyOne:
            pattern += anyOne;
            break;
        case Set: {
            // A '-' between two members makes a range; a backwards range counts forwards.
            QString body;
            const QString &members = token.members;
            for (int k = 0; k < members.size(); ++k) {
                QChar from = members.at(k);
                if (k + 2 < members.size() && members.at(k + 1) == QLatin1Char('-')) {
                    QChar to = members.at(k + 2);
                    if (to < from)
                        std::swap(from, to);
                    body += codePoint(from) + QLatin1Char('-') + codePoint(to);
                    k += 2;
                } else {
                    body += codePoint(from);
                }
            }
            pattern += QStringLiteral("(?!") + separator + QStringLiteral(")[") + (token.negated ? QStringLiteral("^") : QString())
                + body + QLatin1Char(']');
            break;
        }
        }
    }

    QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption
                                               | QRegularExpression::DontCaptureOption);
    expression.optimize();
    return expression;
}

SearchPattern::SearchPattern(const QString &text)
    : m_text(text)
{
    if (text.isEmpty())
        return;
    m_plain = isPlainText(text);
    if (m_plain)
        m_folded = text.toCaseFolded();
    m_expression = expressionFor(text);
    if (!m_plain && m_expression.isValid()) {
        m_wild = foldedWild(text);
        const QString run = longestLiteralRun(text);
        if (!run.isEmpty()) {
            m_folded = run.toCaseFolded();
            m_required = true;
        }
    }
}

bool SearchPattern::extendsCleanly() const
{
    return extendsCleanlyText(m_text);
}

bool SearchPattern::needsFoldedText() const
{
    return m_plain || m_required || !m_wild.isEmpty();
}

QVector<SearchPattern::Wild> SearchPattern::foldedWild(const QString &text)
{
    QVector<WildToken> tokens;
    if (!parseWildcard(text, tokens))
        return {};
    // Folding a character must give one character, and surrogates are left to the expression,
    // which counts a pair as one character.
    const auto fold = [](QChar c, QChar *folded) {
        if (c.isSurrogate() || c == LibraryItem::kSearchSeparator)
            return false;
        const QString text = QString(c).toCaseFolded();
        if (text.size() != 1)
            return false;
        *folded = text.at(0);
        return true;
    };
    QVector<Wild> wild;
    wild.reserve(tokens.size() + 1);
    // The leading run makes the search unanchored.
    wild.append({Wild::AnyRun, false, QChar(), {}});
    for (const WildToken &token : qAsConst(tokens)) {
        Wild step;
        switch (token.kind) {
        case Literal:
            step.kind = Wild::Char;
            if (!fold(token.c, &step.c))
                return {};
            break;
        case AnyRun:
            step.kind = Wild::AnyRun;
            break;
        case AnyOne:
            step.kind = Wild::AnyOne;
            break;
        case Set: {
            step.kind = Wild::Set;
            step.negated = token.negated;
            const QString &members = token.members;
            for (int k = 0; k < members.size(); ++k) {
                uint from = members.at(k).unicode();
                uint to = from;
                if (k + 2 < members.size() && members.at(k + 1) == QLatin1Char('-')) {
                    to = members.at(k + 2).unicode();
                    if (to < from)
                        std::swap(from, to);
                    k += 2;
                }
                if (QChar::isSurrogate(from) || QChar::isSurrogate(to) || (from <= 0xdfff && to >= 0xd800))
                    return {};
                step.ranges.append({from, to});
                // A single member stands for each of its cases, as its folded form does too.
                if (from == to) {
                    for (uint form : {QChar::toCaseFolded(from), QChar::toUpper(from), QChar::toLower(from), QChar::toTitleCase(from)}) {
                        if (form != from)
                            step.ranges.append({form, form});
                    }
                }
            }
            break;
        }
        }
        wild.append(step);
    }
    return wild;
}

bool SearchPattern::inSet(const Wild &set, uint c)
{
    // Without regard to case: the character or one of its other cases is a member.
    const uint forms[] = {c, QChar::toUpper(c), QChar::toLower(c), QChar::toTitleCase(c)};
    bool member = false;
    for (uint form : forms) {
        for (const auto &range : set.ranges)
            member = member || (form >= range.first && form <= range.second);
    }
    return member != set.negated;
}

bool SearchPattern::wildMatch(const QVector<Wild> &wild, QStringView text)
{
    // On a mismatch the last run takes one more character and the steps after it start
    // again; each step but a run takes one character, a surrogate pair being one.
    const int length = int(text.size());
    const int steps = wild.size();
    int at = 0;
    int step = 0;
    int runStep = -1;
    int runAt = 0;
    while (step < steps) {
        const Wild &w = wild.at(step);
        if (w.kind == Wild::AnyRun) {
            runStep = step++;
            runAt = at;
            continue;
        }
        int taken = 0;
        if (at < length) {
            const QChar c = text.at(at);
            const bool pair = c.isHighSurrogate() && at + 1 < length && text.at(at + 1).isLowSurrogate();
            switch (w.kind) {
            case Wild::Char:
                taken = c == w.c ? 1 : 0;
                break;
            case Wild::AnyOne:
                taken = pair ? 2 : 1;
                break;
            case Wild::Set:
                if (inSet(w, pair ? QChar::surrogateToUcs4(c, text.at(at + 1)) : c.unicode()))
                    taken = pair ? 2 : 1;
                break;
            case Wild::AnyRun:
                break;
            }
        }
        if (taken > 0) {
            at += taken;
            ++step;
            continue;
        }
        if (runStep < 0 || runAt >= length)
            return false;
        step = runStep + 1;
        at = ++runAt;
    }
    return true;
}

bool SearchPattern::matches(const QString &text, QStringView key, bool aligned) const
{
    if (!m_plain && !m_expression.isValid())
        return false;
    if (!needsFoldedText())
        return m_expression.match(text).hasMatch();
    // A match never spans two roles, so the pattern only runs over single roles.
    const auto roleMatches = [&](int start, int end) {
        if (!m_wild.isEmpty())
            return wildMatch(m_wild, key.mid(start, end - start));
        return m_expression.match(text.midRef(start, end - start)).hasMatch();
    };
    if (!m_plain && !aligned)
        return m_expression.match(text).hasMatch();
    if (!m_plain && !m_required) {
        for (int start = 0; start <= key.size();) {
            int end = int(key.indexOf(LibraryItem::kSearchSeparator, start));
            if (end < 0)
                end = int(key.size());
            if (roleMatches(start, end))
                return true;
            start = end + 1;
        }
        return false;
    }
    const QString &wanted = m_folded;
    const QStringView rest = QStringView(wanted).mid(1);
    const auto find = [&](int from) {
        // The vectorised scan for the first character, then a look at the rest, beats a
        // skip table on these short texts.
        for (int at = int(key.indexOf(wanted.at(0), from)); at >= 0; at = int(key.indexOf(wanted.at(0), at + 1))) {
            if (key.mid(at + 1).startsWith(rest))
                return at;
        }
        return -1;
    };
    int hit = find(0);
    if (m_plain || hit < 0)
        return hit >= 0;
    // Only the roles that hold the text every match contains are tried.
    while (hit >= 0) {
        const int start = int(key.lastIndexOf(LibraryItem::kSearchSeparator, hit)) + 1;
        int end = int(key.indexOf(LibraryItem::kSearchSeparator, hit));
        if (end < 0)
            end = int(key.size());
        if (roleMatches(start, end))
            return true;
        hit = end < key.size() ? find(end + 1) : -1;
    }
    return false;
}

