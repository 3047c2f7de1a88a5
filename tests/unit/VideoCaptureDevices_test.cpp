// Device lists, configuration round trips and capture modes of the capture component, against
// the fake capture system.

#include "capture/TDeviceLists.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeCaptureSystem.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeGraph.h"
#include "platform/paths/TProgramFolder.h"
#include "tests/support/TScriptedUi.h"
#include "tests/unit/GraphConfigTestPrint.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace CaptureGuids;

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// ---- Device lists

class VideoCaptureDeviceLists : public ::testing::Test
{
protected:
    TFakeCaptureSystem sys;
    TDeviceLists lists{sys};
};

TEST_F(VideoCaptureDeviceLists, SameNamesGetNumberedAndBlankNamesAreSkipped)
{
    for (const char* name : {"Cam", "Cam", "  ", "", "Other", "Cam", "cam"})
        sys.AddDevice(TDeviceCategory::VideoInput, name);
    EXPECT_EQ(lists.VideoCaptureDeviceNames(true),
              (QStringList{"Cam", "Cam (2)", "Other", "Cam (3)", "cam"}));
    const auto& list = lists.List(TDeviceCategory::VideoInput);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[1].FriendlyName, "Cam");
    EXPECT_NE(list[0].Moniker, list[1].Moniker);
}

TEST_F(VideoCaptureDeviceLists, NamesKeepTheirBlanksButOnlyTrimmedBlanksAreDropped)
{
    sys.AddDevice(TDeviceCategory::AudioInput, " Mic ");
    sys.AddDevice(TDeviceCategory::AudioInput, "\t");
    EXPECT_EQ(lists.AudioCaptureDeviceNames(false), QStringList{" Mic "});
}

TEST_F(VideoCaptureDeviceLists, UnreadableNamesAndFailedEnumerationsLeaveThemOut)
{
    sys.AddDevice(TDeviceCategory::VideoInput, "Broken");
    sys.AddDevice(TDeviceCategory::VideoInput, "Good");
    sys.Fail("ReadFriendlyName:Broken");
    EXPECT_EQ(lists.VideoCaptureDeviceNames(true), QStringList{"Good"});
    sys.Fail("EnumerateDevices:video");
    EXPECT_TRUE(lists.VideoCaptureDeviceNames(true).isEmpty());
    EXPECT_TRUE(lists.VideoCompressorNames(true).isEmpty()); // S_FALSE: empty category
}

TEST_F(VideoCaptureDeviceLists, RefreshEnumeratesAllFourInOrder)
{
    lists.RefreshDeviceLists();
    EXPECT_EQ(sys.Calls(), (QStringList{"EnumerateDevices:video", "EnumerateDevices:audio",
                                        "EnumerateDevices:vcomp", "EnumerateDevices:acomp"}));
}

TEST_F(VideoCaptureDeviceLists, NamesEnumerateOnlyWhenAskedOrEmpty)
{
    sys.AddDevice(TDeviceCategory::VideoCompressor, "Codec");
    EXPECT_EQ(lists.VideoCompressorNames(false), QStringList{"Codec"});
    sys.AddDevice(TDeviceCategory::VideoCompressor, "Late");
    EXPECT_EQ(lists.VideoCompressorNames(false), QStringList{"Codec"});
    EXPECT_EQ(lists.VideoCompressorNames(true), (QStringList{"Codec", "Late"}));
    EXPECT_EQ(sys.Calls().count("EnumerateDevices:vcomp"), 2);
    EXPECT_TRUE(lists.AudioCompressorNames(false).isEmpty());
}

TEST_F(VideoCaptureDeviceLists, LookupsByDisplayNameAndByHandle)
{
    sys.AddDevice(TDeviceCategory::VideoInput, "Cam");
    sys.AddDevice(TDeviceCategory::VideoInput, "Cam");
    lists.RefreshDeviceLists();
    const auto& list = lists.List(TDeviceCategory::VideoInput);
    EXPECT_EQ(lists.FindByName(TDeviceCategory::VideoInput, "Cam (2)"), list[1].Moniker);
    EXPECT_EQ(lists.FindByName(TDeviceCategory::VideoInput, "cam"), nullptr);
    EXPECT_EQ(lists.FindByName(TDeviceCategory::AudioInput, "Cam"), nullptr);
    EXPECT_EQ(lists.FindByMoniker(TDeviceCategory::VideoInput, list[1].Moniker), "Cam (2)");
    EXPECT_EQ(lists.FindByMoniker(TDeviceCategory::AudioInput, list[1].Moniker), "");
    EXPECT_EQ(lists.FindByMoniker(TDeviceCategory::VideoInput, nullptr), "");
    lists.ClearDeviceLists();
    EXPECT_TRUE(lists.List(TDeviceCategory::VideoInput).empty());
}

