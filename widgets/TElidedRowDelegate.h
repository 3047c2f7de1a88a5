#pragma once

#include <QStyledItemDelegate>

// Draws a row of the program's plain lists (received files, a device's dialogs): 21 pixels
// high; a selected row is a rounded gold gradient with a grey outline; the text is shortened
// in its middle to fit.
class TElidedRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int ItemHeight = 21;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
