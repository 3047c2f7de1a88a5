// The capture component's graph against the fake capture system: building, every failing step
// with its message and clean-up, preview start/stop, graph events and the preview window.

#include "capture/EVideoCaptureError.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeBuilder.h"
#include "platform/capturegraph/fake/TFakeCaptureSystem.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeFileSink.h"
#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeGraph.h"
#include "platform/capturegraph/fake/TFakePin.h"
#include "platform/capturegraph/fake/TFakeVideoWindow.h"
#include "platform/paths/TProgramFolder.h"
#include "tests/support/TScriptedUi.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace CaptureGuids;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString NoDevice = "Error 0.\r\nCan't create video capture filter - propably you havn't "
                         "video capture device!";

class VideoCaptureGraph : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    TFakeCaptureSystem sys;
    TScriptedUiScope script;
    std::shared_ptr<TFakeDevice> cam;
    std::shared_ptr<TFakeDevice> mic;
    std::unique_ptr<TVideoCapture> cap;

    void SetUp() override
    {
        TProgramFolder::OverrideForTesting(folder.path());
        cam = sys.AddDevice(TDeviceCategory::VideoInput, "Cam",
                            {TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_RGB24, 640, 480, 24),
                             TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_YUY2, 320, 240, 16)});
        mic = sys.AddDevice(TDeviceCategory::AudioInput, "Mic",
                            {TFakeCaptureSystem::AudioMode(MEDIASUBTYPE_PCM, 44100, 16, 2)});
        cap = std::make_unique<TVideoCapture>(sys);
        ASSERT_TRUE(cap->Initialize());
    }
    void TearDown() override
    {
        cap.reset();
        TProgramFolder::OverrideForTesting(QString());
    }

    // Preview of the camera only, as the main window runs it.
    static TGraphConfig PreviewConfig()
    {
        TGraphConfig c;
        c.VCapSource = "Cam";
        c.ACapSource = "Mic";
        c.WantCapture = false;
        c.WantAudio = false;
        c.WantAudioPreview = false;
        c.WantPreview = true;
        c.WantBitmaps = true;
        return c;
    }
    // Everything: audio, audio preview and the capture branch.
    static TGraphConfig FullConfig()
    {
        TGraphConfig c = PreviewConfig();
        c.WantCapture = true;
        c.WantAudio = true;
        c.WantAudioPreview = true;
        return c;
    }
    // The component's boxes all carry its own caption, not the program's title.
    QStringList Errors() const
    {
        for (const TScriptedUi::Shown& s : script.ui.shown) {
            if (s.kind == "error") {
                EXPECT_EQ(s.detail, "DirectShow - Capture") << s.text.toStdString();
            }
        }
        return script.ui.Texts("error");
    }
    QStringList GraphFilters() const { return sys.LastGraph()->FilterNames(); }

    // Failing steps must leave nothing running and only the sources in the graph.
    void ExpectNothingRunning() const
    {
        EXPECT_FALSE(cap->GraphBuilt());
        EXPECT_FALSE(cap->Previewing());
        EXPECT_FALSE(sys.Calls().contains("Run"));
    }
};

TEST_F(VideoCaptureGraph, ConstructorDefaults)
{
    TVideoCapture fresh(sys);
    EXPECT_TRUE(fresh.WantAudio && fresh.WantAudioPreview && fresh.WantDVAudio);
    EXPECT_TRUE(fresh.WantPreview && fresh.WantCapture && fresh.WantBitmaps);
    EXPECT_FALSE(fresh.UseFrameRate || fresh.UseTempFile || fresh.DoPreallocFile);
    EXPECT_EQ(fresh.Color(), QColor(0, 0, 255));
    EXPECT_EQ(fresh.size(), QSize(100, 100));
    EXPECT_EQ(fresh.PreallocFileSize, 1u);
    EXPECT_EQ(fresh.BitmapPixelFormat, TPixelFormat::pf24bit);
    EXPECT_EQ(fresh.DVResolution(), TDVResolution::dvrDontWorry);
    EXPECT_EQ(fresh.MasterStream(), -1);
    EXPECT_EQ(fresh.FrameRate(), 0.0);
    EXPECT_FALSE(fresh.GraphBuilt() || fresh.Previewing());
}

