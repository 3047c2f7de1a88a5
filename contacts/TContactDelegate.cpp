#include "contacts/TContactDelegate.h"

#include "widgets/PaintListRow.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal CornerRadius = 7.5; // corner ellipses of 15 x 15

QImage DrawContactPicture()
{
    const int s = TContactDelegate::PictureSize;
    QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // The globe, up and to the right, with its meridians and parallels.
    const QRectF globe(7.5, 0.5, 16, 16);
    QRadialGradient sea(globe.center() - QPointF(3, 3), 11);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(1, QColor(20, 80, 190));
    p.setPen(QPen(QColor(10, 50, 130), 1));
    p.setBrush(sea);
    p.drawEllipse(globe);
    p.setPen(QPen(QColor(200, 230, 255, 200), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe.adjusted(4.5, 0, -4.5, 0));
    p.drawLine(QPointF(globe.center().x(), globe.top()),
               QPointF(globe.center().x(), globe.bottom()));
    p.drawLine(QPointF(globe.left(), globe.center().y()),
               QPointF(globe.right(), globe.center().y()));
    p.drawLine(QPointF(globe.left() + 2, globe.top() + 4.5),
               QPointF(globe.right() - 2, globe.top() + 4.5));
    p.drawLine(QPointF(globe.left() + 2, globe.bottom() - 4.5),
               QPointF(globe.right() - 2, globe.bottom() - 4.5));

    // The person in front, down and to the left: head and shoulders, with a light rim so the
    // figure stands off the globe.
    const QColor dark(40, 40, 48);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.2));
    p.setBrush(dark);
    QPainterPath body;
    body.moveTo(1, 24);
    body.cubicTo(1, 16.5, 4, 14.5, 9, 14.5);
    body.cubicTo(14, 14.5, 17, 16.5, 17, 24);
    body.closeSubpath();
    p.drawPath(body);
    p.drawEllipse(QRectF(4.5, 6, 9, 9));
    return image;
}

} // namespace

const QImage& TContactDelegate::ContactPicture()
{
    static const QImage picture = DrawContactPicture();
    return picture;
}

void TContactDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QRect r = option.rect;
    painter->save();
    PaintListRow(*painter, r, option.state & QStyle::State_Selected, CornerRadius);
    painter->drawImage(QPoint(r.left() + 7, r.top() + 7), ContactPicture());

    // The text box ends at the row's edge, so the ellipsis stays in sight.
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QRect textRect(r.left() + 45, r.top() + 10, qMax(0, r.right() + 1 - (r.left() + 45)),
                         r.height() - 10);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor = Qt::white;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QSize TContactDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
}
