#include "widgets/TElidedRowDelegate.h"

#include "widgets/PaintListRow.h"

#include <QPainter>

void TElidedRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    const QRect r = option.rect;
    painter->save();
    PaintListRow(*painter, r, option.state & QStyle::State_Selected, 2.5); // 5 x 5 corners
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    const QRect textRect(r.left() + 10, r.top() + 2, qMax(0, r.right() + 1 - (r.left() + 10)),
                         r.height() - 2);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideMiddle, textRect.width()));
    painter->restore();
}

QSize TElidedRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
}
