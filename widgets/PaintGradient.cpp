#include "widgets/PaintGradient.h"

#include "platform/errors/EMathError.h"

#include <QPainter>
#include <cmath>

void PaintGradient(QPainter& canvas, const TRect& rect, const QList<QColor>& colours,
                   bool horizontal)
{
    if (colours.size() < 2)
        throw EMathError(QStringLiteral("Please specify at least two colors."));

    const int extent = horizontal ? rect.Right - rect.Left : rect.Bottom - rect.Top;
    QList<QColor> rgb;
    for (const QColor& c : colours)
        rgb.append(c.toRgb());

    const QPen savedPen = canvas.pen();
    QPen pen(Qt::SolidLine);
    pen.setWidth(1);
    pen.setCapStyle(Qt::FlatCap);

    const int bands = static_cast<int>(rgb.size()) - 1;
    // Nearest integer with ties to even, as the default rounding mode does.
    const int bandLength = static_cast<int>(std::lrint(static_cast<double>(extent) / bands));
    for (int i = 0; i < bands; ++i) {
        const int last = (i == bands - 1) ? extent - i * bandLength - 1 : bandLength;
        for (int j = 0; j <= last; ++j) {
            const int pos = i * bandLength + j;
            // A band one line long has no step; it is drawn in its first colour.
            const double t = last == 0 ? 0.0 : static_cast<double>(j) / last;
            auto channel = [t](int from, int to) {
                return static_cast<int>(std::trunc(from + (to - from) * t));
            };
            pen.setColor(QColor(channel(rgb[i].red(), rgb[i + 1].red()),
                                channel(rgb[i].green(), rgb[i + 1].green()),
                                channel(rgb[i].blue(), rgb[i + 1].blue())));
            canvas.setPen(pen);
            // A flat-capped one-pixel line leaves out its end point, as the classic line does:
            // it covers Top..Bottom-1 (or Left..Right-1).
            if (horizontal)
                canvas.drawLine(rect.Left + pos, rect.Top, rect.Left + pos, rect.Bottom);
            else
                canvas.drawLine(rect.Left, rect.Top + pos, rect.Right, rect.Top + pos);
        }
    }
    canvas.setPen(savedPen);
}
