#include "widgets/TSpinEdit.h"

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
}

QValidator::State TSpinEdit::validate(QString& text, int& pos) const
{
    // Anything may be typed; what is not a number becomes the minimum when the box is left.
    QValidator::State state = QSpinBox::validate(text, pos);
    return state == QValidator::Invalid ? QValidator::Intermediate : state;
}

int TSpinEdit::valueFromText(const QString& text) const
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return minimum();
    return std::clamp(v, minimum(), maximum());
}

void TSpinEdit::fixup(QString& input) const
{
    input = QString::number(valueFromText(input));
}

int TSpinEdit::CommittedValue()
{
    interpretText();
    setValue(valueFromText(text()));
    return value();
}