// ---- The component with devices

class VideoCaptureDevices : public ::testing::Test
{
protected:
    QTemporaryDir folder;
    TFakeCaptureSystem sys;
    TScriptedUiScope script;
    std::shared_ptr<TFakeDevice> cam;
    std::shared_ptr<TFakeDevice> mic;
    std::shared_ptr<TFakeDevice> codec;
    std::unique_ptr<TVideoCapture> cap;

    void SetUp() override
    {
        TProgramFolder::OverrideForTesting(folder.path());
        sys.AddDevice(TDeviceCategory::VideoInput, "Cam");
        cam = sys.AddDevice(
            TDeviceCategory::VideoInput, "Cam",
            {TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_RGB24, 640, 480, 24, 30, 5, 60),
             TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_YUY2, 320, 240, 16, 15),
             TFakeCaptureSystem::VideoMode(MEDIASUBTYPE_YUY2, 640, 480, 16, 30)});
        mic = sys.AddDevice(
            TDeviceCategory::AudioInput, "Mic",
            {TFakeCaptureSystem::AudioMode(MEDIASUBTYPE_PCM, 44100, 16, 2),
             TFakeCaptureSystem::AudioMode(MEDIASUBTYPE_PCM, 22050, 16, 1, 12345),
             TFakeCaptureSystem::AudioMode(CaptureGuids::FromFourCC("MP3 "), 22050, 0, 1, 4000),
             TFakeCaptureSystem::AudioMode(CaptureGuids::FromFourCC("MP3 "), 22050, 0, 1, 8000)});
        codec = sys.AddDevice(TDeviceCategory::VideoCompressor, "Codec");
        codec->CompressDialogs = true;
        sys.AddDevice(TDeviceCategory::AudioCompressor, "ACodec");
        cap = std::make_unique<TVideoCapture>(sys);
        ASSERT_TRUE(cap->Initialize());
    }
    void TearDown() override
    {
        cap.reset();
        TProgramFolder::OverrideForTesting(QString());
    }

    static TGraphConfig Config()
    {
        TGraphConfig c;
        c.VCapSource = "Cam (2)";
        c.ACapSource = "Mic";
        c.WantPreview = true;
        c.WantBitmaps = true;
        c.WantAudio = true;
        c.WantAudioPreview = false;
        return c;
    }
    QStringList Errors() const { return script.ui.Texts("error"); }
};

TEST_F(VideoCaptureDevices, InitializeNeedsAVideoDeviceAndAGraph)
{
    TFakeCaptureSystem empty;
    TVideoCapture none(empty);
    EXPECT_FALSE(none.Initialize());

    TFakeCaptureSystem broken;
    broken.AddDevice(TDeviceCategory::VideoInput, "Cam");
    broken.Fail("CreateFilterGraph");
    TVideoCapture noGraph(broken);
    EXPECT_FALSE(noGraph.Initialize());
    EXPECT_FALSE(broken.Calls().contains("EnumerateDevices:video"));
}

TEST_F(VideoCaptureDevices, ConfigSelectsTheSecondOfTwoSameNamedCameras)
{
    cap->ApplyConfig(Config());
    ASSERT_TRUE(cap->Previewing()) << Errors().join('|').toStdString();
    EXPECT_EQ(cap->VideoDeviceName(), "Cam");
    EXPECT_EQ(cap->AudioDeviceName(), "Mic");
    EXPECT_TRUE(sys.LastGraph()->Find("Cam")->Device() == cam);
}

TEST_F(VideoCaptureDevices, ReadConfigGivesBackWhatApplyConfigTook)
{
    TGraphConfig c = Config();
    c.WantCapture = true;
    c.VComp = "Codec";
    c.AComp = "ACodec";
    c.VCompState = QByteArray("\x01\x02state", 7);
    c.UseTempFile = true;
    c.TempCaptureFileName = "t.avi";
    c.CaptureFileName = "c.avi";
    c.DoPreallocFile = false;
    c.PreallocFileSize = 7;
    c.PixelFormat = TPixelFormat::pf15bit;
    c.DVResolution = TDVResolution::dvrHalf;
    c.WantDVAudio = true;
    c.VCapMode = {MEDIATYPE_Video, MEDIASUBTYPE_YUY2, 320, 240, 16, 0, 0, 0};
    c.ACapMode = {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 22050, 16, 1, 12345};
    // No audio compressor modes: "ACodec" has no format of its own to read.
    sys.Fail("FindStreamConfig:audio:ACodec");
    cap->ApplyConfig(c);
    EXPECT_EQ(codec->CompressState, c.VCompState);
    EXPECT_EQ(cam->CurrentFormat().subtype, MEDIASUBTYPE_YUY2);

    TGraphConfig back;
    back.LoadFromString("VCapSource=leftover");
    cap->ReadConfig(back);
    // The audio mode is read from the compressor's config, which is absent here.
    EXPECT_EQ(back.ACapMode, TACapMode{});
    back.ACapMode = c.ACapMode;
    EXPECT_EQ(back, c);
}

