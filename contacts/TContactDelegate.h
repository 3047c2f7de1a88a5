#pragma once

#include <QImage>
#include <QStyledItemDelegate>

// Draws a row of the address book: 40 pixels high, the contact picture and the contact line;
// a selected row is a rounded gold gradient with a grey outline.
class TContactDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int ItemHeight = 40;
    static constexpr int PictureSize = 24;

    using QStyledItemDelegate::QStyledItemDelegate;

    // A person before a globe, 24 x 24, transparent where the row shows through.
    static const QImage& ContactPicture();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
