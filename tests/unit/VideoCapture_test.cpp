// The camera component on the fake camera system: what it stores, which mode a stored line
// selects, where frames go, what happens when the camera goes away, and a camera that waits
// for the desktop before it starts.
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/fake/TFakeCamera.h"
#include "platform/camera/fake/TFakeCameraSystem.h"
#include "tests/support/TScriptedUi.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

const QString BGR24 = QStringLiteral("7DEB36E44F52CE119F530020AF0BA770");
const QString YUY2 = QStringLiteral("5955593200001000800000AA00389B71");

class VideoCaptureTest : public ::testing::Test
{
protected:
    TScriptedUiScope script;
    TFakeCameraSystem system;
    std::unique_ptr<TVideoCapture> cap;

    void SetUp() override { cap = std::make_unique<TVideoCapture>(system); }

    // The line the main window would store for this camera and mode.
    static TGraphConfig Line(const QString& source, const QString& subtype = {}, int width = 0,
                             int height = 0, int bits = 0)
    {
        TGraphConfig c;
        c.LoadFromString(QStringLiteral("WantCapture=0,WantAudio=0,\"VCapSource=%1\","
                                        "VCapModeMediaSubType=%2,VCapModeWidth=%3,"
                                        "VCapModeHeight=%4,VCapModeBits=%5")
                             .arg(source, subtype)
                             .arg(width)
                             .arg(height)
                             .arg(bits));
        return c;
    }

    TFakeCamera& Camera()
    {
        EXPECT_NE(system.Camera(), nullptr);
        return *system.Camera();
    }
    QStringList Errors() const { return script.ui.Texts(QStringLiteral("error")); }
};

TEST_F(VideoCaptureTest, AFreshComponentStoresTheMainWindowsLine)
{
    TGraphConfig config;
    cap->ReadConfig(config);
    EXPECT_EQ(config.SaveToString(),
              "WantCapture=0,WantDVAudio=0,WantAudio=0,WantAudioPreview=0,DoPreallocFile=0,"
              "UseTempFile=0,PreallocFileSize=1,TempCaptureFileName=captemp.avi,"
              "CaptureFileName=capture.avi,DVResolution=0,PixelFormat=6,VCapSource=,"
              "ACapSource=,AComp=,VComp=,ACapModeMediaSubType=00000000000000000000000000000000,"
              "ACapModeSampleRate=0,ACapModeAvgSampleRate=0,ACapModeSampleSize=0,"
              "ACapModeChannels=0,VCapModeMediaSubType=00000000000000000000000000000000,"
              "VCapModeWidth=0,VCapModeHeight=0,VCapModeBits=0,VCompState=");
}

TEST_F(VideoCaptureTest, FieldsNoCameraUsesAreWrittenBackAsTheyWereRead)
{
    system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    TGraphConfig stored;
    stored.LoadFromString(
        "WantAudio=1,ACapSource=Mic,VComp=Codec,AComp=Other,CaptureFileName=rec.avi,"
        "UseTempFile=1,PreallocFileSize=77,ACapModeMediaSubType=0100000000001000800000AA00389B71,"
        "ACapModeSampleRate=44100,ACapModeChannels=2,VCompState=00FF10,VCapSource=Cam,"
        "VCapModeMediaSubType=" +
        BGR24 + ",VCapModeWidth=320,VCapModeHeight=240,VCapModeBits=24");
    cap->ApplyConfig(stored);
    ASSERT_TRUE(cap->Previewing());
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.SaveToString(), stored.SaveToString());
    EXPECT_EQ(read.VCompState, QByteArray::fromHex("00FF10"));
}

TEST_F(VideoCaptureTest, AStoredModeSelectsTheSameFormatAndAnUnknownOneKeepsTheCamerasOwn)
{
    system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 640, 480),
                             TFakeCameraSystem::RawMode("YUY2", 320, 240),
                             TFakeCameraSystem::RawMode("BGR", 320, 240)});
    cap->ApplyConfig(Line("Cam", BGR24, 320, 240, 24));
    EXPECT_EQ(Camera().Mode(), 2);
    ASSERT_TRUE(Camera().Deliver(Qt::red));

    // What is stored reads back as the same line, and selects the same mode again.
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.VCapMode.MediaSubType.ToBytes().toHex().toUpper(), BGR24.toLatin1());
    cap->ApplyConfig(Line("Cam", YUY2, 320, 240, 16));
    EXPECT_EQ(Camera().Mode(), 1);
    TGraphConfig again;
    cap->ApplyConfig(read);
    cap->ReadConfig(again);
    EXPECT_EQ(again.SaveToString(), read.SaveToString());

    // A line without a subtype matches nothing: the camera keeps its middle size and runs.
    cap->ApplyConfig(Line("Cam", {}, 320, 240, 24));
    EXPECT_EQ(Camera().Mode(), 0);
    EXPECT_TRUE(cap->Previewing());
    EXPECT_TRUE(Errors().isEmpty()) << Errors().join('|').toStdString();
}

