#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "tests/support/TTestJpeg.h"

#include <QElapsedTimer>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A frame with detail and colour, as a camera would deliver it (BGR).
QImage TestFrame(int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, Qt::red);
    g.setColorAt(0.5, Qt::green);
    g.setColorAt(1, Qt::blue);
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    for (int x = 0; x < width; x += 16)
        p.drawLine(x, 0, width - x, height);
    return image;
}

// A progressive JPEG with one scan per coefficient band of each component: legal, and with
// 190 scans far more than any camera frame needs.
QByteArray ManyScans()
{
    static jpeg_scan_info scans[1 + 3 * 63];
    scans[0] = {3, {0, 1, 2, 0}, 0, 0, 0, 0};
    int n = 1;
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k <= 63; ++k)
            scans[n++] = {1, {c, 0, 0, 0}, k, k, 0, 0};
    return TTestJpeg::Encode(TestFrame(64, 64), 75, scans);
}

TEST(Jpeg, FramesCompressToBaselineJfifAndDecodeBack)
{
    TJpegEncoder encoder;
    encoder.SetQuality(90);
    const QImage frame = TestFrame(320, 240);
    const QByteArray jpeg = encoder.Compress(frame);
    ASSERT_GT(jpeg.size(), 100);
    EXPECT_TRUE(jpeg.startsWith(QByteArray::fromHex("ffd8ffe0"))); // SOI, JFIF APP0
    EXPECT_TRUE(jpeg.contains(QByteArray::fromHex("ffc0")));       // baseline frame
    EXPECT_FALSE(jpeg.contains(QByteArray::fromHex("ffc2")));      // not progressive
    EXPECT_TRUE(jpeg.endsWith(QByteArray::fromHex("ffd9")));

    const auto back = TJpegDecoder::Decode(jpeg);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), frame.size());
    const QColor a = back->pixelColor(10, 120), b = frame.pixelColor(10, 120);
    EXPECT_LT(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                  std::abs(a.blue() - b.blue()),
              40);

    // The same encoder, reused at a lower quality, gives a smaller image.
    encoder.SetQuality(10);
    EXPECT_LT(encoder.Compress(frame).size(), jpeg.size());
    encoder.SetQuality(0);
    EXPECT_EQ(encoder.Quality(), 1);
    EXPECT_FALSE(encoder.Compress(frame).isEmpty());
}

TEST(Jpeg, HostileDataIsRefusedQuickly)
{
    TJpegEncoder encoder;
    encoder.SetQuality(80);
    const QByteArray good = encoder.Compress(TestFrame(64, 48));
    ASSERT_TRUE(TJpegDecoder::Decode(good));

    EXPECT_FALSE(TJpegDecoder::Decode(QByteArray()));
    EXPECT_FALSE(TJpegDecoder::Decode(good.left(good.size() / 2))) << "truncated";
    QByteArray garbage(5000, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 2654435761u) >> 24);
    EXPECT_FALSE(TJpegDecoder::Decode(garbage));
    EXPECT_FALSE(TJpegDecoder::Decode(QByteArray::fromHex("ffd8ffd9")));

    // A header declaring 65535 x 65535 pixels.
    QByteArray huge = good;
    const qsizetype sof = huge.indexOf(QByteArray::fromHex("ffc0"));
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(0xff);
    huge[sof + 6] = char(0xff);
    huge[sof + 7] = char(0xff);
    huge[sof + 8] = char(0xff);
    // What refusing may cost is measured against decoding a whole HD picture a few times.
    const QByteArray hd = encoder.Compress(TestFrame(1920, 1080));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(TJpegDecoder::Decode(hd));
    const qint64 reference = timer.restart();
    EXPECT_FALSE(TJpegDecoder::Decode(huge));

    // Flipped bytes in the entropy-coded data: a warning, taken as an error.
    QByteArray damaged = good;
    for (qsizetype i = good.size() / 2; i < good.size() - 10; i += 7)
        damaged[i] = char(damaged[i] ^ 0x5a);
    EXPECT_FALSE(TJpegDecoder::Decode(damaged));

    const QByteArray scans = ManyScans();
    EXPECT_FALSE(TJpegDecoder::Decode(scans)) << "190 scans";
    EXPECT_LT(timer.elapsed(), reference + 50) << "four HD pictures took " << reference << " ms";
}

} // namespace

namespace {

// The largest picture a peer may send, and one that is legal JPEG and fits a datagram but is
// larger: each refused by exactly the cap meant for it.
TEST(Jpeg, PictureAreaAndWorkingMemoryAreCapped)
{
    const QByteArray square = TTestJpeg::Progressive(TTestJpeg::Smooth(4096, 4096), 50);
    ASSERT_TRUE(square.contains(QByteArray::fromHex("ffc2"))) << "progressive";
    ASSERT_LE(square.size(), 65507) << "must fit one UDP datagram";

    EXPECT_FALSE(TJpegDecoder::Decode(square)) << "16.8 megapixels, over the area cap";
    // Only the area cap refuses it: with that one raised, everything else as it is, it decodes.
    TJpegDecoder::TLimits wider;
    wider.maxPixels = 4096 * 4096;
    const auto decoded = TJpegDecoder::Decode(square, wider);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), QSize(4096, 4096));

    // The library's working memory is capped too: a progressive picture keeps every
    // coefficient, far more than 8 MiB here.
    TJpegDecoder::TLimits lean = wider;
    lean.maxMemory = 8L * 1024 * 1024;
    EXPECT_FALSE(TJpegDecoder::Decode(square, lean));

    // The largest picture within the caps decodes with them as they stand.
    const QByteArray uhd = TTestJpeg::Progressive(TTestJpeg::Smooth(3840, 2160), 50);
    const auto shown = TJpegDecoder::Decode(uhd);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), QSize(3840, 2160));
    EXPECT_FALSE(TJpegDecoder::Decode(TTestJpeg::Progressive(TTestJpeg::Smooth(3841, 2160), 50)));
}

} // namespace
