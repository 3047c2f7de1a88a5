// A camera's JPEG made fit to send as it came, and the scaled decoding of the preview.
#include "platform/jpeg/CameraJpeg.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QImage Scene(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::white);
    for (int y = 20; y < height; y += 40)
        p.drawText(10, y, QStringLiteral("frame text %1").arg(y));
    return image;
}

QByteArray Encoded(const QImage& image)
{
    TJpegEncoder encoder;
    encoder.SetQuality(80);
    return encoder.Compress(image);
}

// The picture with every Huffman table segment taken out, as many cameras send it.
QByteArray WithoutTables(const QByteArray& jpeg)
{
    QByteArray out = jpeg.left(2);
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        const auto marker = uchar(jpeg[at + 1]);
        const int length = uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]);
        if (marker == 0xDA) {
            out += jpeg.mid(at);
            break;
        }
        if (marker != 0xC4)
            out += jpeg.mid(at, 2 + length);
        at += 2 + length;
    }
    return out;
}

bool SamePixels(const QImage& a, const QImage& b)
{
    return a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB888) == b.convertToFormat(QImage::Format_RGB888);
}

} // namespace

TEST(CameraJpeg, MissingTablesArePutBackAndPaddingIsCutSoThePictureDecodesAsTheOriginal)
{
    const QByteArray original = Encoded(Scene(320, 240));
    const QByteArray stripped = WithoutTables(original);
    ASSERT_LT(stripped.size(), original.size());
    ASSERT_EQ(stripped.indexOf("\xFF\xC4"), -1);

    const QByteArray padded = stripped + QByteArray(4096, '\0');
    const std::optional<QByteArray> sendable = CameraJpeg::Sendable(padded);
    ASSERT_TRUE(sendable);
    EXPECT_TRUE(sendable->endsWith("\xFF\xD9"));
    EXPECT_NE(sendable->indexOf("\xFF\xC4"), -1);
    // Tables that were not the standard ones would scramble every block.
    const std::optional<QImage> want = TJpegDecoder::Decode(original);
    const std::optional<QImage> got = TJpegDecoder::Decode(*sendable);
    ASSERT_TRUE(want && got);
    EXPECT_TRUE(SamePixels(*want, *got));

    // A picture that has its tables goes exactly as it came, less the padding.
    EXPECT_EQ(CameraJpeg::Sendable(original + QByteArray(100, '\0')), std::optional(original));
}

TEST(CameraJpeg, WhatNotEveryPeerDecodesOrWhatDoesNotHoldTogetherIsRefused)
{
    const QByteArray good = Encoded(Scene(160, 120));
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(Scene(160, 120)));
    }
    QByteArray lengthPastEnd = good.left(40);
    lengthPastEnd[4] = char(0x7F);
    const QByteArray noEnd = good.left(good.size() - 2);
    const QList<QByteArray> refused{{},
                                    "\xFF\xD8",
                                    good.mid(2),
                                    progressive,
                                    good.left(good.indexOf("\xFF\xDA")),
                                    lengthPastEnd,
                                    noEnd};
    for (const QByteArray& data : refused)
        EXPECT_FALSE(CameraJpeg::Sendable(data)) << data.size() << " bytes";

    // Damaged copies: whatever is accepted is one whole picture, and nothing reads past the data.
    QRandomGenerator rng(11);
    for (int i = 0; i < 3000; ++i) {
        QByteArray damaged = good;
        for (int n = 0; n < 4; ++n)
            damaged[rng.bounded(int(damaged.size()))] = char(rng.bounded(256));
        if (rng.bounded(4) == 0)
            damaged.truncate(rng.bounded(int(damaged.size())));
        if (const std::optional<QByteArray> out = CameraJpeg::Sendable(damaged)) {
            EXPECT_TRUE(out->startsWith("\xFF\xD8") && out->endsWith("\xFF\xD9"));
            EXPECT_LE(out->size(), damaged.size() + CameraJpeg::StandardHuffmanSegment().size());
        }
    }
}

TEST(CameraJpeg, APreviewIsDecodedAtTheSmallestScaleThatStillCoversIt)
{
    const QByteArray jpeg = Encoded(Scene(1280, 720));
    const std::optional<QImage> full = TJpegDecoder::Decode(jpeg);
    ASSERT_TRUE(full);
    struct TCase
    {
        QSize atLeast, want;
    };
    for (const TCase& c : {TCase{{320, 180}, {320, 180}}, TCase{{321, 180}, {640, 360}},
                           TCase{{100, 90}, {160, 90}}, TCase{{100, 100}, {320, 180}},
                           TCase{{2000, 2000}, {1280, 720}}, TCase{{}, {1280, 720}}}) {
        const std::optional<QImage> preview = TJpegDecoder::DecodeScaled(jpeg, c.atLeast);
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->size(), c.want) << c.atLeast.width() << "x" << c.atLeast.height();
        // The same picture: its middle looks like the full decoding's.
        const QColor small = preview->pixelColor(preview->width() / 2, preview->height() / 2);
        const QColor big = full->pixelColor(full->width() / 2, full->height() / 2);
        EXPECT_NEAR(small.lightness(), big.lightness(), 40);
    }
    EXPECT_EQ(TJpegDecoder::Size(jpeg), std::optional(QSize(1280, 720)));
    EXPECT_FALSE(TJpegDecoder::Size(jpeg.left(10)));
}

TEST(CameraJpeg, TheQualityAPictureWasMadeAtIsReadFromItsTables)
{
    const QImage scene = Scene(160, 120);
    for (const int quality : {1, 10, 40, 75, 95, 100}) {
        TJpegEncoder encoder;
        encoder.SetQuality(quality);
        const std::optional<int> read = CameraJpeg::Quality(encoder.Compress(scene));
        ASSERT_TRUE(read) << quality;
        EXPECT_NEAR(*read, quality, 1) << quality;
    }
    // A table cut short, or none at all, tells nothing.
    const QByteArray jpeg = Encoded(scene);
    const qsizetype dqt = jpeg.indexOf("\xFF\xDB");
    ASSERT_GT(dqt, 0);
    EXPECT_FALSE(CameraJpeg::Quality(jpeg.left(dqt + 30)));
    EXPECT_FALSE(CameraJpeg::Quality(QByteArray("\xFF\xD8\xFF\xD9", 4)));
}
