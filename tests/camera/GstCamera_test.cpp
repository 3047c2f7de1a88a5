// The GStreamer cameras through real pipelines: the test cameras' modes and frames, stopping,
// the picture controls, DV decoding, missing elements, failures while starting and running, and
// an unplugged camera (from a device provider of this file's own, as a USB camera's would be
// listed). Also device caps and samples that are not what they should be.
#include "platform/camera/ICamera.h"
#include "platform/camera/gst/GstCameraFrame.h"
#include "platform/camera/gst/GstCameraModes.h"
#include "platform/camera/gst/TGstCamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/camera/stamp/FrameStamp.h"
#include "platform/elements/TGstElements.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "tests/support/EventLoop.h"

#include <gst/video/video.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

// Devices of the probe provider: each makes the source element the running test asks for.
struct ProbeCamera
{
    GstDevice parent;
};
struct ProbeCameraClass
{
    GstDeviceClass parent_class;
};
struct ProbeProvider
{
    GstDeviceProvider parent;
};
struct ProbeProviderClass
{
    GstDeviceProviderClass parent_class;
};
G_DEFINE_TYPE(ProbeCamera, probe_camera, GST_TYPE_DEVICE)
G_DEFINE_TYPE(ProbeProvider, probe_provider, GST_TYPE_DEVICE_PROVIDER)

namespace {

std::function<GstElement*()> g_makeSource;
TGstObjectPtr<GstElement> g_lastSource;
std::vector<TGstObjectPtr<GstDevice>> g_plugged;

} // namespace

static GstElement* probe_camera_create(GstDevice*, const gchar*)
{
    GstElement* source = g_makeSource ? g_makeSource() : nullptr;
    g_lastSource = GstRefObject(source);
    return source;
}
static void probe_camera_class_init(ProbeCameraClass* klass)
{
    GST_DEVICE_CLASS(klass)->create_element = probe_camera_create;
}
static void probe_camera_init(ProbeCamera*) {}

static GList* probe_provider_probe(GstDeviceProvider*)
{
    GList* devices = nullptr;
    for (const auto& device : g_plugged)
        devices = g_list_append(devices, gst_object_ref(device.get()));
    return devices;
}
static gboolean probe_provider_start(GstDeviceProvider* provider)
{
    for (const auto& device : g_plugged)
        gst_device_provider_device_add(provider, device.get());
    return TRUE;
}
static void probe_provider_stop(GstDeviceProvider*) {}
static void probe_provider_class_init(ProbeProviderClass* klass)
{
    auto* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probe_provider_probe;
    provider->start = probe_provider_start;
    provider->stop = probe_provider_stop;
    gst_device_provider_class_set_static_metadata(provider, "Probe cameras", "Video/Source",
                                                  "Cameras a test plugs in", "Parlavue");
}
static void probe_provider_init(ProbeProvider*) {}

namespace {

using namespace GstCameraModes;

// What a camera handed out, as its user sees it.
struct TSeen
{
    int frames = 0;
    QImage first;
    QImage last;
    QByteArray lastJpeg;
    bool offThread = false;
    std::vector<TCameraFailure> failures;

    explicit TSeen(ICamera& camera)
    {
        const auto where = [this] {
            offThread = offThread || QThread::currentThread() != qApp->thread();
        };
        camera.SetFrameHandler([this, where](const TCameraFrame& frame) {
            where();
            if (frames++ == 0)
                first = frame.picture;
            last = frame.picture;
            lastJpeg = frame.jpeg;
        });
        camera.SetFailureHandler([this, where](TCameraFailure failure, const QString&) {
            where();
            failures.push_back(failure);
        });
    }
    bool More(int count)
    {
        const int target = frames + count;
        return WaitUntil([&] { return frames >= target; });
    }
};

std::unique_ptr<ICamera> Open(ICameraSystem& system, const QString& name)
{
    QStringList names;
    return system.Devices(names) ? system.Open(int(names.indexOf(name))) : nullptr;
}

int FindMode(const ICamera& camera, const QByteArray& media, const QByteArray& format, QSize size,
             int rate)
{
    const auto& modes = camera.Modes();
    for (size_t i = 0; i < modes.size(); ++i)
        if (modes[i].Media == media && modes[i].Format == format &&
            QSize(modes[i].Width, modes[i].Height) == size && modes[i].Rate() == rate)
            return int(i);
    return -1;
}

double MeanGrey(const QImage& frame)
{
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < rgb.height(); y += 4)
        for (int x = 0; x < rgb.width(); x += 4)
            sum += qGray(rgb.pixel(x, y));
    return sum / ((rgb.height() + 3) / 4) / ((rgb.width() + 3) / 4);
}