TEST_F(VideoCaptureGraph, FrameRateOutsideOneToFiftyStores25)
{
    for (double wrong : {0.5, 60.0, 0.0, -3.0, 50.5, std::nan("")}) {
        cap->SetFrameRate(wrong);
        EXPECT_EQ(cap->FrameRate(), 25.0) << wrong;
    }
    for (double right : {1.0, 15.0, 29.97, 50.0}) {
        cap->SetFrameRate(right);
        EXPECT_EQ(cap->FrameRate(), right);
    }
}

TEST_F(VideoCaptureGraph, ErrorCodesAreUpperCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(TVideoCapture::FormatCaptureError("Error %x.", Hr::E_FAIL), "Error 80004005.");
    EXPECT_EQ(TVideoCapture::FormatCaptureError("Error %x.", 0), "Error 0.");
    EXPECT_EQ(TVideoCapture::FormatCaptureError("%x: x", 0xab), "AB: x");
    EXPECT_EQ(TVideoCapture::FormatCaptureError("%x", -1), "FFFFFFFF");
}

TEST_F(VideoCaptureGraph, RaiseShowsOneBoxAndThrowsTheSameText)
{
    try {
        cap->RaiseCaptureError("Error %x: boom", Hr::E_NOINTERFACE);
        FAIL() << "no exception";
    } catch (const EVideoCaptureError& e) {
        EXPECT_EQ(e.Message(), "Error 80004002: boom");
    }
    EXPECT_EQ(Errors(), QStringList{"Error 80004002: boom"});
}

// Created -> Initialized -> Built/Previewing -> Built -> torn down, and built again.
TEST_F(VideoCaptureGraph, LifecycleFollowsTheStateTable)
{
    EXPECT_FALSE(cap->GraphBuilt());
    EXPECT_FALSE(sys.Calls().contains("BindToFilter:Cam")); // Initialize selects nothing
    QSignalSpy started(cap.get(), &TVideoCapture::OnStartPreview);
    QSignalSpy stopped(cap.get(), &TVideoCapture::OnStopPreview);

    cap->ApplyConfig(PreviewConfig());
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_TRUE(sys.LastGraph()->Running());
    EXPECT_EQ(started.count(), 1);
    EXPECT_TRUE(Errors().isEmpty()) << Errors().join('|').toStdString();
    const QStringList calls = sys.Calls();
    EXPECT_LT(calls.indexOf("BindToFilter:Cam"), calls.lastIndexOf("CreateFilterGraph"));
    EXPECT_LT(calls.indexOf("AddFilter:Cam"), calls.indexOf("AddFilter:MySmartTee"));
    EXPECT_LT(calls.indexOf("RenderStream:MySmartTee"),
              calls.indexOf("RenderStream:MyBitmapGrabber"));
    EXPECT_LT(calls.indexOf("RenderStream:VideoRenderer"), calls.indexOf("Run"));
    EXPECT_EQ(calls.last(), "Run");

    EXPECT_TRUE(cap->StopPreview());
    EXPECT_FALSE(cap->Previewing());
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_EQ(stopped.count(), 1);

    sys.ClearCalls();
    cap->TearDownGraph();
    EXPECT_FALSE(cap->GraphBuilt());
    EXPECT_EQ(GraphFilters(), QStringList{"Cam"});
    EXPECT_TRUE(sys.Calls().contains("RemoveFilter:MySmartTee"));
    EXPECT_TRUE(sys.Calls().contains("RemoveFilter:MyBitmapGrabber"));
    EXPECT_TRUE(sys.Calls().contains("Disconnect:Cam"));

    EXPECT_TRUE(cap->StartPreview()); // rebuilds from "filters made"
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, TearDownWhilePreviewingStopsFirst)
{
    cap->ApplyConfig(PreviewConfig());
    sys.ClearCalls();
    cap->TearDownGraph();
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(sys.Calls().first(), "Stop");
    EXPECT_FALSE(sys.LastGraph()->HasNotify());
}

