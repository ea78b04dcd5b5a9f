#include "pseudotranslator.h"

#include <QRegularExpression>

QString PseudoTranslator::translate(const char *, const char *sourceText, const char *, int) const
{
    const QString source = QString::fromUtf8(sourceText);
    // A date or time pattern ("MMMM dd, yyyy") is not a text: lengthened, it would print its
    // own letters as a second date.
    static const QRegularExpression pattern(QStringLiteral("^[dMyHhmsaApt ,.:/'-]+$"));
    if (pattern.match(source).hasMatch())
        return source;
    // Markup and placeholders are not read; letters are.
    static const QRegularExpression notRead(QStringLiteral("<[^>]*>|%\\d+|%n|[^\\p{L} ]"));
    const QString letters = QString(source).remove(notRead).simplified();
    if (letters.isEmpty())
        return source;
    const int extra = (source.size() + 2) / 3;
    QString padding;
    while (padding.size() < extra)
        padding += letters;
    return source + QStringLiteral("\u00b7") + padding.left(extra - 1);
}
