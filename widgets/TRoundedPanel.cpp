#include "widgets/TRoundedPanel.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

namespace {
QPainterPath Shape(const QRectF& r)
{
    QPainterPath path;
    path.addRoundedRect(r, TRoundedPanel::Corner / 2.0, TRoundedPanel::Corner / 2.0);
    return path;
}
} // namespace

TRoundedPanel::TRoundedPanel(QWidget* parent) : QWidget(parent) {}

void TRoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(Shape(rect()), Qt::white);
    const qreal inset = BorderWidth;
    p.fillPath(Shape(QRectF(rect()).adjusted(inset, inset, -inset, -inset)), DefaultColour());
}

void TRoundedPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    QWidget* win = window();
    if (win != this && parentWidget() == win && geometry() == win->rect())
        win->setMask(QRegion(Shape(rect()).toFillPolygon().toPolygon()));
}