TEST_F(VideoCaptureGraph, FullGraphConnectsAudioTeeAndCaptureBranch)
{
    TGraphConfig c = FullConfig();
    c.CaptureFileName = "movie.avi";
    QFile stale(folder.filePath("movie.avi"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    cap->ApplyConfig(c);
    ASSERT_TRUE(cap->Previewing()) << Errors().join('|').toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("movie.avi"))); // the old capture is deleted
    EXPECT_EQ(cap->CurrentCaptureFile(), folder.filePath("movie.avi"));
    EXPECT_TRUE(sys.Calls().contains("SetOutputFileName:" + folder.filePath("movie.avi")));
    for (const char* name : {"Cam", "Mic", "MySmartTee", "MyInfTee", "AviMux", "FileWriter",
                             "MyBitmapGrabber", "VideoRenderer", "AudioRenderer"})
        EXPECT_TRUE(GraphFilters().contains(name)) << name;
    EXPECT_TRUE(sys.Calls().contains("SetMasterStream:-1"));
    EXPECT_TRUE(sys.Calls().contains("SetOverwriteMode"));

    // The capture branch is held stopped while previewing, the tee's capture output too.
    const QStringList calls = sys.Calls();
    EXPECT_LT(calls.indexOf("StopNow:AviMux"), calls.indexOf("Run"));
    EXPECT_LT(calls.indexOf("StopNow:SmartTee:extra"), calls.indexOf("Run"));

    sys.ClearCalls();
    cap->TearDownGraph();
    EXPECT_EQ(GraphFilters(), (QStringList{"Cam", "Mic"}));
}

TEST_F(VideoCaptureGraph, TempFileNameReachesTheWriterAndIsDeletedOnTearDown)
{
    TGraphConfig c = FullConfig();
    c.UseTempFile = true;
    c.TempCaptureFileName = "temp.avi";
    cap->ApplyConfig(c);
    ASSERT_TRUE(cap->GraphBuilt());
    EXPECT_EQ(sys.LastBuilder()->Writer()->FileName, folder.filePath("temp.avi"));

    cap->SetTempCaptureFileName("other.avi");
    EXPECT_EQ(sys.LastBuilder()->Writer()->FileName, folder.filePath("other.avi"));

    QFile temp(folder.filePath("other.avi"));
    ASSERT_TRUE(temp.open(QIODevice::WriteOnly));
    temp.close();
    cap->TearDownGraph();
    EXPECT_FALSE(QFile::exists(folder.filePath("other.avi")));
}

TEST_F(VideoCaptureGraph, PreallocationAsksForMegabytesOfTheCurrentFile)
{
    TGraphConfig c = FullConfig();
    c.DoPreallocFile = true;
    c.PreallocFileSize = 3;
    cap->ApplyConfig(c);
    EXPECT_TRUE(sys.Calls().contains("AllocCapFile:" + folder.filePath("capture.avi") + ":" +
                                     QString::number(3 * 1048576)));
}

TEST_F(VideoCaptureGraph, StartTwiceDoesNotTouchTheGraphAndStopWhenStoppedIsFalse)
{
    EXPECT_FALSE(cap->StopPreview());
    cap->ApplyConfig(PreviewConfig());
    sys.ClearCalls();
    EXPECT_TRUE(cap->StartPreview());
    EXPECT_TRUE(sys.Calls().isEmpty());
    EXPECT_TRUE(cap->StopPreview());
    EXPECT_FALSE(cap->StopPreview());
    EXPECT_EQ(sys.Calls(), QStringList{"Stop"});
}

