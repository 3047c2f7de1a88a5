#pragma once

#include <QPushButton>

// The program's push button: a vertical gradient that changes on hover and press.
class TGradientButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TGradientButton(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hovered_ = false;
};
