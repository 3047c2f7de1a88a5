#pragma once

#include <QRect>
#include <QSize>

// Where a picture goes in an area: centred and scaled, up or down, to fit it whole with its
// proportions kept. Empty when either has no size. Header-only, so that code without widgets
// (the frame decoder's thread) places pictures exactly as the video area draws them.
inline QRect FitRect(const QSize& picture, const QSize& area)
{
    if (picture.isEmpty() || area.isEmpty())
        return QRect();
    const QSize fitted = picture.scaled(area, Qt::KeepAspectRatio);
    return QRect(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                 fitted);
}
