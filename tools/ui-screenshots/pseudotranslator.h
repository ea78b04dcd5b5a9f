#pragma once

#include <QTranslator>

// Every text a third longer than its English source, so that the pictures show where a longer
// language would not fit. The padding is drawn from the text's own letters, for a true width.
class PseudoTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
};
