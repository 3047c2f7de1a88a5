#pragma once

#include <QColor>
#include <QList>

class QPainter;

// A rectangle the classic way: Right and Bottom are one past the last pixel.
struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// Multi-colour linear gradient: equal bands from each colour to the next, across the width
// when Horizontal, down the height otherwise. Fewer than two colours raise EMathError.
void PaintGradient(QPainter& canvas, const TRect& rect, const QList<QColor>& colours,
                   bool horizontal);
