#pragma once

#include <QSpinBox>

// Whole-number box held within its bounds: leaving it with a value out of range puts the
// nearer bound in, and text that is not a number reads as the minimum.
class TSpinEdit : public QSpinBox
{
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // The value the box holds once its current text has been taken in.
    int CommittedValue();

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& input) const override;
};
