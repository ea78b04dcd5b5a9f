#pragma once

#include <QLocale>
#include <QTranslator>

// The program's texts and Qt's own standard texts in the customer's language, installed for as
// long as this lives. English, the language of the sources, needs no file. Dates and sizes are
// written in the conventions of the language the texts are shown in.
class Translations
{
public:
    explicit Translations(const QLocale &locale);
    ~Translations();
    Translations(const Translations &) = delete;
    Translations &operator=(const Translations &) = delete;

private:
    QTranslator m_program;
    QTranslator m_qt;
    QLocale m_previousDefault;
};
