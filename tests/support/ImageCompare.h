#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

// Tolerant picture comparison for window screenshots: font rendering and smoothing vary by a
// shade or a pixel here and there, a misplaced or missing control does not.

// How many places differ: a place differs when the red, green and blue of one picture there
// are further than `tolerance` (summed) from every pixel of the other picture within `reach`
// pixels of it, either way round. Reach 0 compares pixel by pixel. Pictures of different sizes
// differ in every place of the larger one.
qsizetype CountDifferentPixels(const QImage& actual, const QImage& expected, int tolerance = 48,
                               int reach = 0);

// One place in 200: what rendering may change between machines and still look the same.
qsizetype AllowedDifferentPixels(const QSize& size);

// Where a picture draws on its background: the bounds of the places further than `tolerance`
// from the background colour, and how many they are.
struct TInk
{
    QRect bounds;
    qsizetype count = 0;
};
TInk FindInk(const QImage& picture, QRgb background, int tolerance);

// The colour most places of the picture have: its background, as a rule.
QRgb MostCommonColour(const QImage& picture);