TEST_F(VideoCaptureGraph, PreviewWindowFillsTheWidgetAndFollowsResizes)
{
    cap->ApplyConfig(PreviewConfig());
    const auto window = sys.LastGraph()->Window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Owner.data(), cap.get());
    EXPECT_TRUE(window->Visible);
    EXPECT_EQ(window->Position, QRect(0, 0, 100, 100));
    cap->show(); // a hidden widget gets its resize events only when shown
    cap->resize(320, 240);
    EXPECT_EQ(window->Position, QRect(0, 0, 320, 240));
    cap->TearDownGraph();
    EXPECT_EQ(window->Owner.data(), nullptr);
    EXPECT_FALSE(window->Visible);
}

TEST_F(VideoCaptureGraph, FrameRateIsWrittenAsTimePerFrame)
{
    cap->UseFrameRate = true;
    cap->SetFrameRate(15);
    cap->ApplyConfig(PreviewConfig());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_EQ(cam->CurrentFormat().AvgTimePerFrame(), 666667);
    EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(VideoCaptureGraph, FrameRateOnAFormatWithoutVideoInfoOnlyComplains)
{
    TFakeMode mode = TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_RGB24, 640, 480, 24);
    const TBitmapInfoHeader header = *mode.Type.BitmapHeader(); // read before the type changes
    mode.Type.formattype = FORMAT_VideoInfo2;
    mode.Type.format = QByteArray(72, '\0') + header.ToBytes();
    cam->Modes = {mode};
    cap->UseFrameRate = true;
    cap->SetFrameRate(20);
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), QStringList{"Cannot set frame rate for capture!"});
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, FrameRateRefusedShowsBothMessages)
{
    sys.Fail("SetFormat", Hr::E_INVALIDARG);
    cap->UseFrameRate = true;
    cap->SetFrameRate(10);
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), (QStringList{"80070057: can't set preview frame rate!",
                                     "Cannot set frame rate for capture!"}));
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, DeviceLostStopsAndRestartsThePreview)
{
    cap->ApplyConfig(PreviewConfig());
    QSignalSpy lost(cap.get(), &TVideoCapture::OnDeviceLost);
    QSignalSpy aborted(cap.get(), &TVideoCapture::OnAborted);
    sys.ClearCalls();
    sys.LastGraph()->QueueEvent(GraphEvent::EC_DEVICE_LOST, 1, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(aborted.count(), 0);
    const QStringList calls = sys.Calls();
    ASSERT_TRUE(calls.contains("Stop") && calls.contains("Run")) << calls.join(' ').toStdString();
    EXPECT_LT(calls.indexOf("FreeEventParams:31"), calls.indexOf("Stop"));
    EXPECT_LT(calls.indexOf("Stop"), calls.indexOf("Run"));
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, AbortIsReportedAndPreviewKeepsRunning)
{
    cap->ApplyConfig(PreviewConfig());
    QSignalSpy aborted(cap.get(), &TVideoCapture::OnAborted);
    sys.ClearCalls();
    sys.LastGraph()->QueueEvent(GraphEvent::EC_ERRORABORT);
    sys.LastGraph()->QueueEvent(77); // ignored
    QCoreApplication::processEvents();
    EXPECT_EQ(aborted.count(), 1);
    EXPECT_FALSE(sys.Calls().contains("Stop"));
    EXPECT_TRUE(sys.Calls().contains("FreeEventParams:77"));
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, DeviceLostWithoutWantPreviewStaysStopped)
{
    cap->ApplyConfig(PreviewConfig());
    cap->WantPreview = false;
    sys.LastGraph()->QueueEvent(GraphEvent::EC_DEVICE_LOST);
    QCoreApplication::processEvents();
    EXPECT_FALSE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, EventsArrivingAfterTheComponentIsGoneAreHarmless)
{
    cap->ApplyConfig(PreviewConfig());
    const auto graph = sys.LastGraph();
    graph->QueueEvent(GraphEvent::EC_DEVICE_LOST);
    cap.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(graph->Running());
}

// ---- Failures: the message, its code, and what is left afterwards.

TEST_F(VideoCaptureGraph, MissingDeviceNamedInConfigShowsCodeZeroAndNoPreview)
{
    TGraphConfig c = PreviewConfig();
    c.VCapSource = "Unplugged";
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{NoDevice});
    ExpectNothingRunning();
    EXPECT_FALSE(cap->StartPreview()); // filters were released: nothing to build
    EXPECT_EQ(Errors().size(), 1);
}

