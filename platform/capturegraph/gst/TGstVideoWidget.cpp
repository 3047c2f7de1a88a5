#include "platform/capturegraph/gst/TGstVideoWidget.h"

#include <QPainter>

TGstVideoWidget::TGstVideoWidget(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGstVideoWidget::SetFrame(const QImage& frame)
{
    frame_ = frame;
    ++frameCount_;
    update();
}

void TGstVideoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (frame_.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(rect(), frame_);
}
