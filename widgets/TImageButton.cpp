#include "widgets/TImageButton.h"

#include <QEvent>
#include <QPainter>

TImageButton::TImageButton(TGlyph glyph, QWidget* parent) : QAbstractButton(parent), glyph_(glyph)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    // Tab only: a click leaves the focus where the user was typing.
    setFocusPolicy(Qt::TabFocus);
}

bool TImageButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTipChange)
        setAccessibleName(toolTip());
    return QAbstractButton::event(event);
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
    if (hasFocus()) {
        // White dots on a dark ring: seen on the red and green pictures and the light ones.
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        const QRectF ring = area.adjusted(1.5, 1.5, -1.5, -1.5);
        p.setPen(QPen(QColor(0, 40, 70), 3));
        p.drawEllipse(ring);
        p.setPen(QPen(Qt::white, 2, Qt::DotLine));
        p.drawEllipse(ring);
    }
}
