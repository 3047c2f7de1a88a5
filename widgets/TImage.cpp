#include "widgets/TImage.h"

#include "platform/text/FitRect.h"

#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::SetPicture(const QImage& picture, const QImage& display)
{
    picture_ = picture;
    display_ = display;
    update();
}

QRect TImage::FitRect(const QSize& picture, const QSize& area)
{
    return ::FitRect(picture, area);
}

QRect TImage::PictureRect() const
{
    return FitRect(picture_.size(), size());
}

void TImage::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter p(this);
    const QRect target = PictureRect();
    // The picture made for this size on this screen is drawn pixel for pixel.
    if (!display_.isNull() && display_.deviceIndependentSize().toSize() == target.size() &&
        qFuzzyCompare(display_.devicePixelRatio(), devicePixelRatioF())) {
        p.drawImage(QRectF(target), display_);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, picture_);
}
