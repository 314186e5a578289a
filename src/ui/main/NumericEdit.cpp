#include "NumericEdit.h"

#include <limits>

namespace lrf {

NumericEdit::NumericEdit(QWidget* parent)
    : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

QString NumericEdit::formatValue(int value, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    if (value < 0)
        return QLatin1Char('(') + grouped.toString(-static_cast<qint64>(value)) + QLatin1Char(')');
    return grouped.toString(value);
}

QString NumericEdit::textFromValue(int value) const {
    return formatValue(value, locale());
}

bool NumericEdit::parse(const QString& text, int& value) const {
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('(')) && t.endsWith(QLatin1Char(')'))) {
        negative = true;
        t = t.mid(1, t.size() - 2).trimmed();
    } else if (t.startsWith(QLatin1Char('-'))) {
        negative = true;
        t = t.mid(1).trimmed();
    }
    t.remove(locale().groupSeparator());
    bool ok = false;
    const qint64 magnitude = t.toLongLong(&ok);
    if (!ok || t.isEmpty())
        return false;
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (signedValue < minimum() || signedValue > maximum())
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

int NumericEdit::valueFromText(const QString& text) const {
    int v = value();
    parse(text, v);
    return v;
}

QValidator::State NumericEdit::validate(QString& input, int&) const {
    const QString t = input.trimmed();
    if (t.isEmpty() || t == QLatin1String("(") || t == QLatin1String("-"))
        return QValidator::Intermediate;
    int v = 0;
    if (parse(input, v))
        return QValidator::Acceptable;
    // A parenthesis not yet closed is still being typed.
    if (t.startsWith(QLatin1Char('('))) {
        QString closed = t + QLatin1Char(')');
        if (parse(closed, v))
            return QValidator::Intermediate;
    }
    return QValidator::Invalid;
}

} // namespace lrf