void RegisterProbeProvider()
{
    static const bool registered =
        gst_init_check(nullptr, nullptr, nullptr) &&
        gst_device_provider_register(nullptr, "parlavueprobe", GST_RANK_PRIMARY,
                                     probe_provider_get_type());
    ASSERT_TRUE(registered);
}

GstDevice* Plug(const char* name, const char* caps, std::function<GstElement*()> makeSource)
{
    g_makeSource = std::move(makeSource);
    TGstCapsPtr deviceCaps(gst_caps_from_string(caps));
    g_plugged.emplace_back(GST_DEVICE(g_object_ref_sink(
        g_object_new(probe_camera_get_type(), "display-name", name, "device-class", "Video/Source",
                     "caps", deviceCaps.get(), nullptr))));
    return g_plugged.back().get();
}

void Unplug(GstDevice* device)
{
    TGstObjectPtr<GstDeviceProvider> provider(
        gst_device_provider_factory_get_by_name("parlavueprobe"));
    if (GST_OBJECT_PARENT(device) == GST_OBJECT(provider.get()))
        gst_device_provider_device_remove(provider.get(), device);
    std::erase_if(g_plugged, [&](const auto& plugged) { return plugged.get() == device; });
}

GstElement* LiveTestSource()
{
    GstElement* source = gst_element_factory_make("videotestsrc", nullptr);
    g_object_set(source, "is-live", TRUE, nullptr);
    return source;
}

// Posts an error from the element on a thread of its own, as streaming threads do.
void PostError(GstElement* element, GQuark domain, int code)
{
    std::thread([&] {
        GError* error = g_error_new_literal(domain, code, "posted by the test");
        gst_element_post_message(element, gst_message_new_error(GST_OBJECT(element), error, ""));
        g_error_free(error);
    }).join();
}

struct TBufferUnref
{
    void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
using TBufferPtr = std::unique_ptr<GstBuffer, TBufferUnref>;

TBufferPtr Counting(gsize size)
{
    TBufferPtr buffer(gst_buffer_new_allocate(nullptr, size, nullptr));
    GstMapInfo map;
    gst_buffer_map(buffer.get(), &map, GST_MAP_WRITE);
    for (gsize i = 0; i < size; ++i)
        map.data[i] = guint8(i);
    gst_buffer_unmap(buffer.get(), &map);
    return buffer;
}

} // namespace

