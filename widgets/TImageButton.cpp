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
        // Seen on the blue sidebar and on the lighter pictures alike.
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 2, Qt::DotLine));
        p.drawEllipse(area.adjusted(1, 1, -1, -1));
    }
}
