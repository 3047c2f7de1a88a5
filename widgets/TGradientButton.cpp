#include "widgets/TGradientButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionFocusRect>

TGradientButton::TGradientButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setAttribute(Qt::WA_Hover);
}

void TGradientButton::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QPushButton::enterEvent(event);
}

void TGradientButton::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void TGradientButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QColor top(Qt::white), bottom(175, 190, 209);
    if (isDown()) {
        top = QColor(214, 207, 198);
        bottom = QColor(247, 243, 235);
    } else if (hovered_) {
        bottom = QColor(118, 148, 190);
    }
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(90, 110, 140));
    p.setBrush(fill);
    p.drawRoundedRect(frame, 3, 3);
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(Qt::gray));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
    if (hasFocus()) {
        p.setPen(QPen(QColor(60, 60, 60), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}