TEST(GstCameraModes, RangesListsAndOddRatesGiveSaneModes)
{
    auto modes = FromCaps(QByteArray("video/x-raw,format=YUY2,width=[100,1000],height=[100,700],"
                                     "framerate=[5/2,30/1]"));
    ASSERT_EQ(modes.size(), 5u * 6u); // 160x120 .. 800x600 at 30, 25, 20, 15, 10 and 5 fps
    for (const TCameraMode& m : modes) {
        EXPECT_TRUE(m.Width >= 100 && m.Width <= 1000 && m.Height >= 100 && m.Height <= 700);
        EXPECT_EQ(m.FourCC, GST_MAKE_FOURCC('Y', 'U', 'Y', '2'));
        EXPECT_EQ(m.Bits, 16);
        EXPECT_EQ(m.MinRate, 5);
        EXPECT_EQ(m.MaxRate, 30);
    }
    // A stepped range takes only the sizes on its steps.
    modes = FromCaps(QByteArray("video/x-raw,format=I420,width=[160,1280,160],height=[120,960,"
                                "120],framerate=15/1"));
    EXPECT_FALSE(modes.empty());
    for (const TCameraMode& m : modes)
        EXPECT_TRUE(m.Width % 160 == 0 && m.Height % 120 == 0) << m.Width << "x" << m.Height;

    modes = FromCaps(QByteArray("video/x-raw,format={BGR,RGB16},width=320,height=240,"
                                "framerate={15/1,-5/1,30000/1001,0/1}"));
    ASSERT_EQ(modes.size(), 4u);
    for (const TCameraMode& m : modes) {
        EXPECT_GT(m.Rate(), 0);
        EXPECT_EQ(m.MinRate, 15);
        EXPECT_NEAR(m.MaxRate, 29.97, 0.01);
    }
    // Only rates no device can run at: the mode comes with none.
    for (const char* none : {"0/1", "-30/1", "{0/1,-1/2}"}) {
        modes =
            FromCaps("video/x-raw,format=BGR,width=320,height=240,framerate=" + QByteArray(none));
        ASSERT_EQ(modes.size(), 1u) << none;
        EXPECT_TRUE(modes[0].Rate() == 0 && modes[0].MinRate == 0 && modes[0].MaxRate == 0);
        EXPECT_TRUE(TGstCapsPtr(gst_caps_from_string(SourceCaps(modes[0]).constData())));
    }
    modes = FromCaps(QByteArray("video/x-dv,systemstream=true"));
    ASSERT_EQ(modes.size(), 1u);
    EXPECT_TRUE(modes[0].IsDV() && modes[0].Width == 720 && modes[0].Height == 576);
    EXPECT_EQ(modes[0].FourCC, GST_MAKE_FOURCC('d', 'v', 's', 'd'));

    for (const char* nothing :
         {"video/x-dv,systemstream=false,width=720,height=576,framerate=25/1",
          "video/x-dv,width=720,height=576,framerate=25/1",
          "video/x-raw,format=NOTREAL,width=320,height=240,framerate=30/1",
          "video/x-bayer,format=rggb,width=320,height=240,framerate=30/1",
          "video/x-raw,width=320,height=240,framerate=30/1",
          "video/x-raw(memory:DMABuf),format=BGRx,width=320,height=240,framerate=30/1",
          "video/x-raw,format=BGR,width=-320,height=240,framerate=30/1",
          "video/x-raw,format=BGR,width=0,height=0,framerate=30/1",
          "video/x-raw,format=BGR,width=2147483647,height=2147483647,framerate=30/1",
          "video/x-raw,width=(int)abc", "", "{{{", "ANY", "EMPTY"})
        EXPECT_TRUE(FromCaps(QByteArray(nothing)).empty()) << nothing;

    // A driver listing every width and height it takes.
    QByteArray widths, heights;
    for (int i = 1; i <= 400; ++i)
        widths += (i > 1 ? "," : "") + QByteArray::number(i * 2);
    for (int i = 1; i <= 400; ++i)
        heights += (i > 1 ? "," : "") + QByteArray::number(i);
    QElapsedTimer timer;
    timer.start();
    modes = FromCaps("video/x-raw,format={BGR,YUY2,I420},width={" + widths + "},height={" +
                     heights + "},framerate={30/1,15/1}");
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(modes.empty());
    EXPECT_LE(modes.size(), 1024u);
}

