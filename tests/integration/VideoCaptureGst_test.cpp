// The capture component on the real GStreamer graph with the test camera.
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "tests/support/TScriptedUi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void Spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

class VideoCaptureGst : public ::testing::Test
{
protected:
    TScriptedUiScope script;
    TGstCaptureSystem system{true};
    std::unique_ptr<TVideoCapture> cap;
    QList<QSize> bitmaps;
    int rendered = 0;

    void SetUp() override
    {
        cap = std::make_unique<TVideoCapture>(system);
        cap->resize(264, 209);
        cap->WantAudio = false;
        cap->WantDVAudio = false;
        cap->WantAudioPreview = false;
        cap->WantCapture = false;
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed,
                         [this](const TCapturedBitmap& b) { bitmaps << b.size(); });
        QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, [this] { ++rendered; });
        ASSERT_TRUE(cap->Initialize());
    }

    TGraphConfig TestCamera(int width = 0, int height = 0)
    {
        TGraphConfig config;
        config.VCapSource = TGstCaptureSystem::TestCameraName;
        config.WantPreview = true;
        config.WantBitmaps = true;
        config.WantCapture = false;
        config.WantAudio = false;
        config.WantAudioPreview = false;
        config.WantDVAudio = false;
        config.PixelFormat = TPixelFormat::pf24bit;
        if (width) {
            config.VCapMode.MediaSubType = CaptureGuids::MEDIASUBTYPE_RGB24;
            config.VCapMode.Width = width;
            config.VCapMode.Height = height;
            config.VCapMode.Bits = 24;
        }
        return config;
    }
};

TEST_F(VideoCaptureGst, PreviewRunsAndFramesAreGrabbedOnlyWhenRearmed)
{
    cap->ApplyConfig(TestCamera());
    ASSERT_TRUE(cap->Previewing()) << script.ui.Texts("error").join("; ").toStdString();
    Spin(1000);
    EXPECT_GT(rendered, 15); // about 30 frames a second go by
    EXPECT_TRUE(bitmaps.isEmpty()) << "nothing was asked for";

    // Re-arming from every rendered frame takes nearly every frame.
    QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, cap.get(),
                     [this] { (void)cap->GrabNextFrame(); });
    cap->GrabNextFrame();
    Spin(1000);
    EXPECT_GT(bitmaps.size(), 15);
    EXPECT_LT(bitmaps.size(), 45);
    EXPECT_EQ(bitmaps.first(), QSize(640, 480));
    EXPECT_TRUE(script.ui.shown.isEmpty());

    const int before = bitmaps.size();
    ASSERT_TRUE(cap->StopPreview());
    Spin(300);
    EXPECT_LE(bitmaps.size(), before + 1);
    EXPECT_FALSE(cap->GrabNextFrame());
    ASSERT_TRUE(cap->StartPreview());
    Spin(500);
    EXPECT_GT(bitmaps.size(), before + 3);
}

TEST_F(VideoCaptureGst, AStoredModeIsSelected)
{
    cap->ApplyConfig(TestCamera(1280, 720));
    ASSERT_TRUE(cap->Previewing());
    TVCapMode current;
    cap->GetCurrentVCapMode(current);
    EXPECT_EQ(current.Width, 1280);
    EXPECT_EQ(current.Height, 720);
    QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, cap.get(),
                     [this] { (void)cap->GrabNextFrame(); });
    Spin(800);
    ASSERT_FALSE(bitmaps.isEmpty());
    EXPECT_EQ(bitmaps.last(), QSize(1280, 720));

    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.VCapSource, QString(TGstCaptureSystem::TestCameraName));
    EXPECT_EQ(read.VCapMode.Width, 1280);
}

TEST_F(VideoCaptureGst, AMissingCameraGivesTheBoxWithCodeZero)
{
    TGraphConfig config = TestCamera();
    config.VCapSource = "Camera That Was Unplugged";
    cap->ApplyConfig(config);
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(
        script.ui.Texts("error"),
        QStringList{"Error 0.\r\nCan't create video capture filter - propably you havn't video "
                    "capture device!"});
}

} // namespace
