#include "widgets/PaintListRow.h"

#include "widgets/PaintGradient.h"

#include <QPainter>
#include <QPainterPath>

void PaintListRow(QPainter& painter, const QRect& r, bool selected, double radius)
{
    if (!selected) {
        painter.fillRect(r, Qt::white);
        return;
    }
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(r), radius, radius);
    painter.setClipPath(clip);
    PaintGradient(painter, TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1},
                  {QColor(0xFF, 0xF5, 0xDD), QColor(0xFF, 0xF5, 0xDD), QColor(0xFF, 0xD2, 0x5E)},
                  false);
    painter.setPen(QColor(0xC5, 0xC5, 0xC5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1), radius,
                            radius);
    painter.restore();
}