TEST_F(VideoCaptureTest, ADVCameraIsSetByItsDecodingSize)
{
    system.AddDevice("DV", {TFakeCameraSystem::DVMode()});
    cap->ApplyConfig(Line("DV", {}, 360, 288, 24));
    ASSERT_TRUE(cap->IsDV());
    EXPECT_EQ(cap->GetVCapModeCount(), 4);
    EXPECT_EQ(cap->DVResolution(), TDVResolution::dvrHalf);
    // The decoder gets the size when the camera is readied; frames come at it.
    EXPECT_EQ(Camera().DecodeSize, QSize(360, 288));
    QSignalSpy grabbed(cap.get(), &TVideoCapture::OnBitmapGrabbed);
    ASSERT_TRUE(Camera().Deliver(Qt::blue));
    ASSERT_EQ(grabbed.count(), 1);
    EXPECT_EQ(grabbed[0][0].value<QImage>().size(), QSize(360, 288));
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.DVResolution, TDVResolution::dvrHalf);
    EXPECT_EQ(QSize(read.VCapMode.Width, read.VCapMode.Height), QSize(360, 288));
}

TEST_F(VideoCaptureTest, FramesReachTheWindowOnlyWhileThePreviewRuns)
{
    system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    QSignalSpy grabbed(cap.get(), &TVideoCapture::OnBitmapGrabbed);
    TGraphConfig line = Line("Cam");
    line.PixelFormat = TPixelFormat::pf15bit;
    cap->ApplyConfig(line);
    ASSERT_TRUE(Camera().Deliver(Qt::green));
    ASSERT_EQ(grabbed.count(), 1);
    const QImage frame = grabbed[0][0].value<QImage>();
    EXPECT_EQ(frame.format(), QImage::Format_RGB555);
    EXPECT_EQ(frame.pixelColor(5, 5), QColor(Qt::green));
    // The preview paints the very frame the window got.
    EXPECT_EQ(cap->PreviewFrame().constBits(), frame.constBits());

    cap->StopPreview();
    EXPECT_FALSE(Camera().Deliver(Qt::green));
    EXPECT_EQ(grabbed.count(), 1);

    cap->WantBitmaps = false;
    ASSERT_TRUE(cap->StartPreview());
    ASSERT_TRUE(Camera().Deliver(Qt::yellow));
    EXPECT_EQ(grabbed.count(), 1);
    EXPECT_EQ(cap->PreviewFrame().pixelColor(0, 0), QColor(Qt::yellow));
}

TEST_F(VideoCaptureTest, ALostCameraIsReportedAndTriedOnceMore)
{
    const auto device = system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    cap->ApplyConfig(Line("Cam"));
    ASSERT_TRUE(cap->Previewing());
    QSignalSpy lost(cap.get(), &TVideoCapture::OnDeviceLost);
    device->StartError = QStringLiteral("the device is gone");
    Camera().Fail(TCameraFailure::Lost);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(Camera().Starts, 2);
    ASSERT_EQ(script.ui.shown.size(), 1);
    EXPECT_EQ(script.ui.shown[0].text, "Cannot run preview graph!\r\nthe device is gone");
    EXPECT_EQ(script.ui.shown[0].detail, "Cam - Capture");

    // Any other failure leaves the preview as it is.
    device->StartError.clear();
    ASSERT_TRUE(cap->StartPreview());
    QSignalSpy aborted(cap.get(), &TVideoCapture::OnAborted);
    Camera().Fail(TCameraFailure::Failed);
    EXPECT_EQ(aborted.count(), 1);
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureTest, APinDialogChoiceRestartsTheCameraInTheChosenMode)
{
    system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 640, 480),
                             TFakeCameraSystem::RawMode("BGR", 320, 240)});
    cap->ApplyConfig(Line("Cam"));
    ASSERT_TRUE(cap->Dialogs() & (1u << TVideoCapture::cdVideoCapturePin));
    // The fake camera has no controls of its own, so that dialog is not offered.
    EXPECT_FALSE(cap->ShowDialog(TVideoCapture::cdVideoCaptureFilter));
    EXPECT_TRUE(script.ui.propertyFrames.isEmpty());

    script.ui.propertyAnswers.push_back({{"Video Capture Pin", "format", 1}});
    EXPECT_TRUE(cap->ShowDialog(TVideoCapture::cdVideoCapturePin));
    EXPECT_TRUE(script.ui.refusedProperties.isEmpty());
    EXPECT_EQ(Camera().Mode(), 1);
    EXPECT_TRUE(cap->Previewing());
    QSignalSpy grabbed(cap.get(), &TVideoCapture::OnBitmapGrabbed);
    ASSERT_TRUE(Camera().Deliver(Qt::red));
    EXPECT_EQ(grabbed[0][0].value<QImage>().size(), QSize(320, 240));
}