TEST(GstCameraModes, EveryModeSelectsItselfFromTheDevicesCaps)
{
    gst_init(nullptr, nullptr);
    for (const QByteArray& text :
         {TestCameraCaps(), TestDVCameraCaps(),
          QByteArray("video/x-raw,format={I420,NV12},width=[64,2000],height=[64,2000],"
                     "framerate=[1/1,60/1]; image/jpeg,width=1280,height=720,framerate=30/1"),
          QByteArray("video/x-raw,format=BGR,width=320,height=240")}) {
        TGstCapsPtr device(gst_caps_from_string(text.constData()));
        const auto modes = FromCaps(device.get());
        ASSERT_FALSE(modes.empty()) << text.constData();
        for (const TCameraMode& m : modes) {
            TGstCapsPtr chosen(gst_caps_from_string(SourceCaps(m).constData()));
            ASSERT_TRUE(chosen) << SourceCaps(m).constData();
            EXPECT_TRUE(gst_caps_can_intersect(chosen.get(), device.get()));
            if (m.IsDV())
                continue;
            const auto again = FromCaps(chosen.get());
            ASSERT_EQ(again.size(), 1u) << SourceCaps(m).constData();
            EXPECT_TRUE(again[0].Media == m.Media && again[0].Format == m.Format &&
                        again[0].Width == m.Width && again[0].Height == m.Height &&
                        again[0].RateNum == m.RateNum && again[0].RateDen == m.RateDen);
        }
    }
}

TEST(GstCameraFrame, AFrameSharesTheSamplesMemoryAndAShortBufferIsRefused)
{
    gst_init(nullptr, nullptr);
    TGstCapsPtr caps(gst_caps_from_string("video/x-raw,format=BGR,width=3,height=2"));
    const auto sample = [&](GstBuffer* buffer, GstCaps* c) {
        return TGstSamplePtr(gst_sample_new(buffer, c, nullptr, nullptr));
    };
    TBufferPtr buffer = Counting(24); // rows of 9 bytes padded to 12
    {
        QImage frame = GstCameraFrame::Wrap(sample(buffer.get(), caps.get()));
        ASSERT_EQ(frame.size(), QSize(3, 2));
        EXPECT_EQ(frame.format(), QImage::Format_BGR888);
        EXPECT_EQ(frame.pixel(1, 1), qRgb(17, 16, 15));
        GstMapInfo map;
        ASSERT_TRUE(gst_buffer_map(buffer.get(), &map, GST_MAP_READ));
        EXPECT_EQ(frame.constBits(), map.data) << "the frame was copied";
        gst_buffer_unmap(buffer.get(), &map);
        const QImage kept = frame;
        frame = QImage();
        EXPECT_GT(GST_MINI_OBJECT_REFCOUNT_VALUE(buffer.get()), 1) << "freed under a copy";
    }
    EXPECT_EQ(GST_MINI_OBJECT_REFCOUNT_VALUE(buffer.get()), 1) << "the sample was kept";

    TBufferPtr shortBuffer = Counting(23);
    EXPECT_TRUE(GstCameraFrame::Wrap(sample(shortBuffer.get(), caps.get())).isNull());
    EXPECT_EQ(GST_MINI_OBJECT_REFCOUNT_VALUE(shortBuffer.get()), 1);

    TGstCapsPtr planar(gst_caps_from_string("video/x-raw,format=I420,width=4,height=2"));
    EXPECT_TRUE(GstCameraFrame::Wrap(sample(Counting(64).get(), planar.get())).isNull());
    EXPECT_TRUE(GstCameraFrame::Wrap(TGstSamplePtr()).isNull());

    // Rows laid out by a video meta are read with its stride, and checked against it.
    gsize offsets[GST_VIDEO_MAX_PLANES] = {0};
    gint strides[GST_VIDEO_MAX_PLANES] = {16};
    TBufferPtr padded = Counting(32);
    gst_buffer_add_video_meta_full(padded.get(), GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGR, 3,
                                   2, 1, offsets, strides);
    EXPECT_EQ(GstCameraFrame::Wrap(sample(padded.get(), caps.get())).pixel(0, 1), qRgb(18, 17, 16));
    TBufferPtr tooShort = Counting(24);
    gst_buffer_add_video_meta_full(tooShort.get(), GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_FORMAT_BGR,
                                   3, 2, 1, offsets, strides);
    EXPECT_TRUE(GstCameraFrame::Wrap(sample(tooShort.get(), caps.get())).isNull());
}

