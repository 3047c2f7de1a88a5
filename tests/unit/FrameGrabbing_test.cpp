#include "capture/TCapturedBitmap.h"
#include "capture/TPixelFormats.h"
#include "capture/TSampleGrabberCB.h"
#include "platform/capturegraph/CaptureGuids.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <thread>

namespace {

// A 24-bit bottom-up frame: pixel (x, y) from the top holds B = x, G = y, R = 200.
QByteArray Frame24(int width, int height)
{
    const int stride = ((width * 24 + 31) / 32) * 4;
    QByteArray bytes(stride * height, '\x7f'); // padding stays 0x7f: must never show
    for (int y = 0; y < height; ++y) {
        char* row = bytes.data() + (height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = char(x);
            row[3 * x + 1] = char(y);
            row[3 * x + 2] = char(200);
        }
    }
    return bytes;
}

TBitmapInfoHeader Header(int width, int height, int bits)
{
    TBitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = quint16(bits);
    return h;
}

TEST(CaptureGuids, FourCCSubtypesAndTheWellKnownOnes)
{
    EXPECT_EQ(CaptureGuids::MEDIASUBTYPE_YUY2.ToString(), "{32595559-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(CaptureGuids::MEDIASUBTYPE_RGB24.ToString(),
              "{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
    EXPECT_EQ(CaptureGuids::MEDIASUBTYPE_PCM.ToString(), "{00000001-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(CaptureGuids::MEDIATYPE_Video.ToString(), "{73646976-0000-0010-8000-00AA00389B71}");
}

TEST(MediaType, VideoBlocksCarryTheHeaderAndTheFrameTime)
{
    const TMediaType t =
        TMediaType::Video(CaptureGuids::MEDIASUBTYPE_RGB24, Header(640, 480, 24), 333333);
    ASSERT_EQ(t.format.size(), 48 + 40);
    const auto h = t.BitmapHeader();
    ASSERT_TRUE(h);
    EXPECT_EQ(h->biWidth, 640);
    EXPECT_EQ(h->biHeight, 480);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(t.AvgTimePerFrame(), 333333);

    TMediaType v2 = t;
    v2.formattype = CaptureGuids::FORMAT_VideoInfo2;
    v2.format = QByteArray(72, '\0') + Header(320, -240, 32).ToBytes();
    EXPECT_EQ(v2.BitmapHeader()->biHeight, -240);

    TMediaType other = t;
    other.formattype = CaptureGuids::FORMAT_WaveFormatEx;
    EXPECT_FALSE(other.BitmapHeader());
    TMediaType cut = t;
    cut.format.truncate(60); // a block too short for its header
    EXPECT_FALSE(cut.BitmapHeader());
}

TEST(PixelFormats, RequestsAndResults)
{
    EXPECT_FALSE(TPixelFormats::RequestedSubtype(TPixelFormat::pfDevice));
    EXPECT_EQ(TPixelFormats::RequestedSubtype(TPixelFormat::pfCustom),
              CaptureGuids::MEDIASUBTYPE_RGB24);
    EXPECT_EQ(TPixelFormats::RequestedSubtype(TPixelFormat::pf16bit),
              CaptureGuids::MEDIASUBTYPE_RGB565);
    EXPECT_EQ(TPixelFormats::BitmapFormat(32), TPixelFormat::pf24bit);
    EXPECT_EQ(TPixelFormats::BitmapFormat(8), TPixelFormat::pf15bit);
    EXPECT_FALSE(TPixelFormats::BitmapFormat(12));
}

TEST(CapturedBitmap, BottomUpAndTopDownRowsLandRightSideUp)
{
    TCapturedBitmap up;
    ASSERT_EQ(up.Draw(Header(5, 3, 24), Frame24(5, 3)), 3);
    EXPECT_EQ(up.PixelFormat, TPixelFormat::pf24bit);
    EXPECT_EQ(up.size(), QSize(5, 3));
    EXPECT_EQ(up.pixelColor(4, 0), QColor(200, 0, 4));
    EXPECT_EQ(up.pixelColor(1, 2), QColor(200, 2, 1));

    // The same bytes read top-down come out flipped.
    TCapturedBitmap down;
    ASSERT_EQ(down.Draw(Header(5, -3, 24), Frame24(5, 3)), 3);
    EXPECT_EQ(down.pixelColor(4, 2), QColor(200, 0, 4));
}

TEST(CapturedBitmap, ThirtyTwoBitFramesBecomeTwentyFourBitBitmaps)
{
    QByteArray bgrx;
    for (int i = 0; i < 4; ++i)
        bgrx += QByteArray::fromHex("102030ff");
    TCapturedBitmap b;
    ASSERT_EQ(b.Draw(Header(2, 2, 32), bgrx), 2);
    EXPECT_EQ(b.PixelFormat, TPixelFormat::pf24bit);
    EXPECT_EQ(b.pixelColor(0, 0), QColor(0x30, 0x20, 0x10));
}

TEST(CapturedBitmap, ShortCompressedOrOddFramesDrawNothing)
{
    TCapturedBitmap b;
    const QByteArray frame = Frame24(64, 48);
    EXPECT_EQ(b.Draw(Header(64, 48, 24), frame.left(frame.size() - 1)), 0);
    TBitmapInfoHeader yuy2 = Header(64, 48, 16);
    yuy2.biCompression = 0x32595559;
    EXPECT_EQ(b.Draw(yuy2, QByteArray(64 * 48 * 2, 0)), 0);
    EXPECT_EQ(b.Draw(Header(64, 48, 12), QByteArray(64 * 48 * 2, 0)), 0);
    EXPECT_EQ(b.Draw(Header(0, 48, 24), frame), 0);
    EXPECT_EQ(b.Draw(Header(70000, 1, 24), frame), 0);
    // Indexed frames are drawn, without their colours.
    EXPECT_EQ(b.Draw(Header(8, 2, 8), QByteArray(16, '\x05')), 2);
    EXPECT_EQ(b.PixelFormat, TPixelFormat::pf15bit);
    EXPECT_EQ(b.pixelColor(3, 1), QColor(Qt::black));
}

// Collects what the callback posts.
class Window : public QObject
{
public:
    QList<int> messages;
    bool event(QEvent* e) override
    {
        if (e->type() == TGrabberEvent::TypeOf(TGrabberEvent::WM_BITMAPGRABBED) ||
            e->type() == TGrabberEvent::TypeOf(TGrabberEvent::WM_FRAMERENDERED)) {
            messages << static_cast<TGrabberEvent*>(e)->Message;
            return true;
        }
        return QObject::event(e);
    }
};

TEST(SampleGrabberCB, CopiesOnlyArmedSamplesAndAnnouncesEveryOne)
{
    Window window;
    TSampleGrabberCB cb;
    cb.Window = &window;
    const QByteArray first(100, 'a'), second(60, 'b');
    // From a streaming thread, as the graph calls it.
    std::thread streaming([&] {
        cb.BufferCB(0, reinterpret_cast<const quint8*>(first.constData()), first.size());
        cb.WantFrame = true;
        cb.BufferCB(0, reinterpret_cast<const quint8*>(second.constData()), second.size());
        cb.BufferCB(0, reinterpret_cast<const quint8*>(first.constData()), first.size());
    });
    streaming.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.messages,
              QList<int>({TGrabberEvent::WM_FRAMERENDERED, TGrabberEvent::WM_BITMAPGRABBED,
                          TGrabberEvent::WM_FRAMERENDERED, TGrabberEvent::WM_FRAMERENDERED}));
    EXPECT_FALSE(cb.WantFrame);
    EXPECT_EQ(cb.BufferSize(), 60u); // the buffer fits the sample exactly
    EXPECT_EQ(cb.WithBuffer([](const QByteArray& b) { return b; }), second);
    cb.ClearBuffer();
    EXPECT_EQ(cb.BufferSize(), 0u);
}

} // namespace