TEST_F(VideoCaptureGraph, BindingFailureShowsItsCode)
{
    sys.Fail("BindToFilter:Cam", qint32(0x80070005u));
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), QStringList{QString(NoDevice).replace("Error 0.", "Error 80070005.")});
    ExpectNothingRunning();
}

TEST_F(VideoCaptureGraph, BuilderThatCannotBeMadeStopsBeforeAnyDevice)
{
    sys.Fail("CreateCaptureGraphBuilder");
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(),
              QStringList{"Can't init graph builder. Probably DirectShow is not installed!"});
    EXPECT_FALSE(sys.Calls().contains("BindToFilter:Cam"));
    ExpectNothingRunning();
}

// Fatal steps of making the filters: one box each, all filters released (no graph left).
struct TFilterFailure
{
    const char* Key;
    HRESULT Code;
    const char* Message;
};

void PrintTo(const TFilterFailure& f, std::ostream* os)
{
    *os << f.Key;
}

class VideoCaptureFilterFailure : public VideoCaptureGraph,
                                  public ::testing::WithParamInterface<TFilterFailure>
{};

TEST_P(VideoCaptureFilterFailure, ShowsItsMessageAndReleasesEverything)
{
    sys.Fail(GetParam().Key, GetParam().Code);
    TGraphConfig c = PreviewConfig();
    c.WantAudio = true;
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{GetParam().Message});
    ExpectNothingRunning();
    sys.Heal(GetParam().Key);
    EXPECT_FALSE(cap->BuildGraph()); // no graph survives
    EXPECT_TRUE(cap->StartPreview() == false);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, VideoCaptureFilterFailure,
    ::testing::Values(TFilterFailure{"CreateFilterGraph", Hr::E_FAIL,
                                     "Can't init graph. Probably DirectShow is not installed!"},
                      TFilterFailure{"SetFiltergraph", Hr::E_FAIL, "Can't set filter graph!"},
                      TFilterFailure{"AddFilter:video", qint32(0x8004022Au),
                                     "Error 8004022A: Can't add video capture filter into graph!"},
                      TFilterFailure{
                          "AddFilter:audio", Hr::E_FAIL,
                          "Error 80004005: Can't add audio capture filter into graph!"}));

TEST_F(VideoCaptureGraph, NoVideoStreamConfigIsReportedButPreviewRuns)
{
    sys.Fail("FindStreamConfig:video", Hr::E_NOINTERFACE);
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), QStringList{"Error 80004002: Can't find VCapture:IAMStreamConfig!"});
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, UnbindableMicrophoneStopsTheBuildSilentlyAfterOneBox)
{
    sys.Fail("BindToFilter:Mic");
    TGraphConfig c = PreviewConfig();
    c.WantAudio = true;
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{"Can't create audio capture filter!"});
    ExpectNothingRunning();
    EXPECT_EQ(GraphFilters(), QStringList{"Cam"}); // filters stay, nothing was built
}

TEST_F(VideoCaptureGraph, NoAudioStreamConfigIsReportedButPreviewRuns)
{
    sys.Fail("FindStreamConfig:audio");
    TGraphConfig c = PreviewConfig();
    c.WantAudio = true;
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{"Can't find ACapture:IAMStreamConfig!"});
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, CaptureFileNameRequiredEveryTime)
{
    TGraphConfig c = FullConfig();
    c.CaptureFileName.clear();
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{"Capture filename required!"});
    EXPECT_FALSE(cap->StartPreview());
    EXPECT_FALSE(cap->StartPreview());
    EXPECT_EQ(Errors(), QStringList(3, "Capture filename required!"));
    ExpectNothingRunning();
}

