#include "widgets/TDice.h"

#include <QPainter>
#include <QTimer>

#include <array>

TDice::TDice(QWidget* parent) : QWidget(parent), timer_(new QTimer(this))
{
    timer_->setInterval(120);
    connect(timer_, &QTimer::timeout, this, &TDice::Step);
}

bool TDice::Rotate() const
{
    return timer_->isActive();
}

void TDice::SetRotate(bool rotate)
{
    if (rotate)
        timer_->start();
    else
        timer_->stop();
}

void TDice::Step()
{
    face_ = face_ % 6 + 1;
    angle_ = (angle_ + 30) % 360;
    update();
}

void TDice::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height()) * 0.68;
    p.translate(width() / 2.0, height() / 2.0);
    p.rotate(angle_);
    const QRectF body(-side / 2, -side / 2, side, side);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(body, side / 6, side / 6);

    // Pip positions on a 3 x 3 grid, per face.
    static const std::array<std::initializer_list<int>, 6> pips = {{
        {4},
        {0, 8},
        {0, 4, 8},
        {0, 2, 6, 8},
        {0, 2, 4, 6, 8},
        {0, 2, 3, 5, 6, 8},
    }};
    p.setPen(Qt::NoPen);
    p.setBrush(face_ == 1 ? QColor(200, 30, 30) : QColor(20, 20, 20));
    const qreal step = side / 4;
    for (int cell : pips[face_ - 1]) {
        const QPointF centre(-side / 2 + step * (1 + cell % 3), -side / 2 + step * (1 + cell / 3));
        p.drawEllipse(centre, side / 11, side / 11);
    }
}
