#include "widgets/TBusyWheel.h"

#include <QPainter>

#include <cmath>

TBusyWheel::TBusyWheel(QWidget* parent) : QWidget(parent)
{
    timer_.setInterval(FrameIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % FrameCount;
        update();
    });
}

void TBusyWheel::PaintFrame(QPainter& p, int frame, const QSizeF& size)
{
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(size.width(), size.height());
    const qreal outer = side / 2 - 1;
    const qreal inner = outer * 0.45;
    p.translate(size.width() / 2, size.height() / 2);
    for (int spoke = 0; spoke < FrameCount; ++spoke) {
        // The spoke at the frame's position is darkest; the ones behind it fade, so the dark
        // end leads clockwise as the frames advance.
        const int behind = (frame - spoke + FrameCount) % FrameCount;
        const int grey = 64 + behind * 160 / FrameCount;
        QPen pen(QColor(grey, grey, grey), std::max(1.5, side / 11), Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        const qreal angle = spoke * 2 * M_PI / FrameCount; // clockwise from twelve o'clock
        const QPointF dir(std::sin(angle), -std::cos(angle));
        p.drawLine(dir * inner, dir * outer);
    }
}

QImage TBusyWheel::FrameImage(int frame, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    PaintFrame(p, ((frame % FrameCount) + FrameCount) % FrameCount, size);
    return image;
}

void TBusyWheel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    PaintFrame(p, frame_, size());
}

void TBusyWheel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    timer_.start();
}

void TBusyWheel::hideEvent(QHideEvent* event)
{
    timer_.stop();
    QWidget::hideEvent(event);
}