TEST_F(VideoCaptureDevices, ReadConfigLooksAgainWhenTheListLostTheDevice)
{
    cap->ApplyConfig(Config());
    cap->DeviceLists().ClearDeviceLists();
    TGraphConfig back;
    cap->ReadConfig(back);
    EXPECT_EQ(back.VCapSource, "Cam (2)");
    EXPECT_EQ(back.ACapSource, "Mic");
    EXPECT_EQ(back.VComp, "");

    sys.RemoveDevice(mic);
    cap->DeviceLists().ClearDeviceLists();
    cap->ReadConfig(back);
    EXPECT_EQ(back.ACapSource, "");
}

TEST_F(VideoCaptureDevices, ApplyConfigAnnouncesDeviceThenCompressor)
{
    QStringList order;
    QObject::connect(cap.get(), &TVideoCapture::OnChangeDevice, [&] { order << "device"; });
    QObject::connect(cap.get(), &TVideoCapture::OnChangeCompressor, [&] { order << "compressor"; });
    cap->ApplyConfig(Config());
    EXPECT_EQ(order, (QStringList{"device", "compressor"}));
}

// ---- Capture modes

TEST(VideoCaptureModeMatch, PcmComparesRateAndSizeOthersRateAndByteRate)
{
    const TACapMode pcm{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 44100, 16, 2, 176400};
    TACapMode other = pcm;
    other.AvgSampleRate = 1;
    other.MediaType = TGuid{};
    EXPECT_TRUE(TVideoCapture::ACapModesMatch(pcm, other));
    other.SampleSize = 8;
    EXPECT_FALSE(TVideoCapture::ACapModesMatch(pcm, other));
    other = pcm;
    other.Channels = 1;
    EXPECT_FALSE(TVideoCapture::ACapModesMatch(pcm, other));

    const TGuid mp3 = CaptureGuids::FromFourCC("MP3 ");
    const TACapMode packed{MEDIATYPE_Audio, mp3, 22050, 0, 1, 4000};
    TACapMode same = packed;
    same.SampleSize = 16;
    EXPECT_TRUE(TVideoCapture::ACapModesMatch(packed, same));
    same.AvgSampleRate = 8000;
    EXPECT_FALSE(TVideoCapture::ACapModesMatch(packed, same));
    same = packed;
    same.MediaSubType = MEDIASUBTYPE_PCM;
    EXPECT_FALSE(TVideoCapture::ACapModesMatch(packed, same));
}

TEST(VideoCaptureModeMatch, VideoComparesSubtypeAndSizeOnly)
{
    const TVCapMode a{MEDIATYPE_Video, MEDIASUBTYPE_YUY2, 320, 240, 16, 30, 5, 60};
    TVCapMode b{TGuid{}, MEDIASUBTYPE_YUY2, 320, 240, 16, 0, 0, 0};
    EXPECT_TRUE(TVideoCapture::VCapModesMatch(a, b));
    for (auto change : {&TVCapMode::Width, &TVCapMode::Height, &TVCapMode::Bits}) {
        TVCapMode c = b;
        c.*change += 1;
        EXPECT_FALSE(TVideoCapture::VCapModesMatch(a, c));
    }
    b.MediaSubType = TGuid{};
    EXPECT_FALSE(TVideoCapture::VCapModesMatch(a, b));
}

