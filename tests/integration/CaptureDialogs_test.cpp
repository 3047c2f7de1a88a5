// The device dialogs on the real GStreamer graph: the test camera's picture controls, its
// formats, and an encoder's properties generated from the element's descriptions.
#include "capture/TGraphConfig.h"
#include "capture/TStreamFormatPage.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "platform/capturegraph/gst/TGstElementSettings.h"
#include "platform/capturegraph/gst/TGstPropertyPage.h"
#include "tests/support/TScriptedUi.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {
using TCap = TVideoCapture;

bool SpinUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

// Mean luminance (0..255) of a frame.
double MeanLuma(const QImage& image)
{
    double sum = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); y += 2)
        for (int x = 0; x < rgb.width(); x += 2) {
            const QRgb p = rgb.pixel(x, y);
            sum += 0.299 * qRed(p) + 0.587 * qGreen(p) + 0.114 * qBlue(p);
        }
    return sum / ((rgb.height() / 2) * (rgb.width() / 2));
}

class CaptureDialogs : public ::testing::Test
{
protected:
    TScriptedUiScope script;
    TGstCaptureSystem system{true};
    std::unique_ptr<TVideoCapture> cap;
    QList<QImage> frames;

    void SetUp() override
    {
        cap = std::make_unique<TVideoCapture>(system);
        cap->resize(264, 209);
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed,
                         [this](const TCapturedBitmap& b) { frames << QImage(b); });
        ASSERT_TRUE(cap->Initialize());
    }

    void Apply(const QString& vcomp = {}, bool capture = false, const QString& file = {},
               const QString& audio = {})
    {
        TGraphConfig config;
        config.ACapSource = audio;
        if (!file.isEmpty())
            config.CaptureFileName = file;
        config.VCapSource = TGstCaptureSystem::TestCameraName;
        config.VComp = vcomp;
        config.WantPreview = true;
        config.WantBitmaps = true;
        config.WantCapture = capture;
        config.WantAudio = !audio.isEmpty();
        config.WantAudioPreview = false;
        config.WantDVAudio = false;
        config.PixelFormat = TPixelFormat::pf24bit;
        cap->ApplyConfig(config);
    }

    // The next few frames grabbed; the first ones after a change may still be old.
    QImage Grab(int skip = 3)
    {
        frames.clear();
        for (int i = 0; i <= skip; ++i) {
            const qsizetype before = frames.size();
            if (!cap->GrabNextFrame() || !SpinUntil([&] { return frames.size() > before; }))
                return {};
        }
        return frames.back();
    }

    bool Offers(TCap::TCaptureDialog dialog) const { return cap->Dialogs() & (1u << dialog); }
};

TEST_F(CaptureDialogs, TheTestCameraOffersItsControlsAndItsFormats)
{
    Apply();
    ASSERT_TRUE(cap->Previewing()) << script.ui.Texts("error").join("; ").toStdString();
    EXPECT_TRUE(Offers(TCap::cdVideoCaptureFilter));
    EXPECT_TRUE(Offers(TCap::cdVideoCapturePin));
    // Nothing this platform cannot show is offered.
    for (auto absent : {TCap::cdVideoFormat, TCap::cdVideoSource, TCap::cdVideoDisplay,
                        TCap::cdVideoCrossbar, TCap::cdTVTuner, TCap::cdAudioCrossbar,
                        TCap::cdTVAudio, TCap::cdVideoPreviewPin, TCap::cdVideoCompressor})
        EXPECT_FALSE(Offers(absent)) << TCap::DialogCaptions()[absent].toStdString();
    EXPECT_FALSE(cap->ShowDialog(TCap::cdTVTuner)) << "a dialog not offered is not shown";
    EXPECT_TRUE(script.ui.propertyFrames.isEmpty());
}

