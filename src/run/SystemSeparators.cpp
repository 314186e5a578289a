#include "SystemSeparators.h"

#include <QLocale>
#include <QString>

namespace lrf {

namespace {

// The first separator of a locale's date or time format: the first character
// that is not a field letter, a quote, a blank or an invisible direction mark
// (right-to-left formats put one beside each separator).
std::string FormatSeparator(const QString& format, const char* fallback) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter() && !c.isSpace() && c.category() != QChar::Other_Format)
            return QString(c).toStdString();
    }
    return fallback;
}

} // namespace

Separators LocaleSeparators(const QLocale& locale) {
    Separators separators;
    separators.decimal = locale.decimalPoint().toStdString();
    separators.date = FormatSeparator(locale.dateFormat(QLocale::ShortFormat), "/");
    separators.time = FormatSeparator(locale.timeFormat(QLocale::ShortFormat), ":");
    return separators;
}

Separators SystemSeparators() {
    return LocaleSeparators(QLocale::system());
}

void RefreshCurrentSeparators() {
    SetCurrentSeparators(SystemSeparators());
}

} // namespace lrf
