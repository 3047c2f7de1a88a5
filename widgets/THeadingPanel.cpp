#include "widgets/THeadingPanel.h"

#include <QPainter>
#include <QPainterPath>

THeadingPanel::THeadingPanel(const QString& heading, QWidget* parent)
    : QWidget(parent), heading_(heading)
{}

void THeadingPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = Corner / 2.0;
    QPainterPath outer;
    outer.addRoundedRect(QRectF(rect()), radius, radius);
    p.fillPath(outer, BorderColour);
    QPainterPath inner;
    const QRectF inside =
        QRectF(rect()).adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth);
    inner.addRoundedRect(inside, radius, radius);
    p.fillPath(inner, Colour);

    p.setFont(font());
    const QRect line(0, HeadingTop, width(), p.fontMetrics().height());
    p.setPen(ShadowColour);
    p.drawText(line.translated(1, 1), Qt::AlignHCenter | Qt::AlignTop, heading_);
    p.setPen(HeadingColour);
    p.drawText(line, Qt::AlignHCenter | Qt::AlignTop, heading_);
}