TEST_F(CaptureDialogs, RaisingBrightnessInTheFilterDialogBrightensThePicture)
{
    Apply();
    ASSERT_TRUE(cap->Previewing());
    const QImage before = Grab();
    ASSERT_FALSE(before.isNull());

    script.ui.propertyAnswers.push_back({{"Video Capture Filter", "brightness", 0.4}});
    EXPECT_TRUE(cap->ShowDialog(TCap::cdVideoCaptureFilter));
    ASSERT_EQ(script.ui.propertyFrames.size(), 1);
    EXPECT_EQ(script.ui.propertyFrames[0], QStringList{"Video Capture Filter"});
    const auto& controls = script.ui.propertyControls.value("Video Capture Filter");
    QStringList keys;
    for (const auto& c : controls)
        keys << c.key;
    EXPECT_EQ(keys, (QStringList{"brightness", "contrast", "saturation", "hue"}));
    EXPECT_TRUE(script.ui.refusedProperties.isEmpty());
    EXPECT_TRUE(cap->Previewing()) << "the filter's controls change the running camera";

    const QImage after = Grab();
    ASSERT_FALSE(after.isNull());
    EXPECT_GT(MeanLuma(after), MeanLuma(before) + 40)
        << MeanLuma(before) << " -> " << MeanLuma(after);

    // The setting stays with the camera: a rebuilt graph is still bright.
    Apply();
    const QImage rebuilt = Grab();
    EXPECT_GT(MeanLuma(rebuilt), MeanLuma(before) + 40);

    // Values outside the control's range are refused, not clamped.
    script.ui.propertyAnswers.push_back({{"Video Capture Filter", "brightness", 7.0}});
    cap->ShowDialog(TCap::cdVideoCaptureFilter);
    EXPECT_EQ(script.ui.refusedProperties, QStringList{"Video Capture Filter/brightness"});
}

TEST_F(CaptureDialogs, ThePinDialogListsEveryModeAndChoosingOneChangesTheFrames)
{
    Apply();
    ASSERT_TRUE(cap->Previewing());
    ASSERT_EQ(Grab().size(), QSize(640, 480)) << "the camera's first mode";

    // Find the 320 x 240 entry from what the page offers, then choose it.
    const auto pages = cap->DialogPages(TCap::cdVideoCapturePin);
    ASSERT_EQ(pages.size(), 1u);
    const auto controls = pages[0]->Controls();
    ASSERT_EQ(controls.size(), 1u);
    const auto& menu = controls[0].menu;
    int count = cap->GetVCapModeCount();
    EXPECT_EQ(int(menu.size()), count) << "every mode of the camera is listed";
    EXPECT_EQ(count, 18);
    qint64 small = -1;
    for (const auto& [value, text] : menu)
        if (text.startsWith("320 x 240") && small < 0)
            small = value;
    ASSERT_GE(small, 0);
    EXPECT_EQ(pages[0]->Value(TStreamFormatPage::FormatKey).toLongLong(), 0);

    script.ui.propertyAnswers.push_back(
        {{"Video Capture Pin", TStreamFormatPage::FormatKey, small}});
    EXPECT_TRUE(cap->ShowDialog(TCap::cdVideoCapturePin));
    EXPECT_TRUE(script.ui.refusedProperties.isEmpty());
    EXPECT_TRUE(cap->Previewing()) << "the preview is restarted after the teardown";
    EXPECT_EQ(Grab().size(), QSize(320, 240));
    TVCapMode mode;
    cap->GetCurrentVCapMode(mode);
    EXPECT_EQ(QSize(mode.Width, mode.Height), QSize(320, 240)) << "and the configuration keeps it";

    // A choice beyond the list is refused and changes nothing.
    script.ui.propertyAnswers.push_back({{"Video Capture Pin", TStreamFormatPage::FormatKey, 99}});
    cap->ShowDialog(TCap::cdVideoCapturePin);
    EXPECT_EQ(script.ui.refusedProperties.size(), 1);
    EXPECT_EQ(Grab().size(), QSize(320, 240));
}

