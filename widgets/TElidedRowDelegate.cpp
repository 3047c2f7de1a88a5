#include "widgets/TElidedRowDelegate.h"

#include "widgets/PaintListRow.h"

#include <QAbstractItemView>
#include <QPainter>

#include <algorithm>

void TElidedRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    // A row spans the list's visible width whatever its text's length, so that a long text
    // is shortened instead of running out of sight.
    QRect r = option.rect;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        r.setRight(std::max(r.left(), view->viewport()->width() - 1));
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

QSize TElidedRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // No width of its own: the text never widens the list into scrolling sideways.
    return {1, ItemHeight};
}
