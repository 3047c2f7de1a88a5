#include "widgets/TImageButton.h"

#include <QPainter>

TImageButton::TImageButton(TGlyph glyph, QWidget* parent) : QAbstractButton(parent), glyph_(glyph)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
}

QSize TImageButton::sizeHint() const
{
    return QSize(48, 48);
}

void TImageButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRectF area(rect());
    if (isDown())
        area.translate(1, 1);
    PaintGlyph(p, glyph_, area);
    if (underMouse() && !isDown()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 120), 2));
        p.drawEllipse(area.adjusted(1, 1, -1, -1));
    }
}
