// The capture component on the real GStreamer graph with the test camera and its DV source.
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "tests/support/TOutputRecorder.h"
#include "tests/support/TScriptedUi.h"
#include "tests/support/TSoundServer.h"
#include "tests/support/ToneAmplitude.h"

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

// A DV camera: the test camera's DV source goes through the DV splitter and decoder as a
// camcorder's stream would.
class VideoCaptureDV : public VideoCaptureGst
{
protected:
    void SetUp() override
    {
        VideoCaptureGst::SetUp();
        QObject::connect(cap.get(), &TVideoCapture::OnFrameRendered, cap.get(),
                         [this] { (void)cap->GrabNextFrame(); });
        if (!cap->DeviceLists().VideoCaptureDeviceNames(false).contains(
                TGstCaptureSystem::TestDVCameraName))
            GTEST_SKIP() << "no DV test camera: needs dvdemux, dvdec (gstreamer1.0-plugins-good) "
                            "and avenc_dvvideo, avmux_dv (gstreamer1.0-libav)";
    }

    TGraphConfig DVCamera(TDVResolution resolution)
    {
        TGraphConfig config = TestCamera();
        config.VCapSource = TGstCaptureSystem::TestDVCameraName;
        config.DVResolution = resolution;
        return config;
    }

    std::string Errors() const { return script.ui.Texts("error").join("; ").toStdString(); }
};

TEST_F(VideoCaptureDV, PictureComesThroughTheDecoderAtTheChosenSize)
{
    cap->ApplyConfig(DVCamera(TDVResolution::dvrHalf));
    ASSERT_TRUE(cap->Previewing()) << Errors();
    EXPECT_EQ(cap->GetVCapModeCount(), 4) << "a DV camera offers the four decoding sizes";
    TVCapMode current;
    cap->GetCurrentVCapMode(current);
    EXPECT_EQ(current.Width, 360);
    EXPECT_EQ(current.Height, 288);
    EXPECT_EQ(current.Bits, 24);

    cap->GrabNextFrame();
    Spin(1200);
    EXPECT_GT(rendered, 12) << "25 frames a second";
    ASSERT_GT(bitmaps.size(), 10);
    EXPECT_EQ(bitmaps.last(), QSize(360, 288));
    EXPECT_TRUE(script.ui.shown.isEmpty()) << Errors();

    // Another size tears the graph down; started again it decodes at that size.
    cap->SetDVResolution(TDVResolution::dvrQuater);
    EXPECT_FALSE(cap->Previewing());
    ASSERT_TRUE(cap->StartPreview()) << Errors();
    bitmaps.clear();
    cap->GrabNextFrame();
    Spin(800);
    ASSERT_FALSE(bitmaps.isEmpty());
    EXPECT_EQ(bitmaps.last(), QSize(180, 144));
    cap->GetCurrentVCapMode(current);
    EXPECT_EQ(current.Width, 180);

    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.DVResolution, TDVResolution::dvrQuater);
    EXPECT_EQ(read.VCapSource, QString(TGstCaptureSystem::TestDVCameraName));
}

TEST_F(VideoCaptureDV, FullSizeIsTheCamerasOwn)
{
    cap->ApplyConfig(DVCamera(TDVResolution::dvrFull));
    ASSERT_TRUE(cap->Previewing()) << Errors();
    cap->GrabNextFrame();
    Spin(800);
    ASSERT_FALSE(bitmaps.isEmpty());
    EXPECT_EQ(bitmaps.last(), QSize(720, 576));
}

TEST_F(VideoCaptureDV, SoundOfTheDVStreamIsPlayed)
{
    TSoundServer server;
    if (!server.Ready())
        GTEST_SKIP() << "pulseaudio is not installed (apt-get install pulseaudio)";
    TOutputRecorder recorder;
    ASSERT_TRUE(recorder.WaitConnected()) << "parec (pulseaudio-utils) cannot record";
    TGraphConfig config = DVCamera(TDVResolution::dvrHalf);
    config.WantAudio = true;
    config.WantDVAudio = true;
    config.WantAudioPreview = true;
    cap->ApplyConfig(config);
    ASSERT_TRUE(cap->Previewing()) << Errors();
    EXPECT_TRUE(script.ui.shown.isEmpty()) << "no audio device is needed: " << Errors();

    // A fresh sound server takes a moment to render its first stream.
    QByteArray heard;
    QElapsedTimer timer;
    timer.start();
    while (heard.size() < 48000 * 2 * 3 / 2 && timer.elapsed() < 6000) {
        heard = recorder.Collect(50);
        QCoreApplication::processEvents();
    }
    ASSERT_GE(heard.size(), 48000 * 2 / 2) << "nothing was played";
    // The tone in the loudest of the last three quarter seconds: on a loaded machine a young
    // server's underrun can leave a gap in one of them, which is not the tone missing.
    QByteArray last;
    double loudest = -1;
    for (int quarter = 1; quarter <= 3; ++quarter) {
        const QByteArray part = heard.right(48000 * 2 / 4 * quarter).left(48000 * 2 / 4);
        const double amplitude = ToneAmplitude(part, 440, 48000);
        if (amplitude > loudest) {
            loudest = amplitude;
            last = part;
        }
    }
    EXPECT_GT(loudest, 3000) << "the test camera's 440 Hz tone";
    EXPECT_LT(ToneAmplitude(last, 660, 48000), 300);
    // The picture still comes through beside the sound.
    EXPECT_GT(rendered, 10);
    EXPECT_EQ(bitmaps.last(), QSize(360, 288));
    cap.reset(); // before the sound server goes
}

} // namespace