TEST_F(VideoCaptureGraph, PreallocationFailureStopsTheBuild)
{
    sys.Fail("AllocCapFile");
    TGraphConfig c = FullConfig();
    c.DoPreallocFile = true;
    cap->ApplyConfig(c);
    EXPECT_EQ(Errors(), QStringList{"Can't allocate space for capture file! Disk full?"});
    ExpectNothingRunning();
}

// Fatal steps of building: one box each, the graph torn down to its sources, filters kept.
struct TBuildFailure
{
    const char* Key;
    const char* Message;
};

void PrintTo(const TBuildFailure& f, std::ostream* os)
{
    *os << f.Key;
}

class VideoCaptureBuildFailure : public VideoCaptureGraph,
                                 public ::testing::WithParamInterface<TBuildFailure>
{};

TEST_P(VideoCaptureBuildFailure, ShowsItsMessageAndTearsTheGraphDown)
{
    sys.Fail(GetParam().Key);
    cap->ApplyConfig(FullConfig());
    EXPECT_EQ(Errors(), QStringList{GetParam().Message});
    ExpectNothingRunning();
    EXPECT_EQ(GraphFilters(), (QStringList{"Cam", "Mic"}));
    for (const auto& pin : sys.LastGraph()->Find("Cam")->FakePins())
        EXPECT_FALSE(pin->Peer());

    // The filters survive: once the fault is gone the same component builds.
    sys.Heal(GetParam().Key);
    EXPECT_TRUE(cap->StartPreview()) << Errors().join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, VideoCaptureBuildFailure,
    ::testing::Values(
        TBuildFailure{"CreateFilter:SmartTee", "Can't add SmartTee"},
        TBuildFailure{"AddFilter:MySmartTee", "Can't add SmartTee"},
        TBuildFailure{"RenderStream:MySmartTee", "Can't add SmartTee"},
        TBuildFailure{"RenderStream:MyInfTee", "Can't add InfiniteTee"},
        TBuildFailure{"RenderStream:AudioRenderer", "Can't render audio preview stream!"},
        TBuildFailure{"SetOutputFileName", "Can't set capture file!"},
        TBuildFailure{"RenderStream:AviMux:video", "Can't render video capture stream!"},
        TBuildFailure{"RenderStream:AviMux:audio", "Can't render audio capture stream!"},
        TBuildFailure{"RenderStream:VideoRenderer", "Can't render preview stream!"}));

TEST_F(VideoCaptureGraph, MasterStreamRefusedIsOnlyReported)
{
    sys.Fail("SetMasterStream");
    cap->ApplyConfig(FullConfig());
    EXPECT_EQ(Errors(), QStringList{"SetMasterStream failed!"});
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, GraphWithoutVideoWindowCannotPreviewButRuns)
{
    sys.Fail("QueryVideoWindow");
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), QStringList{"This graph cannot preview!"});
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureGraph, RunFailureStopsTheGraphAndReportsTheCode)
{
    sys.Fail("Run", qint32(0x8007001Fu));
    cap->ApplyConfig(PreviewConfig());
    EXPECT_EQ(Errors(), QStringList{"Error 8007001F: Cannot run preview graph!"});
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(sys.Calls().last(), "Stop");
    EXPECT_TRUE(cap->GraphBuilt());
}

TEST_F(VideoCaptureGraph, StopFailureKeepsPreviewing)
{
    cap->ApplyConfig(PreviewConfig());
    sys.Fail("Stop");
    QSignalSpy stopped(cap.get(), &TVideoCapture::OnStopPreview);
    EXPECT_FALSE(cap->StopPreview());
    EXPECT_EQ(Errors(), QStringList{"Error 80004005: Cannot stop preview graph!"});
    EXPECT_TRUE(cap->Previewing());
    EXPECT_EQ(stopped.count(), 0);
    sys.Heal("Stop");
}

} // namespace