TEST(GstCamera, TheTestCameraDeliversMovingFramesOfTheChosenModeAndGrabFormat)
{
    TGstCameraSystem system(true);
    struct TCase
    {
        QByteArray media, format;
        QSize size;
        QImage::Format grab;
    };
    for (const TCase& c : {TCase{"video/x-raw", "BGR", {320, 240}, QImage::Format_BGR888},
                           TCase{"video/x-raw", "YUY2", {640, 480}, QImage::Format_RGB555},
                           TCase{"image/jpeg", "", {1280, 720}, QImage::Format_RGB16},
                           TCase{"video/x-raw", "BGRx", {320, 240}, QImage::Format_RGB888}}) {
        auto camera = Open(system, TGstCameraSystem::TestCameraName);
        ASSERT_TRUE(camera);
        const int mode = FindMode(*camera, c.media, c.format, c.size, 30);
        ASSERT_TRUE(camera->SetMode(mode)) << c.media.constData() << " " << c.format.constData();
        camera->SetGrabFormat(c.grab);
        TSeen seen(*camera);
        QString error;
        ASSERT_TRUE(camera->Start(&error)) << error.toStdString();
        // The clock runs and the ball moves.
        EXPECT_TRUE(WaitUntil([&] { return seen.frames > 1 && seen.last != seen.first; }));
        // Every picture carries its frame number, through the camera's own JPEG too.
        const std::optional<QImage> whole =
            c.media == "image/jpeg" ? TJpegDecoder::Decode(seen.lastJpeg) : seen.last;
        ASSERT_TRUE(whole);
        const std::optional<quint32> number = FrameStamp::Read(*whole);
        EXPECT_TRUE(number && *number >= 1) << c.media.constData() << " " << c.format.constData();
        if (c.media == "image/jpeg") {
            // The camera's own picture, whole, and a preview decoded small from it.
            EXPECT_EQ(TJpegDecoder::Size(seen.lastJpeg), std::optional<QSize>(c.size));
            EXPECT_GE(seen.last.width(), TGstCamera::PreviewSize.width());
            EXPECT_LT(seen.last.width(), c.size.width());
            EXPECT_EQ(seen.last.width() * c.size.height(), seen.last.height() * c.size.width());
        } else {
            EXPECT_TRUE(seen.lastJpeg.isEmpty());
            EXPECT_EQ(seen.last.size(), c.size);
            EXPECT_EQ(seen.last.format(), c.grab);
        }
        EXPECT_FALSE(seen.offThread);
        EXPECT_FALSE(camera->SetMode(mode == 0 ? 1 : 0)) << "changed while running";
        EXPECT_EQ(camera->Mode(), mode);
        EXPECT_TRUE(seen.failures.empty());
    }
}

TEST(GstCamera, NoFrameComesAfterStopAndTheCameraStartsAgain)
{
    TGstCameraSystem system(true);
    auto camera = Open(system, TGstCameraSystem::TestCameraName);
    ASSERT_TRUE(camera);
    TSeen seen(*camera);
    for (int run = 0; run < 5; ++run) {
        QString error;
        ASSERT_TRUE(camera->Start(&error)) << error.toStdString();
        ASSERT_TRUE(seen.More(2)) << "run " << run;
        // Frames go on being handed over while the UI thread is busy.
        QThread::msleep(100);
        camera->Stop();
        EXPECT_FALSE(camera->Running());
        const int stopped = seen.frames;
        Drain(run == 0 ? 300 : 50);
        EXPECT_EQ(seen.frames, stopped) << "run " << run;
    }
}