TEST_F(VideoCaptureTest, IdenticalCamerasStayApartAndAPlugLeavesTheRunningOneAlone)
{
    system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    const auto second = system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 160, 120)});
    ASSERT_TRUE(cap->Initialize());
    EXPECT_EQ(cap->DeviceLists().VideoCaptureDeviceNames(false), QStringList({"Cam", "Cam (2)"}));
    cap->ApplyConfig(Line("Cam (2)"));
    EXPECT_EQ(&Camera().Device(), second.get());

    QSignalSpy changed(cap.get(), &TVideoCapture::OnDevicesChanged);
    system.AddDevice("USB", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    system.NotifyDevicesChanged();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(cap->DeviceLists().Names(), QStringList({"Cam", "Cam (2)", "USB"}));
    EXPECT_EQ(Camera().Starts, 1);
    EXPECT_EQ(Camera().Stops, 0);
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.VCapSource, "Cam (2)");
}

TEST_F(VideoCaptureTest, AnUnlistedOrUnopenableCameraIsReportedAndNotStored)
{
    const auto device = system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    cap->ApplyConfig(Line("Gone"));
    device->Unopenable = true;
    cap->ApplyConfig(Line("Cam"));
    EXPECT_EQ(Errors().size(), 2);
    EXPECT_EQ(Errors().value(0), Errors().value(1));
    EXPECT_FALSE(cap->Previewing());
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_TRUE(read.VCapSource.isEmpty());
}

class WaitingCameraTest : public VideoCaptureTest
{
protected:
    TFakeCamera* cam = nullptr; // in use before the screen is chosen
    int frames = 0;
    QStringList waits; // what the component said of its wait, in order

    void SetUp() override
    {
        VideoCaptureTest::SetUp();
        system.AddDevice("Cam", {TFakeCameraSystem::RawMode("BGR", 320, 240)});
        system.AddDevice("Screen", {TFakeCameraSystem::RawMode("BGRx", 640, 480)})->PrepareWaits =
            true;
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed, [this] { ++frames; });
        QObject::connect(cap.get(), &TVideoCapture::OnWaitingForDesktop,
                         [this](bool w) { waits << (w ? "waiting" : "done"); });
    }

    void StartCam()
    {
        cap->ApplyConfig(Line("Cam"));
        ASSERT_TRUE(cap->Previewing());
        cam = system.Camera();
    }
};

TEST_F(WaitingCameraTest, TheCameraInUseGoesOnUntilTheScreenIsReadyAndThenGivesWay)
{
    StartCam();
    cap->ApplyConfig(Line("Screen"));
    TFakeCamera* screen = system.Camera();
    ASSERT_NE(screen, cam);
    EXPECT_TRUE(cap->WaitingForDesktop());
    EXPECT_EQ(cap->VideoDeviceName(), "Cam");
    EXPECT_TRUE(cam->Deliver(Qt::red));
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(screen->Starts, 0);

    ASSERT_TRUE(screen->FinishPrepare());
    EXPECT_FALSE(cap->WaitingForDesktop());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_EQ(cap->VideoDeviceName(), "Screen");
    EXPECT_EQ(system.Camera(), screen) << "the camera in use is closed";
    EXPECT_EQ(system.Opens, 2) << "the readied screen is taken, not opened (and asked) again";
    EXPECT_EQ(screen->Starts, 1);
    EXPECT_TRUE(screen->Deliver(Qt::blue));
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(waits, QStringList({"waiting", "done"}));
    EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(WaitingCameraTest, AScreenNotGivenLeavesTheCameraInUseAndSaysWhy)
{
    StartCam();
    cap->ApplyConfig(Line("Screen"));
    ASSERT_TRUE(system.Camera()->FinishPrepare("The desktop refused to share the screen."));
    EXPECT_EQ(Errors(), QStringList({"Cannot run preview graph!\r\nThe desktop refused to share "
                                     "the screen."}));
    EXPECT_FALSE(cap->WaitingForDesktop());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_EQ(cap->VideoDeviceName(), "Cam");
    EXPECT_EQ(cam->Stops, 0);
    EXPECT_TRUE(cam->Deliver(Qt::red));
    EXPECT_EQ(frames, 1);
    TGraphConfig read;
    cap->ReadConfig(read);
    EXPECT_EQ(read.VCapSource, "Cam");
}

TEST_F(WaitingCameraTest, WithNothingRunningTheStartFollowsTheAnswerUnlessStopped)
{
    cap->ApplyConfig(Line("Screen"));
    TFakeCamera* screen = system.Camera();
    EXPECT_TRUE(cap->WaitingForDesktop());
    EXPECT_FALSE(cap->Previewing());
    // The preview button during the pick.
    cap->StopPreview();
    EXPECT_FALSE(cap->WaitingForDesktop());
    EXPECT_FALSE(screen->FinishPrepare()) << "the wait went on";
    EXPECT_FALSE(cap->Previewing());

    cap->StartPreview();
    EXPECT_TRUE(cap->WaitingForDesktop());
    ASSERT_TRUE(screen->FinishPrepare());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_EQ(screen->Starts, 1);
    EXPECT_EQ(waits, QStringList({"waiting", "done", "waiting", "done"}));
}

} // namespace
