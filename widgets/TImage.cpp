#include "widgets/TImage.h"

#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

QRect TImage::PictureRect() const
{
    if (picture_.isNull() || width() <= 0 || height() <= 0)
        return QRect();
    const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void TImage::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(PictureRect(), picture_);
}
