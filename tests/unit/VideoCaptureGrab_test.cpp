// Frame grabbing: the grabber in the preview branch, arming with GrabNextFrame, and the hand-over
// of a copied sample from a streaming thread to OnBitmapGrabbed on the UI thread.

#include "capture/TGraphConfig.h"
#include "capture/TSampleGrabberCB.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeCaptureSystem.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeSampleGrabber.h"
#include "platform/paths/TProgramFolder.h"
#include "tests/support/TScriptedUi.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

using namespace CaptureGuids;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

constexpr int W = 8;
constexpr int H = 4;

class VideoCaptureGrab : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    TFakeCaptureSystem sys;
    TScriptedUiScope script;
    std::shared_ptr<TFakeDevice> cam;
    std::unique_ptr<TVideoCapture> cap;
    QList<TCapturedBitmap> bitmaps;
    int rendered = 0;

    void SetUp() override
    {
        TProgramFolder::OverrideForTesting(folder.path());
        cam = sys.AddDevice(TDeviceCategory::VideoInput, "Cam",
                            {TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_YUY2, W, H, 16)});
        cap = std::make_unique<TVideoCapture>(sys);
        ASSERT_TRUE(cap->Initialize());
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed,
                         [this](const TCapturedBitmap& b) { bitmaps << b; });
        QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, [this] { ++rendered; });
    }
    void TearDown() override
    {
        cap.reset();
        TProgramFolder::OverrideForTesting(QString());
    }

    void Start(TPixelFormat format = TPixelFormat::pf24bit, bool wantBitmaps = true)
    {
        TGraphConfig c;
        c.VCapSource = "Cam";
        c.WantPreview = true;
        c.WantBitmaps = wantBitmaps;
        c.PixelFormat = format;
        cap->ApplyConfig(c);
        ASSERT_TRUE(cap->Previewing()) << script.ui.Texts("error").join('|').toStdString();
    }

    // A bottom-up 24-bit frame whose rows are coloured by their index in the buffer.
    static QByteArray Frame24(int width = W, int height = H)
    {
        const int stride = ((width * 24 + 31) / 32) * 4;
        QByteArray bytes(stride * height, '\0');
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x) {
                char* p = bytes.data() + row * stride + x * 3;
                p[0] = char(10 * row); // blue
                p[1] = char(x);        // green
                p[2] = char(200);      // red
            }
        return bytes;
    }

    // Plays the streaming thread: delivers the samples from another thread and waits for it.
    void Deliver(const QList<QByteArray>& samples)
    {
        const auto grabber = sys.Grabber();
        ASSERT_TRUE(grabber);
        std::thread streaming([&] {
            for (const QByteArray& s : samples)
                grabber->Deliver(s);
        });
        streaming.join();
        QCoreApplication::processEvents();
    }
};

TEST_F(VideoCaptureGrab, GrabberSitsBetweenTeeAndRendererAsking24Bits)
{
    Start();
    const auto grabber = sys.Grabber();
    ASSERT_TRUE(grabber);
    ASSERT_TRUE(grabber->Requested);
    EXPECT_EQ(grabber->Requested->majortype, MEDIATYPE_Video);
    EXPECT_EQ(grabber->Requested->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(grabber->Requested->formattype, FORMAT_VideoInfo);
    EXPECT_TRUE(grabber->Requested->format.isEmpty());
    EXPECT_FALSE(grabber->BufferSamples);
    EXPECT_FALSE(grabber->OneShot);
    EXPECT_EQ(grabber->Which, 1);
    const QStringList calls = sys.Calls();
    EXPECT_LT(calls.indexOf("RenderStream:MyBitmapGrabber"),
              calls.indexOf("RenderStream:VideoRenderer"));
}

TEST_F(VideoCaptureGrab, DeviceFormatRequestsNothing)
{
    Start(TPixelFormat::pfDevice);
    EXPECT_FALSE(sys.Grabber()->Requested);
}

TEST_F(VideoCaptureGrab, NoGrabberWithoutWantBitmaps)
{
    Start(TPixelFormat::pf24bit, false);
    EXPECT_FALSE(sys.Grabber());
    EXPECT_FALSE(cap->GrabNextFrame());
}

TEST_F(VideoCaptureGrab, GrabNextFrameNeedsPreviewBitmapsAndGrabber)
{
    EXPECT_FALSE(cap->GrabNextFrame());
    Start();
    EXPECT_TRUE(cap->GrabNextFrame());
    cap->WantBitmaps = false;
    EXPECT_FALSE(cap->GrabNextFrame());
    cap->WantBitmaps = true;
    cap->StopPreview();
    EXPECT_FALSE(cap->GrabNextFrame());
    cap->StartPreview();
    cap->TearDownGraph();
    EXPECT_FALSE(cap->GrabNextFrame()); // the grabber went with the graph
}

TEST_F(VideoCaptureGrab, GrabberThatCannotConnectLeavesPreviewWithoutFrames)
{
    sys.Fail("RenderStream:MyBitmapGrabber");
    Start();
    EXPECT_EQ(script.ui.Texts("error"),
              QStringList{"Can't install SampleGrabber. Probably wrong color depth used?"});
    EXPECT_TRUE(sys.Calls().contains("RenderStream:VideoRenderer"));
    EXPECT_FALSE(cap->GrabNextFrame());
}

TEST_F(VideoCaptureGrab, OneBitmapPerArmedFrameEveryFrameRendered)
{
    Start();
    Deliver({Frame24(), Frame24()});
    EXPECT_TRUE(bitmaps.isEmpty()); // not asked for
    EXPECT_EQ(rendered, 2);

    ASSERT_TRUE(cap->GrabNextFrame());
    Deliver({Frame24(), Frame24(), Frame24()});
    ASSERT_EQ(bitmaps.size(), 1);
    EXPECT_EQ(rendered, 5);
    const TCapturedBitmap& b = bitmaps.first();
    EXPECT_EQ(b.size(), QSize(W, H));
    EXPECT_EQ(b.PixelFormat, TPixelFormat::pf24bit);
    // Bottom-up: the buffer's first row is the picture's last.
    EXPECT_EQ(b.pixelColor(3, H - 1), QColor(200, 3, 0));
    EXPECT_EQ(b.pixelColor(5, 0), QColor(200, 5, 10 * (H - 1)));
}

TEST_F(VideoCaptureGrab, TopDownFrameKeepsItsRowOrder)
{
    TFakeMode mode = TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_RGB24, W, -H, 24);
    cam->Modes = {mode};
    Start();
    cap->GrabNextFrame();
    Deliver({Frame24()});
    ASSERT_EQ(bitmaps.size(), 1);
    EXPECT_EQ(bitmaps.first().size(), QSize(W, H));
    EXPECT_EQ(bitmaps.first().pixelColor(0, 0), QColor(200, 0, 0));
}

