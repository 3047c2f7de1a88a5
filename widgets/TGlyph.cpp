#include "widgets/TGlyph.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QColor BaseColour(TGlyph glyph)
{
    switch (glyph) {
    case TGlyph::CallAnswer:
        return QColor(40, 170, 70);
    case TGlyph::CallEnd:
    case TGlyph::Close:
        return QColor(200, 45, 40);
    default:
        return QColor(235, 240, 248);
    }
}

QPainterPath Handset(const QRectF& r)
{
    QPainterPath path;
    const qreal w = r.width(), h = r.height();
    path.moveTo(r.left() + 0.10 * w, r.top() + 0.55 * h);
    path.cubicTo(r.left() + 0.10 * w, r.top() + 0.25 * h, r.left() + 0.90 * w, r.top() + 0.25 * h,
                 r.left() + 0.90 * w, r.top() + 0.55 * h);
    path.lineTo(r.left() + 0.70 * w, r.top() + 0.68 * h);
    path.lineTo(r.left() + 0.64 * w, r.top() + 0.50 * h);
    path.cubicTo(r.left() + 0.55 * w, r.top() + 0.45 * h, r.left() + 0.45 * w, r.top() + 0.45 * h,
                 r.left() + 0.36 * w, r.top() + 0.50 * h);
    path.lineTo(r.left() + 0.30 * w, r.top() + 0.68 * h);
    path.closeSubpath();
    return path;
}

} // namespace

void PaintGlyph(QPainter& p, TGlyph glyph, const QRectF& area)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = area.adjusted(1, 1, -1, -1);
    QRadialGradient shade(disc.center() - QPointF(disc.width() / 6, disc.height() / 6),
                          disc.width() * 0.7);
    const QColor base = BaseColour(glyph);
    shade.setColorAt(0, base.lighter(130));
    shade.setColorAt(1, base.darker(125));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
    p.setBrush(shade);
    p.drawEllipse(disc);

    const QRectF r = disc.adjusted(disc.width() * 0.22, disc.height() * 0.22, -disc.width() * 0.22,
                                   -disc.height() * 0.22);
    const bool onColour =
        glyph == TGlyph::CallAnswer || glyph == TGlyph::CallEnd || glyph == TGlyph::Close;
    const QColor ink = onColour ? QColor(Qt::white) : QColor(0, 80, 125);
    QPen pen(ink, std::max<qreal>(1.5, r.width() / 9), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = r.center();
    const qreal w = r.width(), h = r.height();

    switch (glyph) {
    case TGlyph::CallAnswer:
        p.fillPath(Handset(r), ink);
        break;
    case TGlyph::CallEnd: {
        p.translate(c);
        p.rotate(135);
        p.translate(-c);
        p.fillPath(Handset(r), ink);
        break;
    }
    case TGlyph::Settings:
        p.drawEllipse(c, w * 0.22, h * 0.22);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(c);
            p.rotate(i * 45);
            p.drawLine(QPointF(0, -h * 0.30), QPointF(0, -h * 0.45));
            p.restore();
        }
        break;
    case TGlyph::AddressBook:
        p.drawRoundedRect(r.adjusted(w * 0.15, 0, -w * 0.15, 0), 2, 2);
        p.drawLine(QPointF(r.left() + w * 0.35, r.top() + h * 0.3),
                   QPointF(r.right() - w * 0.25, r.top() + h * 0.3));
        p.drawLine(QPointF(r.left() + w * 0.35, r.top() + h * 0.5),
                   QPointF(r.right() - w * 0.25, r.top() + h * 0.5));
        break;
    case TGlyph::Snapshot:
    case TGlyph::Video:
        p.drawRoundedRect(QRectF(r.left(), r.top() + h * 0.25, w * 0.7, h * 0.5), 2, 2);
        if (glyph == TGlyph::Snapshot)
            p.drawEllipse(QPointF(r.left() + w * 0.35, c.y()), w * 0.13, h * 0.13);
        p.drawPolygon(
            QPolygonF({QPointF(r.left() + w * 0.75, c.y()), QPointF(r.right(), r.top() + h * 0.28),
                       QPointF(r.right(), r.bottom() - h * 0.28)}));
        break;
    case TGlyph::Maximize:
        p.drawRect(r.adjusted(w * 0.05, h * 0.1, -w * 0.05, -h * 0.05));
        p.drawLine(QPointF(r.left() + w * 0.05, r.top() + h * 0.25),
                   QPointF(r.right() - w * 0.05, r.top() + h * 0.25));
        break;
    case TGlyph::Microphone:
        p.drawRoundedRect(QRectF(c.x() - w * 0.15, r.top(), w * 0.3, h * 0.6), w * 0.15, w * 0.15);
        p.drawArc(QRectF(c.x() - w * 0.3, r.top() + h * 0.2, w * 0.6, h * 0.6), 180 * 16, 180 * 16);
        p.drawLine(QPointF(c.x(), r.top() + h * 0.8), QPointF(c.x(), r.bottom()));
        break;
    case TGlyph::Close:
        p.drawLine(r.topLeft() + QPointF(w * 0.1, h * 0.1),
                   r.bottomRight() - QPointF(w * 0.1, h * 0.1));
        p.drawLine(r.topRight() + QPointF(-w * 0.1, h * 0.1),
                   r.bottomLeft() + QPointF(w * 0.1, -h * 0.1));
        break;
    case TGlyph::Preview:
        p.drawEllipse(c, w * 0.45, h * 0.25);
        p.setBrush(ink);
        p.drawEllipse(c, w * 0.1, h * 0.1);
        break;
    case TGlyph::Transfer:
        p.drawLine(QPointF(r.left(), c.y()), QPointF(r.right(), c.y()));
        p.drawLine(QPointF(r.right() - w * 0.3, r.top() + h * 0.2), QPointF(r.right(), c.y()));
        p.drawLine(QPointF(r.right() - w * 0.3, r.bottom() - h * 0.2), QPointF(r.right(), c.y()));
        break;
    case TGlyph::Speaker:
        p.drawPolygon(QPolygonF(
            {QPointF(r.left(), c.y() - h * 0.15), QPointF(r.left() + w * 0.25, c.y() - h * 0.15),
             QPointF(r.left() + w * 0.55, r.top()), QPointF(r.left() + w * 0.55, r.bottom()),
             QPointF(r.left() + w * 0.25, c.y() + h * 0.15), QPointF(r.left(), c.y() + h * 0.15)}));
        p.drawArc(QRectF(c.x() - w * 0.1, r.top() + h * 0.2, w * 0.5, h * 0.6), -60 * 16, 120 * 16);
        break;
    }
    p.restore();
}