TEST_F(VideoCaptureDevices, ModesListedWithTheirRates)
{
    cap->ApplyConfig(Config());
    ASSERT_EQ(cap->GetVCapModeCount(), 3);
    TVCapMode mode;
    cap->GetVCapMode(0, mode);
    EXPECT_EQ(mode.MediaSubType, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(mode.MediaType, MEDIATYPE_Video);
    EXPECT_EQ(QSize(mode.Width, mode.Height), QSize(640, 480));
    EXPECT_EQ(mode.Bits, 24);
    EXPECT_NEAR(mode.FrameRate, 30, 0.001);
    EXPECT_NEAR(mode.MinFrameRate, 5, 0.001);
    EXPECT_NEAR(mode.MaxFrameRate, 60, 0.001);
    cap->GetVCapMode(3, mode);
    EXPECT_EQ(mode, TVCapMode{});
    cap->GetVCapMode(-1, mode);
    EXPECT_EQ(mode, TVCapMode{});
    cap->GetCurrentVCapMode(mode);
    EXPECT_EQ(mode.FrameRate, 0);
    EXPECT_EQ(mode.Width, 640);

    ASSERT_EQ(cap->GetACapModeCount(), 4);
    TACapMode audio;
    cap->GetACapMode(1, audio);
    EXPECT_EQ(audio, (TACapMode{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 22050, 16, 1, 12345}));
    cap->GetACapMode(4, audio);
    EXPECT_EQ(audio, TACapMode{});
    EXPECT_FALSE(cap->SetACapMode(4));
    EXPECT_FALSE(cap->SetVCapMode(-1));
}

TEST_F(VideoCaptureDevices, SettingAVideoModeByValueTearsDownAndAnnounces)
{
    cap->ApplyConfig(Config());
    QSignalSpy changed(cap.get(), &TVideoCapture::OnChangeVCapMode);
    const TVCapMode wanted{TGuid{}, MEDIASUBTYPE_YUY2, 640, 480, 16, 0, 0, 0};
    EXPECT_TRUE(cap->SetVCapModeByValue(wanted));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(cap->GraphBuilt());
    EXPECT_EQ(cam->CurrentFormat(), cam->Modes[2].Type);
}

TEST_F(VideoCaptureDevices, CurrentVideoModeMatchesWithoutSettingAnything)
{
    cap->ApplyConfig(Config());
    sys.ClearCalls();
    EXPECT_TRUE(cap->SetVCapModeByValue({TGuid{}, MEDIASUBTYPE_RGB24, 640, 480, 24, 0, 0, 0}));
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_FALSE(sys.Calls().contains("SetFormat:Cam"));
}

TEST_F(VideoCaptureDevices, ZeroSubtypeNeverMatchesAndNothingIsTornDown)
{
    cap->ApplyConfig(Config());
    sys.ClearCalls();
    EXPECT_FALSE(cap->SetVCapModeByValue({TGuid{}, TGuid{}, 320, 240, 16, 0, 0, 0}));
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_TRUE(cap->Previewing());
    EXPECT_TRUE(sys.Calls().isEmpty()) << sys.Calls().join(' ').toStdString();
    EXPECT_EQ(cam->CurrentFormat(), cam->Modes[0].Type);
}

TEST_F(VideoCaptureDevices, PcmModeMatchesDespiteADifferentByteRateAndRestartsPreview)
{
    cap->ApplyConfig(Config());
    QSignalSpy changed(cap.get(), &TVideoCapture::OnChangeACapMode);
    sys.ClearCalls();
    EXPECT_TRUE(cap->SetACapModeByValue({TGuid{}, MEDIASUBTYPE_PCM, 22050, 16, 1, 44100}));
    EXPECT_EQ(mic->CurrentFormat(), mic->Modes[1].Type);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(sys.Calls(), (QStringList{"Stop", "SetFormat:Mic", "Run"}));
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureDevices, NonPcmModeNeedsTheSameByteRate)
{
    cap->ApplyConfig(Config());
    const TGuid mp3 = CaptureGuids::FromFourCC("MP3 ");
    EXPECT_TRUE(cap->SetACapModeByValue({TGuid{}, mp3, 22050, 16, 1, 8000}));
    EXPECT_EQ(mic->CurrentFormat(), mic->Modes[3].Type);
    EXPECT_FALSE(cap->SetACapModeByValue({TGuid{}, mp3, 22050, 0, 1, 6000}));
    EXPECT_EQ(mic->CurrentFormat(), mic->Modes[3].Type);
}

TEST_F(VideoCaptureDevices, RefusedAudioFormatIsFalseAndSilent)
{
    cap->ApplyConfig(Config());
    sys.Fail("SetFormat:Mic");
    QSignalSpy changed(cap.get(), &TVideoCapture::OnChangeACapMode);
    EXPECT_FALSE(cap->SetACapMode(1));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_TRUE(cap->Previewing());
}

TEST_F(VideoCaptureDevices, WithoutStreamConfigsCountsAreZero)
{
    TVideoCapture bare(sys);
    EXPECT_EQ(bare.GetVCapModeCount(), 0);
    EXPECT_EQ(bare.GetACapModeCount(), 0);
    TVCapMode mode{MEDIATYPE_Video, MEDIASUBTYPE_RGB24, 1, 1, 1, 1, 1, 1};
    bare.GetCurrentVCapMode(mode);
    EXPECT_EQ(mode, TVCapMode{});
}

// ---- DV cameras

class VideoCaptureDV : public VideoCaptureDevices
{
protected:
    void SetUp() override
    {
        VideoCaptureDevices::SetUp();
        sys.AddDevice(TDeviceCategory::VideoInput, "DV", {TFakeCaptureSystem::DVMode()});
        dv = Config();
        dv.VCapSource = "DV";
        dv.ACapSource.clear();
        dv.WantDVAudio = true;
    }
    TGraphConfig dv;
};

TEST_F(VideoCaptureDV, DecoderSizeComesFromTheTable)
{
    dv.DVResolution = TDVResolution::dvrHalf;
    cap->ApplyConfig(dv);
    ASSERT_TRUE(cap->Previewing()) << Errors().join('|').toStdString();
    EXPECT_TRUE(cap->IsDV());
    EXPECT_TRUE(sys.Calls().contains("put_IPDisplay:1001"));
    for (const char* name : {"MyDVDecoder", "MyDVSplitter"})
        EXPECT_TRUE(sys.LastGraph()->FilterNames().contains(name)) << name;
    EXPECT_EQ(cap->GetVCapModeCount(), 4);
    TVCapMode mode;
    cap->GetCurrentVCapMode(mode);
    EXPECT_EQ(mode, (TVCapMode{TGuid{}, TGuid{}, 360, 288, 24, 0, 0, 0}));
    cap->GetVCapMode(3, mode);
    EXPECT_EQ(mode, (TVCapMode{TGuid{}, TGuid{}, 88, 72, 24, 0, 0, 0}));
    cap->GetVCapMode(4, mode);
    EXPECT_EQ(mode, TVCapMode{});
}

TEST_F(VideoCaptureDV, StoredModeSelectsTheResolutionButAnswersFalse)
{
    cap->ApplyConfig(dv);
    EXPECT_FALSE(cap->SetVCapModeByValue({TGuid{}, TGuid{}, 360, 288, 24, 0, 0, 0}));
    EXPECT_EQ(cap->DVResolution(), TDVResolution::dvrHalf);
    EXPECT_FALSE(cap->GraphBuilt());
}

TEST_F(VideoCaptureDV, ResolutionSetterTearsDownAndTellsTheDecoder)
{
    cap->ApplyConfig(dv);
    ASSERT_TRUE(cap->GraphBuilt());
    sys.ClearCalls();
    cap->SetDVResolution(TDVResolution::dvrQuater);
    EXPECT_FALSE(cap->GraphBuilt());
    EXPECT_EQ(sys.Calls().last(), "put_IPDisplay:1002");
    EXPECT_TRUE(cap->StartPreview());
    TVCapMode mode;
    cap->GetCurrentVCapMode(mode);
    EXPECT_EQ(QSize(mode.Width, mode.Height), QSize(180, 144));

    sys.ClearCalls();
    cap->SetDVResolution(TDVResolution::dvrDontWorry);
    EXPECT_TRUE(cap->GraphBuilt());
    EXPECT_TRUE(sys.Calls().isEmpty());
}

TEST_F(VideoCaptureDV, DecoderThatCannotBeMadeIsFatal)
{
    sys.Fail("CreateFilter:DVVideoCodec");
    cap->ApplyConfig(dv);
    EXPECT_EQ(Errors(), QStringList{"Can't add DV Decoder"});
    EXPECT_FALSE(cap->Previewing());
}

TEST_F(VideoCaptureDV, SplitterThatCannotBeMadeIsFatal)
{
    sys.Fail("CreateFilter:DVSplitter");
    cap->ApplyConfig(dv);
    EXPECT_EQ(Errors(), QStringList{"Can't add DV Splitter"});
    EXPECT_FALSE(cap->Previewing());
}

TEST_F(VideoCaptureDV, RenderingTheDVStreamFailing)
{
    sys.Fail("RenderStream:MyDVDecoder");
    cap->ApplyConfig(dv);
    EXPECT_EQ(Errors(), QStringList{"Can't render video capture stream!"});
    EXPECT_FALSE(cap->GraphBuilt());
    EXPECT_EQ(sys.LastGraph()->FilterNames(), QStringList{"DV"});
}

} // namespace
