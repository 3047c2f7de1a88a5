#include "widgets/TTitleBarIcon.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace {

constexpr qreal Grid = 16;

} // namespace

QIcon TTitleBarIcon::Icon(TKind kind)
{
    return QIcon(new TTitleBarIcon(kind));
}

void TTitleBarIcon::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State)
{
    if (rect.isEmpty())
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // The symbols are laid out on a 16 x 16 grid, square and centred in the rectangle; one
    // grid unit is one pixel of a 16-pixel icon, so lines on half units fall on whole pixels.
    const qreal side = std::min(rect.width(), rect.height());
    painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
    painter->scale(side / Grid, side / Grid);
    const QColor ink(0x6C, 0x6C, 0x6C, mode == QIcon::Disabled ? 90 : 204);
    QPen pen(ink, 1);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    // Where the style's centred 11 x 13 bitmap lands in a 16 x 16 icon, so either looks alike.
    painter->drawRoundedRect(QRectF(3.5, 3.5, 10, 10), 1.5, 1.5);
    switch (kind_) {
    case TKind::Minimize:
        painter->fillRect(QRectF(5, 8, 7, 2), ink);
        break;
    case TKind::Restore:
        // The window behind shows only where the one in front leaves it.
        painter->drawPolyline(QPolygonF({QPointF(7.5, 7), QPointF(7.5, 5.5), QPointF(11.5, 5.5),
                                         QPointF(11.5, 9.5), QPointF(10, 9.5)}));
        painter->drawRect(QRectF(5.5, 7.5, 4, 4));
        break;
    case TKind::Close:
        pen.setWidthF(2);
        pen.setCapStyle(Qt::FlatCap);
        painter->setPen(pen);
        painter->drawLine(QPointF(5.3, 5.3), QPointF(11.7, 11.7));
        painter->drawLine(QPointF(11.7, 5.3), QPointF(5.3, 11.7));
        break;
    }
    painter->restore();
}

QPixmap TTitleBarIcon::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    // At a pixel ratio above 1 QIcon asks for the size in device pixels and marks the ratio
    // on the pixmap itself.
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    if (size.isEmpty())
        return picture;
    {
        QPainter p(&picture);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
    }
    return picture;
}

QIconEngine* TTitleBarIcon::clone() const
{
    return new TTitleBarIcon(kind_);
}

QString TTitleBarIcon::key() const
{
    return QStringLiteral("TTitleBarIcon");
}
