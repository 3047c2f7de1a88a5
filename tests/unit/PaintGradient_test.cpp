#include "platform/errors/EMathError.h"
#include "widgets/PaintGradient.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Paints on a white image one pixel wider and taller than the rectangle, so strays show.
QImage Paint(int width, int height, const QList<QColor>& colours, bool horizontal)
{
    QImage image(width + 1, height + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    PaintGradient(p, TRect{0, 0, width, height}, colours, horizontal);
    return image;
}

const QColor Cream(0xFF, 0xF5, 0xDD);
const QColor Gold(0xFF, 0xD2, 0x5E);

TEST(PaintGradient, SixteenLinesDrawTwoBandsOfEight)
{
    const QImage img = Paint(4, 16, {Cream, Cream, Gold}, false);
    for (int y = 0; y <= 8; ++y)
        EXPECT_EQ(img.pixelColor(2, y), Cream) << y;
    EXPECT_EQ(img.pixelColor(2, 15), Gold);
    // Line 8 + k of the second band is k/7 of the way: green 245 -> 210, blue 221 -> 94.
    for (int k = 0; k <= 7; ++k) {
        const QColor c = img.pixelColor(1, 8 + k);
        EXPECT_EQ(c.green(), int(245 + (210 - 245) * (k / 7.0))) << k;
        EXPECT_EQ(c.blue(), int(221 + (94 - 221) * (k / 7.0))) << k;
    }
    EXPECT_EQ(img.pixelColor(2, 16), QColor(Qt::white)); // nothing below the rectangle
    EXPECT_EQ(img.pixelColor(4, 3), QColor(Qt::white));  // nor right of it
}

TEST(PaintGradient, ThirteenLinesRoundTheBandToEven)
{
    const QImage img = Paint(3, 13, {Cream, Cream, Gold}, false);
    // Band length 6 (6.5 rounds to even): the second band runs over lines 6 to 12.
    EXPECT_EQ(img.pixelColor(0, 6), Cream);
    EXPECT_NE(img.pixelColor(0, 7), Cream);
    EXPECT_EQ(img.pixelColor(0, 12), Gold);
    EXPECT_EQ(img.pixelColor(0, 13), QColor(Qt::white));
}

TEST(PaintGradient, HorizontalRunsAcrossTheWidth)
{
    const QImage img = Paint(10, 3, {Qt::black, Qt::white}, true);
    EXPECT_EQ(img.pixelColor(0, 1), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(9, 1), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(5, 0).red(), int(255 * (5 / 9.0)));
    EXPECT_EQ(img.pixelColor(5, 0), img.pixelColor(5, 2)); // one colour per column
}

TEST(PaintGradient, OneLineBandsUseTheirFirstColourAndThePenIsRestored)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    const QPen pen(Qt::green, 3, Qt::DashLine);
    p.setPen(pen);
    PaintGradient(p, TRect{0, 0, 4, 1}, {Qt::red, Qt::blue, Qt::yellow}, true);
    EXPECT_EQ(p.pen(), pen);
    p.end();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(3, 0), QColor(Qt::yellow));
}

TEST(PaintGradient, FewerThanTwoColoursIsAMathError)
{
    QImage image(4, 4, QImage::Format_RGB32);
    QPainter p(&image);
    try {
        PaintGradient(p, TRect{0, 0, 4, 4}, {Qt::red}, false);
        FAIL() << "no error";
    } catch (const EMathError& e) {
        EXPECT_EQ(e.Message(), "Please specify at least two colors.");
    }
}

} // namespace
