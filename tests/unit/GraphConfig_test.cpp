#include "GraphConfigTestPrint.h"

#include "capture/TGraphConfig.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// {E436EB7D-524F-11CE-9F53-0020AF0BA770} (RGB24) and {00000001-0000-0010-8000-00AA00389B71} (PCM).
const TGuid Rgb24{0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const TGuid Pcm{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

TGraphConfig Loaded(const QString& text)
{
    TGraphConfig config;
    config.LoadFromString(text);
    return config;
}

// Every stored field away from its default.
TGraphConfig Unusual()
{
    TGraphConfig c;
    c.VCapSource = QStringLiteral("USB Camera (2)");
    c.ACapSource = QStringLiteral("Mic \"Front\", left");
    c.VComp = QStringLiteral("MJPEG\tcodec");
    c.AComp = QStringLiteral("a=b");
    c.ACapMode = {{}, Pcm, 44100, 16, 2, 176400};
    c.VCapMode = {{}, Rgb24, 640, -480, 24, 0, 0, 0};
    for (int i = 0; i < 256; ++i)
        c.VCompState.append(static_cast<char>(i));
    c.WantCapture = c.WantPreview = c.WantBitmaps = c.WantAudio = c.WantDVAudio = true;
    c.WantAudioPreview = false;
    c.PixelFormat = TPixelFormat::pfCustom;
    c.DVResolution = TDVResolution::dvrDC;
    c.CaptureFileName = QStringLiteral("/home/me/my videos/out.avi");
    c.UseTempFile = c.DoPreallocFile = true;
    c.TempCaptureFileName = QStringLiteral("tmp.avi");
    c.PreallocFileSize = std::numeric_limits<quint32>::max();
    return c;
}

void ExpectStoredDefaults(const TGraphConfig& c)
{
    EXPECT_TRUE(c.VCapSource.isEmpty() && c.ACapSource.isEmpty());
    EXPECT_TRUE(c.VComp.isEmpty() && c.AComp.isEmpty());
    EXPECT_EQ(c.ACapMode, TACapMode{});
    EXPECT_EQ(c.VCapMode, TVCapMode{});
    EXPECT_EQ(c.PixelFormat, TPixelFormat::pf24bit);
    EXPECT_EQ(c.DVResolution, TDVResolution::dvrFull);
    EXPECT_EQ(c.CaptureFileName, QStringLiteral("capture.avi"));
    EXPECT_EQ(c.TempCaptureFileName, QStringLiteral("captemp.avi"));
    EXPECT_EQ(c.PreallocFileSize, 0u);
}

} // namespace

TEST(GraphConfig, CreateGivesDefaultsAndClearKeepsCompressorState)
{
    TGraphConfig fresh;
    ExpectStoredDefaults(fresh);
    EXPECT_FALSE(fresh.WantCapture || fresh.WantPreview || fresh.WantBitmaps || fresh.WantAudio ||
                 fresh.WantDVAudio || fresh.UseTempFile || fresh.DoPreallocFile);
    EXPECT_TRUE(fresh.WantAudioPreview);

    TGraphConfig c = Unusual();
    c.Clear();
    EXPECT_EQ(c.VCompState, Unusual().VCompState);
    c.VCompState.clear();
    EXPECT_EQ(c, fresh);
}

TEST(GraphConfig, SavesTheMainWindowsDefaultLine)
{
    TGraphConfig c;
    c.WantPreview = c.WantBitmaps = true;
    c.WantAudioPreview = false;
    c.DVResolution = TDVResolution::dvrDontWorry;
    c.PreallocFileSize = 1;
    const QString expected = QStringLiteral(
        "WantCapture=0,WantDVAudio=0,WantAudio=0,WantAudioPreview=0,DoPreallocFile=0,"
        "UseTempFile=0,PreallocFileSize=1,TempCaptureFileName=captemp.avi,"
        "CaptureFileName=capture.avi,DVResolution=0,PixelFormat=6,VCapSource=,ACapSource=,"
        "AComp=,VComp=,ACapModeMediaSubType=00000000000000000000000000000000,"
        "ACapModeSampleRate=0,ACapModeAvgSampleRate=0,ACapModeSampleSize=0,ACapModeChannels=0,"
        "VCapModeMediaSubType=00000000000000000000000000000000,VCapModeWidth=0,"
        "VCapModeHeight=0,VCapModeBits=0,VCompState=");
    EXPECT_EQ(c.SaveToString(), expected);
    EXPECT_EQ(Loaded(expected), c);
}

TEST(GraphConfig, RoundTripsEveryStoredField)
{
    TGraphConfig c = Unusual();
    const QString text = c.SaveToString();
    // Items with blanks, quotes or commas are quoted whole, key included.
    for (const char* part :
         {",\"VCapSource=USB Camera (2)\",", ",\"ACapSource=Mic \"\"Front\"\", left\",",
          ",AComp=a=b,", ",VCapModeMediaSubType=7DEB36E44F52CE119F530020AF0BA770,",
          ",ACapModeMediaSubType=0100000000001000800000AA00389B71,",
          ",PreallocFileSize=4294967295,", ",VCompState=000102030405"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    EXPECT_TRUE(text.endsWith(QStringLiteral("FCFDFEFF")));
    EXPECT_EQ(Loaded(text), c);

    // Major types and frame rates are not stored.
    c.ACapMode.MediaType = Pcm;
    c.VCapMode.MediaType = Rgb24;
    c.VCapMode.FrameRate = c.VCapMode.MinFrameRate = c.VCapMode.MaxFrameRate = 30;
    EXPECT_EQ(c.SaveToString(), text);
}

TEST(GraphConfig, TrueBooleansAreNotWrittenAndMissingOnesReadTrue)
{
    TGraphConfig c;
    c.WantCapture = c.WantPreview = c.WantBitmaps = c.WantAudio = c.WantDVAudio = true;
    c.UseTempFile = c.DoPreallocFile = true;
    const QString text = c.SaveToString();
    EXPECT_TRUE(text.startsWith(QStringLiteral("PreallocFileSize=0,"))) << text.toStdString();
    EXPECT_EQ(Loaded(text), c);

    c = Unusual();
    c.LoadFromString(QString());
    ExpectStoredDefaults(c);
    EXPECT_TRUE(c.WantCapture && c.WantPreview && c.WantBitmaps && c.WantAudio && c.WantDVAudio &&
                c.WantAudioPreview && c.UseTempFile && c.DoPreallocFile);
    EXPECT_TRUE(c.VCompState.isEmpty()); // loading replaces the state, unlike Clear
}

TEST(GraphConfig, BooleanValues)
{
    for (const char* off : {"WantPreview=-3", "WantPreview=0", "wantPREVIEW=0", "WantPreview=-0"})
        EXPECT_FALSE(Loaded(QLatin1String(off)).WantPreview) << off;
    for (const char* on : {"WantPreview=2", "WantPreview=no", "WantPreview=", "WantPreview=0x0",
                           "WantPreview=99999999999", "WantPreview=1,WantPreview=0"})
        EXPECT_TRUE(Loaded(QLatin1String(on)).WantPreview) << on;
    const TGraphConfig c = Loaded(QStringLiteral("WantDVAudio=0"));
    EXPECT_TRUE(!c.WantDVAudio && c.WantAudio && c.WantAudioPreview);
}

TEST(GraphConfig, OrdinalsUseTheLowByteAndFallBack)
{
    auto dv = [](const char* v) {
        return int(Loaded(QStringLiteral("DVResolution=") + QLatin1String(v)).DVResolution);
    };
    auto pf = [](const char* v) {
        return int(Loaded(QStringLiteral("PixelFormat=") + QLatin1String(v)).PixelFormat);
    };
    EXPECT_EQ(dv("0"), 0);
    EXPECT_EQ(dv("4"), 4);
    EXPECT_EQ(dv("5"), 1);
    EXPECT_EQ(dv("7"), 1);
    EXPECT_EQ(dv("260"), 4);
    EXPECT_EQ(dv("x"), 1);
    EXPECT_EQ(pf("-1"), 6);
    EXPECT_EQ(pf("8"), 8);
    EXPECT_EQ(pf("9"), 6);
    EXPECT_EQ(pf("256"), 0);
    EXPECT_EQ(pf(""), 6);
}

TEST(GraphConfig, NumbersNamesAndGuidsFallBack)
{
    const TGraphConfig c = Loaded(QStringLiteral(
        "VCapModeWidth=2147483648,VCapModeHeight=-2147483648,VCapModeBits=+24,"
        "ACapModeChannels=2x,PreallocFileSize=-1,TempCaptureFileName=,CaptureFileName=,"
        "ACapModeMediaSubType=0100000000001000800000AA00389B71,"
        "VCapModeMediaSubType=7DEB36E4-4F5,VCompState=A1ZZ33"));
    EXPECT_EQ(c.VCapMode.Width, 0);
    EXPECT_EQ(c.VCapMode.Height, std::numeric_limits<qint32>::min());
    EXPECT_EQ(c.VCapMode.Bits, 24);
    EXPECT_EQ(c.ACapMode.Channels, 0);
    EXPECT_EQ(c.PreallocFileSize, 0u);
    EXPECT_EQ(c.TempCaptureFileName, QStringLiteral("captemp.avi"));
    EXPECT_EQ(c.CaptureFileName, QStringLiteral("capture.avi"));
    EXPECT_EQ(c.ACapMode.MediaSubType, Pcm);
    // A damaged GUID keeps the bytes before the bad pair and is filled up with zeros.
    EXPECT_EQ(c.VCapMode.MediaSubType, (TGuid{0xE436EB7D, 0, 0, {}}));
    EXPECT_EQ(c.VCompState, QByteArray("\xA1\x00\x00", 3));
}

TEST(GraphConfig, BareItemIsCutAtABlank)
{
    const TGraphConfig c = Loaded(QStringLiteral("VCapSource=My Cam,WantPreview=0"));
    EXPECT_EQ(c.VCapSource, QStringLiteral("My"));
    EXPECT_FALSE(c.WantPreview);
    EXPECT_EQ(Loaded(QStringLiteral("\"VCapSource=My Cam\"")).VCapSource, QStringLiteral("My Cam"));
}
