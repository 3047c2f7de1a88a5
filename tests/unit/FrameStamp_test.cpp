// The frame number stamped into a picture comes through JPEG compression and is read back; a
// picture without one is not mistaken for stamped.
#include "platform/camera/stamp/FrameStamp.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

QImage Scene(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, Qt::red);
    gradient.setColorAt(1, Qt::cyan);
    p.fillRect(image.rect(), gradient);
    return image;
}

QImage Stamped(QSize size, quint32 number)
{
    QImage image = Scene(size);
    QPainter p(&image);
    for (int i = 0; i < FrameStamp::Blocks; ++i)
        p.fillRect(FrameStamp::BlockRect(size, i),
                   FrameStamp::IsWhite(number, i) ? Qt::white : Qt::black);
    return image;
}

QImage ThroughJpeg(const QImage& image, int quality)
{
    TJpegEncoder encoder;
    encoder.SetQuality(quality);
    return *TJpegDecoder::Decode(encoder.Compress(image));
}

} // namespace

TEST(FrameStamp, NumbersComeThroughCompressionAndUnstampedPicturesReadAsNone)
{
    for (const QSize size : {QSize(320, 240), QSize(1280, 720), QSize(641, 483)})
        for (const quint32 number : {0u, 1u, 2u, 0x5A5A5u, FrameStamp::Wrap - 1}) {
            EXPECT_EQ(FrameStamp::Read(ThroughJpeg(Stamped(size, number), 40)),
                      std::optional(number))
                << size.width() << " " << number;
        }
    EXPECT_FALSE(FrameStamp::Read(ThroughJpeg(Scene({640, 480}), 90)));
    EXPECT_FALSE(FrameStamp::Read(QImage(640, 480, QImage::Format_RGB888)));
    EXPECT_FALSE(FrameStamp::Read(Stamped({100, 40}, 3))); // too small to carry one
    // One block flipped: the parity refuses the number rather than misreading it.
    QImage damaged = Stamped({320, 240}, 77);
    QPainter(&damaged).fillRect(FrameStamp::BlockRect({320, 240}, 5),
                                FrameStamp::IsWhite(77, 5) ? Qt::black : Qt::white);
    EXPECT_FALSE(FrameStamp::Read(damaged));
}