TEST(GstCamera, TheDVTestCameraIsDecodedAtTheChosenSize)
{
    TGstCameraSystem system(true);
    QStringList names;
    ASSERT_TRUE(system.Devices(names));
    if (!names.contains(TGstCameraSystem::TestDVCameraName))
        GTEST_SKIP() << "DV cannot be made here";
    auto camera = system.Open(int(names.indexOf(TGstCameraSystem::TestDVCameraName)));
    ASSERT_TRUE(camera);
    ASSERT_EQ(camera->Modes().size(), 1u);
    EXPECT_TRUE(camera->Modes()[0].IsDV());
    camera->SetGrabFormat(QImage::Format_BGR888);
    TSeen seen(*camera);
    for (const auto& [decode, delivered] :
         {std::pair{QSize(360, 288), QSize(360, 288)}, std::pair{QSize(), QSize(720, 576)}}) {
        camera->SetDecodeSize(decode);
        QString error;
        ASSERT_TRUE(camera->Start(&error)) << error.toStdString();
        ASSERT_TRUE(seen.More(1));
        const QImage early = seen.last;
        ASSERT_TRUE(seen.More(10)) << "the stream stalled";
        EXPECT_EQ(seen.last.size(), delivered);
        EXPECT_NE(seen.last, early);
        camera->Stop();
    }
    EXPECT_TRUE(seen.failures.empty());
}

// The ball pattern is grey already, so its brightness is what shows a control at work.
TEST(GstCamera, TheTestCamerasPictureControlsChangeItsFramesAndStayWithIt)
{
    TGstCameraSystem system(true);
    auto camera = Open(system, TGstCameraSystem::TestCameraName);
    ASSERT_TRUE(camera);
    auto pages = camera->ControlPages();
    ASSERT_EQ(pages.size(), 1u);
    TSeen seen(*camera);
    QString error;
    ASSERT_TRUE(camera->Start(&error)) << error.toStdString();
    ASSERT_TRUE(seen.More(2));
    const double dark = MeanGrey(seen.last);
    ASSERT_TRUE(pages[0]->SetValue(QStringLiteral("brightness"), 0.6));
    EXPECT_TRUE(WaitUntil([&] { return MeanGrey(seen.last) > dark + 60; }));
    camera.reset();

    camera = Open(system, TGstCameraSystem::TestCameraName);
    ASSERT_TRUE(camera);
    pages = camera->ControlPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_DOUBLE_EQ(pages[0]->Value(QStringLiteral("brightness")).toDouble(), 0.6);
    TSeen again(*camera);
    ASSERT_TRUE(camera->Start(&error)) << error.toStdString();
    ASSERT_TRUE(again.More(1));
    EXPECT_GT(MeanGrey(again.first), dark + 60);
}

TEST(GstCamera, AMissingElementIsNamedWithItsPackage)
{
    TGstCameraSystem system(true);
    auto camera = Open(system, TGstCameraSystem::TestCameraName);
    ASSERT_TRUE(camera);
    GstRegistry* registry = gst_registry_get();
    TGstObjectPtr<GstPluginFeature> balance(gst_registry_lookup_feature(registry, "videobalance"));
    ASSERT_TRUE(balance);
    gst_registry_remove_feature(registry, balance.get());
    QString error;
    const bool started = camera->Start(&error);
    gst_registry_add_feature(registry, balance.get());
    EXPECT_FALSE(started);
    EXPECT_FALSE(camera->Running());
    EXPECT_TRUE(error.contains(QLatin1String(FindGstElement("videobalance")->package)))
        << error.toStdString();
    EXPECT_TRUE(camera->Start(&error)) << error.toStdString();
}