TEST_F(CaptureDialogs, TheCompressorDialogListsTheEncodersPropertiesAndChangesReachIt)
{
    // The compressor sits in the capture branch, so it needs an encoder the AVI file takes.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString used;
    for (const QString& name : cap->DeviceLists().VideoCompressorNames(false)) {
        if (name.startsWith("libav") && !name.contains("MPEG-4"))
            continue;
        Apply(name, true, dir.filePath("capture.avi"));
        if (cap->Previewing() && Offers(TCap::cdVideoCompressor)) {
            used = name;
            break;
        }
    }
    if (used.isEmpty())
        GTEST_SKIP() << "no installed video encoder writes into AVI";
    const auto pages = cap->DialogPages(TCap::cdVideoCompressor);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0]->Title(), "Video Compressor");
    const TPropertyControl* number = nullptr;
    const auto controls = pages[0]->Controls();
    for (const auto& c : controls) {
        EXPECT_NE(c.key, "name") << "what every element has is not offered";
        if (!number && c.kind == TPropertyControl::TKind::Integer && c.maximum > c.minimum &&
            c.maximum - c.minimum < 1e9)
            number = &c;
    }
    ASSERT_TRUE(number) << used.toStdString() << " offers no number";
    const qint64 current = pages[0]->Value(number->key).toLongLong();
    const qint64 wanted =
        current == qint64(number->minimum) ? qint64(number->maximum) : qint64(number->minimum);

    script.ui.propertyAnswers.push_back({{"Video Compressor", number->key, wanted}});
    EXPECT_TRUE(cap->ShowDialog(TCap::cdVideoCompressor));
    EXPECT_TRUE(script.ui.refusedProperties.isEmpty())
        << script.ui.refusedProperties.join(",").toStdString();
    EXPECT_TRUE(cap->Previewing());
    // Read back from the encoder of the restarted graph.
    EXPECT_EQ(pages[0]->Value(number->key).toLongLong(), wanted)
        << used.toStdString() << " " << number->key.toStdString();
}

TEST_F(CaptureDialogs, TheSoundSourceOffersVolumeMuteAndItsFormats)
{
    TSoundServer server;
    if (!server.Ready())
        GTEST_SKIP() << "no pulseaudio to run a private sound server";
    QStringList names;
    ASSERT_TRUE(SpinUntil([&] {
        names = cap->DeviceLists().AudioCaptureDeviceNames(true);
        return !names.isEmpty();
    })) << "the sound server's sources are listed";
    Apply({}, false, {}, names.front());
    ASSERT_TRUE(cap->Previewing()) << script.ui.Texts("error").join("; ").toStdString();
    ASSERT_TRUE(Offers(TCap::cdAudioCaptureFilter));
    ASSERT_TRUE(Offers(TCap::cdAudioCapturePin));

    const auto filter = cap->DialogPages(TCap::cdAudioCaptureFilter);
    ASSERT_EQ(filter.size(), 1u);
    QStringList keys;
    for (const auto& c : filter[0]->Controls())
        keys << c.key;
    EXPECT_EQ(keys, (QStringList{"volume", "mute"}));
    script.ui.propertyAnswers.push_back(
        {{"Audio Capture Filter", "volume", 0.5}, {"Audio Capture Filter", "mute", 1}});
    EXPECT_TRUE(cap->ShowDialog(TCap::cdAudioCaptureFilter));
    EXPECT_TRUE(script.ui.refusedProperties.isEmpty());
    EXPECT_DOUBLE_EQ(filter[0]->Value("volume").toDouble(), 0.5);
    EXPECT_EQ(filter[0]->Value("mute").toLongLong(), 1);

    const auto pin = cap->DialogPages(TCap::cdAudioCapturePin);
    ASSERT_EQ(pin.size(), 1u);
    const auto controls = pin[0]->Controls();
    ASSERT_EQ(controls.size(), 1u);
    ASSERT_EQ(int(controls[0].menu.size()), cap->GetACapModeCount());
    EXPECT_TRUE(controls[0].menu.front().second.contains(" Hz  "))
        << controls[0].menu.front().second.toStdString();
}

