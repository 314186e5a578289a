#pragma once

#include <QSpinBox>

namespace lrf {

// An integer field shown with thousands grouped and negative values in
// parentheses: 12345 shows as "12,345" and -5 as "(5)". Typed text is read the
// same way; the grouping separator is optional when typing.
class NumericEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit NumericEdit(QWidget* parent = nullptr);

    static QString formatValue(int value, const QLocale& locale);

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString& text) const override;
    QValidator::State validate(QString& input, int& pos) const override;

private:
    bool parse(const QString& text, int& value) const;
};

} // namespace lrf
