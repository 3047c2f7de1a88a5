// Screen frames: scaled to fit one datagram at a quality where text stays readable.
#include "calls/TScreenFit.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"

#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr qsizetype kLimit = 65507;

// A desktop: windows full of small text.
QImage Desktop(int width, int height, int lines)
{
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(QColor(0x30, 0x50, 0x70));
    QPainter p(&image);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    QRandomGenerator rng(5);
    for (int w = 0; w < 4; ++w) {
        const QRect window(w * width / 4 + 10, 40, width / 4 - 20, height - 80);
        p.fillRect(window, Qt::white);
        p.setPen(Qt::black);
        for (int line = 0; line < lines; ++line)
            p.drawText(window.left() + 4, window.top() + 14 + line * 14,
                       QString::number(rng.generate(), 36).repeated(3));
    }
    return image;
}

QImage Noise(int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    QRandomGenerator rng(9);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            image.scanLine(y)[x] = uchar(rng.bounded(256));
    return image;
}

qsizetype SizeAt(const QImage& screen, int width, int quality)
{
    TJpegEncoder encoder;
    encoder.SetQuality(quality);
    return encoder.Compress(screen.scaledToWidth(width, Qt::SmoothTransformation)).size();
}

} // namespace

TEST(ScreenFit, ATextScreenSettlesOnTheLargestWidthThatFitsAtAReadableQuality)
{
    const QImage screen = Desktop(2100, 800, 40);
    TScreenFit fit;
    TJpegEncoder encoder;
    for (int frame = 0; frame < 12; ++frame) {
        const QByteArray jpeg = fit.Encode(screen, encoder, kLimit);
        if (jpeg.isEmpty())
            continue; // a frame spent finding the size
        ASSERT_LE(jpeg.size(), kLimit);
        ASSERT_TRUE(TJpegDecoder::Decode(jpeg));
    }
    const int width = fit.Size().width();
    ASSERT_NE(std::find(TScreenFit::Widths.begin(), TScreenFit::Widths.end(), width),
              TScreenFit::Widths.end());
    EXPECT_GE(fit.Quality(), TScreenFit::ReadableQuality);
    EXPECT_LE(SizeAt(screen, width, fit.Quality()), kLimit);
    // The next width up would not have fitted at a readable quality.
    const auto at = std::find(TScreenFit::Widths.begin(), TScreenFit::Widths.end(), width);
    if (at != TScreenFit::Widths.begin()) {
        EXPECT_GT(SizeAt(screen, *(at - 1), TScreenFit::ReadableQuality), kLimit);
    }
}

TEST(ScreenFit, AScreenThatEmptiesGrowsBackAndNothingEverExceedsTheDatagram)
{
    TScreenFit fit;
    TJpegEncoder encoder;
    // Noise compresses to nothing useful: frames are sent small or not at all, never too large.
    const QImage noise = Noise(1920, 1080);
    for (int frame = 0; frame < 8; ++frame)
        EXPECT_LE(fit.Encode(noise, encoder, kLimit).size(), kLimit);
    EXPECT_EQ(fit.Size().width(), TScreenFit::Widths.back());

    // Then a desktop of empty windows: the picture grows back to full width, step by step.
    const QImage quiet = Desktop(1920, 1080, 0);
    for (int frame = 0; frame < 80 && fit.Size().width() < 1920; ++frame)
        ASSERT_LE(fit.Encode(quiet, encoder, kLimit).size(), kLimit);
    EXPECT_EQ(fit.Size(), QSize(1920, 1080));
    EXPECT_GE(fit.Quality(), TScreenFit::ReadableQuality);
}

TEST(ScreenFit, ASmallScreenIsSentAtItsOwnSize)
{
    TScreenFit fit;
    TJpegEncoder encoder;
    const QByteArray jpeg = fit.Encode(Desktop(800, 600, 10), encoder, kLimit);
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_EQ(TJpegDecoder::Size(jpeg), std::optional(QSize(800, 600)));
    EXPECT_TRUE(fit.Encode(QImage(), encoder, kLimit).isEmpty());
}