TEST(GstCamera, ErrorsWhileStartingFailTheStartAndAreNotToldAsFailures)
{
    RegisterProbeProvider();
    TGstCameraSystem system(false);
    const char* caps = "video/x-raw,format=BGR,width=160,height=120,framerate=30/1";
    GstDevice* missing = Plug("Probe Missing", caps, [] {
        GstElement* source = gst_element_factory_make("filesrc", nullptr);
        g_object_set(source, "location", "/nonexistent/camera", nullptr);
        return source;
    });
    auto camera = Open(system, QStringLiteral("Probe Missing"));
    ASSERT_TRUE(camera);
    TSeen seen(*camera);
    QString error;
    EXPECT_FALSE(camera->Start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(camera->Running());
    Unplug(missing);

    // A camera that never sends a picture.
    GstDevice* silent = Plug("Probe Silent", caps, [] {
        GstElement* source = gst_element_factory_make("udpsrc", nullptr);
        g_object_set(source, "port", 0, nullptr);
        return source;
    });
    camera = Open(system, QStringLiteral("Probe Silent"));
    ASSERT_TRUE(camera);
    TSeen silence(*camera);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(camera->Start(&error));
    EXPECT_LT(timer.elapsed(), 8000);
    EXPECT_FALSE(error.isEmpty());
    Unplug(silent);
    Drain(300);
    EXPECT_TRUE(seen.failures.empty() && silence.failures.empty());
}

TEST(GstCamera, FailuresWhileRunningAreToldOncePerRunAsTheRightKind)
{
    RegisterProbeProvider();
    GstDevice* device =
        Plug("Probe Camera",
             "video/x-raw,format=BGR,width=160,height=120,framerate=30/1; "
             "video/x-raw,format=I420,width=[64,4096],height=[64,4096],framerate=[1/1,60/1]",
             LiveTestSource);
    TGstCameraSystem system(false);
    auto camera = Open(system, QStringLiteral("Probe Camera"));
    ASSERT_TRUE(camera);
    const TCameraMode& mode = camera->Modes()[size_t(camera->Mode())];
    EXPECT_TRUE(mode.Width == 640 && mode.Height == 480 && mode.Format == "I420");
    TSeen seen(*camera);
    QString error;
    const auto start = [&] {
        EXPECT_TRUE(camera->Start(&error)) << error.toStdString();
        return seen.More(2);
    };

    // The source cannot read its device: it is gone, however often the stream says so.
    ASSERT_TRUE(start());
    PostError(g_lastSource.get(), GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ);
    PostError(g_lastSource.get(), GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ);
    ASSERT_TRUE(WaitUntil([&] { return !seen.failures.empty(); }));
    Drain(200);
    ASSERT_EQ(seen.failures, std::vector{TCameraFailure::Lost});
    EXPECT_TRUE(camera->Running());
    camera->Stop();

    // The same error from elsewhere in the pipeline is no lost camera.
    ASSERT_TRUE(start());
    GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(GST_OBJECT_PARENT(g_lastSource.get())));
    GValue sink = G_VALUE_INIT;
    ASSERT_EQ(gst_iterator_next(sinks, &sink), GST_ITERATOR_OK);
    PostError(GST_ELEMENT(g_value_get_object(&sink)), GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_WRITE);
    g_value_unset(&sink);
    gst_iterator_free(sinks);
    ASSERT_TRUE(WaitUntil([&] { return seen.failures.size() == 2; }));
    EXPECT_EQ(seen.failures[1], TCameraFailure::Failed);
    camera->Stop();

    // A failure on its way to the UI thread when the camera stops is not told.
    ASSERT_TRUE(start());
    PostError(g_lastSource.get(), GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED);
    camera->Stop();
    Drain(300);
    EXPECT_EQ(seen.failures.size(), 2u);

    // Unplugged while running.
    ASSERT_TRUE(start());
    Unplug(device);
    ASSERT_TRUE(WaitUntil([&] { return seen.failures.size() == 3; }));
    EXPECT_EQ(seen.failures[2], TCameraFailure::Lost);
    Drain(200);
    EXPECT_EQ(seen.failures.size(), 3u);
    EXPECT_FALSE(seen.offThread);
    camera->Stop();
    QStringList names;
    ASSERT_TRUE(system.Devices(names));
    EXPECT_FALSE(names.contains(QStringLiteral("Probe Camera")));
}
