#include "transfer/TFilesReceivedDelegate.h"

#include "widgets/PaintGradient.h"

#include <QPainter>
#include <QPainterPath>

void TFilesReceivedDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    const QRect r = option.rect;
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(r), 2.5, 2.5);
        painter->setClipPath(clip);
        PaintGradient(
            *painter, TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1},
            {QColor(0xFF, 0xF5, 0xDD), QColor(0xFF, 0xF5, 0xDD), QColor(0xFF, 0xD2, 0x5E)}, false);
        painter->setPen(QColor(0xC5, 0xC5, 0xC5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1), 2.5,
                                 2.5);
        painter->setClipping(false);
    } else {
        painter->fillRect(r, Qt::white);
    }
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QRect textRect(r.left() + 10, r.top() + 2, qMax(0, r.right() + 1 - (r.left() + 10)),
                         r.height() - 2);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideMiddle, textRect.width()));
    painter->restore();
}

QSize TFilesReceivedDelegate::sizeHint(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
}
