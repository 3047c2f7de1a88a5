// The capture component on the GStreamer cameras: the test camera and its DV source.
#include "capture/TGraphConfig.h"
#include "capture/TVCapModes.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TScriptedUi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

class VideoCaptureGst : public ::testing::Test
{
protected:
    TScriptedUiScope script;
    TGstCameraSystem system{true};
    std::unique_ptr<TVideoCapture> cap;
    QList<QSize> bitmaps;

    void SetUp() override
    {
        cap = std::make_unique<TVideoCapture>(system);
        cap->resize(264, 209);
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed,
                         [this](const QImage& frame) { bitmaps << frame.size(); });
        ASSERT_TRUE(cap->Initialize());
    }

    TGraphConfig TestCamera(int width = 0, int height = 0)
    {
        TGraphConfig config;
        config.VCapSource = TGstCameraSystem::TestCameraName;
        config.WantPreview = true;
        config.WantBitmaps = true;
        config.PixelFormat = TPixelFormat::pf24bit;
        if (width) {
            config.VCapMode.MediaSubType = TVCapModes::RGB24;
            config.VCapMode.Width = width;
            config.VCapMode.Height = height;
            config.VCapMode.Bits = 24;
        }
        return config;
    }

    std::string Errors() const { return script.ui.Texts("error").join("; ").toStdString(); }
};

TEST_F(VideoCaptureGst, EveryFrameReachesTheProgramWhileThePreviewRuns)
{
    cap->ApplyConfig(TestCamera());
    ASSERT_TRUE(cap->Previewing()) << Errors();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitUntil([&] { return bitmaps.size() > 15; })) << bitmaps.size() << " frames";
    // About 30 frames a second: no frame is handed over twice.
    EXPECT_LE(bitmaps.size(), 2 + clock.elapsed() * 45 / 1000);
    EXPECT_EQ(bitmaps.first(), QSize(640, 480));
    EXPECT_FALSE(cap->PreviewFrame().isNull());
    EXPECT_TRUE(script.ui.shown.isEmpty()) << Errors();

    const qsizetype before = bitmaps.size();
    ASSERT_TRUE(cap->StopPreview());
    Drain(300);
    EXPECT_EQ(bitmaps.size(), before) << "frames after the stop";
    ASSERT_TRUE(cap->StartPreview());
    EXPECT_TRUE(WaitUntil([&] { return bitmaps.size() > before + 3; }));
}

TEST_F(VideoCaptureGst, AStoredModeIsSelected)
{
    cap->ApplyConfig(TestCamera(1280, 720));
    ASSERT_TRUE(cap->Previewing()) << Errors();
    ASSERT_TRUE(WaitUntil([&] { return !bitmaps.isEmpty(); }));
    EXPECT_EQ(bitmaps.last(), QSize(1280, 720));

    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.VCapSource, QString(TGstCameraSystem::TestCameraName));
    EXPECT_EQ(QSize(read.VCapMode.Width, read.VCapMode.Height), QSize(1280, 720));
}

TEST_F(VideoCaptureGst, AMissingCameraGivesTheBox)
{
    TGraphConfig config = TestCamera();
    config.VCapSource = "Camera That Was Unplugged";
    cap->ApplyConfig(config);
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(script.ui.Texts("error"),
              QStringList{"Can't create video capture filter - propably you havn't video capture "
                          "device!"});
}

// A DV camera: the test camera's DV source goes through the DV demuxer and decoder as a
// camcorder's stream would.
class VideoCaptureDV : public VideoCaptureGst
{
protected:
    void SetUp() override
    {
        VideoCaptureGst::SetUp();
        if (!cap->DeviceLists().VideoCaptureDeviceNames(false).contains(
                TGstCameraSystem::TestDVCameraName))
            GTEST_SKIP() << "no DV test camera: needs dvdemux, dvdec (gstreamer1.0-plugins-good) "
                            "and avenc_dvvideo, avmux_dv (gstreamer1.0-libav)";
    }

    TGraphConfig DVCamera(TDVResolution resolution)
    {
        TGraphConfig config = TestCamera();
        config.VCapSource = TGstCameraSystem::TestDVCameraName;
        config.DVResolution = resolution;
        return config;
    }
};

TEST_F(VideoCaptureDV, PictureComesThroughTheDecoderAtTheChosenSize)
{
    cap->ApplyConfig(DVCamera(TDVResolution::dvrHalf));
    ASSERT_TRUE(cap->Previewing()) << Errors();
    TVCapMode current;
    cap->GetCurrentVCapMode(current);
    EXPECT_EQ(QSize(current.Width, current.Height), QSize(360, 288));
    ASSERT_TRUE(WaitUntil([&] { return bitmaps.size() > 10; })) << "25 frames a second";
    EXPECT_EQ(bitmaps.last(), QSize(360, 288));
    EXPECT_TRUE(script.ui.shown.isEmpty()) << Errors();

    // Another size stops the camera; started again it decodes at that size.
    cap->SetDVResolution(TDVResolution::dvrQuater);
    EXPECT_FALSE(cap->Previewing());
    ASSERT_TRUE(cap->StartPreview()) << Errors();
    bitmaps.clear();
    ASSERT_TRUE(WaitUntil([&] { return !bitmaps.isEmpty(); }));
    EXPECT_EQ(bitmaps.last(), QSize(180, 144));

    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.DVResolution, TDVResolution::dvrQuater);
    EXPECT_EQ(QSize(read.VCapMode.Width, read.VCapMode.Height), QSize(180, 144));
    EXPECT_EQ(read.VCapSource, QString(TGstCameraSystem::TestDVCameraName));
}

TEST_F(VideoCaptureDV, FullSizeIsTheCamerasOwn)
{
    cap->ApplyConfig(DVCamera(TDVResolution::dvrFull));
    ASSERT_TRUE(cap->Previewing()) << Errors();
    ASSERT_TRUE(WaitUntil([&] { return !bitmaps.isEmpty(); }));
    EXPECT_EQ(bitmaps.last(), QSize(720, 576));
}

} // namespace