TEST_F(VideoCaptureGrab, ReArmingFromFrameRenderedGrabsEachFollowingFrame)
{
    Start();
    QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, cap.get(),
                     [this] { cap->GrabNextFrame(); });
    Deliver({Frame24()});
    EXPECT_EQ(bitmaps.size(), 0);
    Deliver({Frame24()});
    Deliver({Frame24()});
    EXPECT_EQ(bitmaps.size(), 2);
}

TEST_F(VideoCaptureGrab, ShortBufferGivesNoBitmap)
{
    Start();
    cap->GrabNextFrame();
    Deliver({Frame24().left(W * 3 * H - 1)});
    EXPECT_TRUE(bitmaps.isEmpty());
    EXPECT_EQ(rendered, 1);
    cap->GrabNextFrame();
    Deliver({QByteArray()});
    EXPECT_TRUE(bitmaps.isEmpty());
}

TEST_F(VideoCaptureGrab, MessageFromAnotherCallbackIsIgnored)
{
    Start();
    cap->GrabNextFrame();
    Deliver({Frame24()});
    ASSERT_EQ(bitmaps.size(), 1);

    // A stranger's message finds the component's own (still filled) buffer: nothing is drawn.
    TSampleGrabberCB stranger;
    QCoreApplication::postEvent(cap.get(),
                                new TGrabberEvent(TGrabberEvent::WM_BITMAPGRABBED, &stranger));
    QCoreApplication::processEvents();
    EXPECT_EQ(bitmaps.size(), 1);
}

TEST_F(VideoCaptureGrab, UnreadableConnectedTypeIsIgnored)
{
    Start();
    sys.Fail("GetConnectedMediaType");
    cap->GrabNextFrame();
    Deliver({Frame24()});
    EXPECT_TRUE(bitmaps.isEmpty());
    EXPECT_EQ(rendered, 1);
}

TEST_F(VideoCaptureGrab, ThirtyTwoBitsAreHandedOutAs24)
{
    Start(TPixelFormat::pf32bit);
    EXPECT_EQ(sys.Grabber()->Requested->subtype, MEDIASUBTYPE_RGB32);
    QByteArray frame(W * 4 * H, '\0');
    for (int i = 0; i < W * H; ++i) {
        frame[4 * i] = char(1);
        frame[4 * i + 1] = char(2);
        frame[4 * i + 2] = char(3);
    }
    cap->GrabNextFrame();
    Deliver({frame});
    ASSERT_EQ(bitmaps.size(), 1);
    EXPECT_EQ(bitmaps.first().PixelFormat, TPixelFormat::pf24bit);
    EXPECT_EQ(bitmaps.first().depth(), 24);
    EXPECT_EQ(bitmaps.first().pixelColor(W - 1, H - 1), QColor(3, 2, 1));
}

TEST_F(VideoCaptureGrab, TwoCopiesBeforeHandlingBothDrawTheLatest)
{
    Start();
    const auto grabber = sys.Grabber();
    QByteArray second = Frame24();
    second.fill(char(77));
    cap->GrabNextFrame();
    grabber->Deliver(Frame24());
    cap->GrabNextFrame();
    grabber->Deliver(second);
    QCoreApplication::processEvents();
    ASSERT_EQ(bitmaps.size(), 2);
    EXPECT_EQ(bitmaps[0].pixelColor(0, 0), QColor(77, 77, 77));
    EXPECT_EQ(bitmaps[1].pixelColor(0, 0), QColor(77, 77, 77));
}

} // namespace
