#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace {

// The customer's own conventions when they are of the language shown; else that language's own,
// so that an English window never shows German month names, nor a German one English ones.
QLocale textLocale(const QLocale &wanted, const QString &shownLanguage)
{
    const QLocale shown(shownLanguage.isEmpty() ? QStringLiteral("en") : shownLanguage);
    return wanted.language() == shown.language() ? wanted : shown;
}

} // namespace

Translations::Translations(const QLocale &locale)
    : m_previousDefault(QLocale())
{
    // Qt's texts only beside the program's own: a window in one language, not two.
    if (m_program.load(locale, QStringLiteral("tolvane"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(&m_program);
        if (m_qt.load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                      QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&m_qt);
    }
    QLocale::setDefault(textLocale(locale, m_program.language()));
}

Translations::~Translations()
{
    QCoreApplication::removeTranslator(&m_qt);
    QCoreApplication::removeTranslator(&m_program);
    QLocale::setDefault(m_previousDefault);
}