TEST(GstPropertyPage, StoredValuesGoIntoEachNewElementAndChangesReachTheLiveOne)
{
    gst_init(nullptr, nullptr); // run alone, nothing else has started GStreamer
    TGstObjectPtr<GstElementFactory> factory(gst_element_factory_find("videobalance"));
    ASSERT_TRUE(factory);
    auto settings = std::make_shared<TGstElementSettings>();
    auto page = TGstPropertyPage::ForFactory("Balance", factory.get(), settings,
                                             {"brightness", "contrast", "no-such-property"});
    ASSERT_TRUE(page);
    const auto controls = page->Controls();
    ASSERT_EQ(controls.size(), 2u) << "a named property the type lacks is left out";
    EXPECT_EQ(controls[0].kind, TPropertyControl::TKind::Double);
    EXPECT_DOUBLE_EQ(controls[0].minimum, -1.0);
    EXPECT_DOUBLE_EQ(controls[0].maximum, 1.0);
    EXPECT_DOUBLE_EQ(page->Value("brightness").toDouble(), 0.0) << "the default before any element";

    EXPECT_TRUE(page->SetValue("brightness", 0.25));
    EXPECT_FALSE(page->SetValue("brightness", 2.0));
    EXPECT_FALSE(page->SetValue("brightness", "bright"));
    EXPECT_FALSE(page->SetValue("hue", 0.1)) << "not offered on this page";

    auto element = [] {
        GstElement* e = gst_element_factory_make("videobalance", nullptr);
        return TGstObjectPtr<GstElement>(GST_ELEMENT(gst_object_ref_sink(e)));
    };
    const auto brightness = [](GstElement* e) {
        double v = 0;
        g_object_get(e, "brightness", &v, nullptr);
        return v;
    };
    auto first = element();
    settings->Attach(first.get());
    EXPECT_DOUBLE_EQ(brightness(first.get()), 0.25) << "a new element takes the stored value";
    EXPECT_TRUE(page->SetValue("brightness", -0.5));
    EXPECT_DOUBLE_EQ(brightness(first.get()), -0.5) << "the live element follows";
    g_object_set(first.get(), "brightness", 0.125, nullptr);
    EXPECT_DOUBLE_EQ(page->Value("brightness").toDouble(), 0.125) << "read from the live element";

    first.reset(); // the run ends
    EXPECT_DOUBLE_EQ(page->Value("brightness").toDouble(), -0.5) << "the stored value again";
    auto second = element();
    settings->Attach(second.get());
    EXPECT_DOUBLE_EQ(brightness(second.get()), -0.5);
}

TEST(GstPropertyPage, EncoderPagesOfferChoicesSwitchesNumbersAndTexts)
{
    gst_init(nullptr, nullptr); // run alone, nothing else has started GStreamer
    TGstObjectPtr<GstElementFactory> factory(gst_element_factory_find("theoraenc"));
    if (!factory)
        GTEST_SKIP() << "no theoraenc";
    auto page = TGstPropertyPage::ForFactory("Video Compressor", factory.get(),
                                             std::make_shared<TGstElementSettings>());
    ASSERT_TRUE(page);
    QHash<QString, TPropertyControl> byKey;
    for (const auto& c : page->Controls())
        byKey.insert(c.key, c);
    ASSERT_TRUE(byKey.contains("quality"));
    EXPECT_EQ(byKey["quality"].kind, TPropertyControl::TKind::Integer);
    EXPECT_EQ(byKey["quality"].maximum, 63);
    ASSERT_TRUE(byKey.contains("drop-frames"));
    EXPECT_EQ(byKey["drop-frames"].kind, TPropertyControl::TKind::Boolean);
    ASSERT_TRUE(byKey.contains("multipass-mode"));
    EXPECT_EQ(byKey["multipass-mode"].kind, TPropertyControl::TKind::Menu);
    EXPECT_GE(byKey["multipass-mode"].menu.size(), 2u);
    EXPECT_FALSE(page->SetValue("multipass-mode", 12345)) << "a value outside the choices";
    ASSERT_TRUE(byKey.contains("multipass-cache-file"));
    EXPECT_EQ(byKey["multipass-cache-file"].kind, TPropertyControl::TKind::Text);
    EXPECT_TRUE(page->SetValue("multipass-cache-file", QStringLiteral("/tmp/x")));
    EXPECT_EQ(page->Value("multipass-cache-file").toString(), "/tmp/x");
}

} // namespace
