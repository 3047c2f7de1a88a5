// Device lists of the GStreamer capture system, graph events, and the audio branches against a
// private sound server (its null sink's monitor is the audio capture device).
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCapsFormats.h"
#include "platform/capturegraph/gst/GstGraphEvents.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "platform/capturegraph/gst/TGstFilterGraph.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

using namespace CaptureGuids;

namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // wakes the loop to check again without spinning
    tick.start(5);
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

MonikerPtr FindDevice(ICaptureSystem& system, TDeviceCategory category, const QString& name)
{
    std::vector<MonikerPtr> devices;
    system.EnumerateDevices(category, devices);
    for (const auto& d : devices) {
        QString n;
        if (Hr::Succeeded(d->ReadFriendlyName(n)) && n == name)
            return d;
    }
    return nullptr;
}

std::optional<int> FindAudioMode(IAMStreamConfig& config, int rate, int bits, int channels)
{
    int count = 0;
    config.GetNumberOfCapabilities(count);
    for (int i = 0; i < count; ++i) {
        TMediaType type;
        TVideoStreamConfigCaps caps;
        config.GetStreamCaps(i, type, caps);
        const auto w = type.WaveFormat();
        if (w && int(w->nSamplesPerSec) == rate && w->wBitsPerSample == bits &&
            w->nChannels == channels)
            return i;
    }
    return std::nullopt;
}

} // namespace

TEST(CaptureGraph, TestCameraIsListedOnlyWhenAsked)
{
    TGstCaptureSystem with(true), without(false);
    EXPECT_TRUE(FindDevice(with, TDeviceCategory::VideoInput, "Test Pattern"));
    EXPECT_FALSE(FindDevice(without, TDeviceCategory::VideoInput, "Test Pattern"));
    std::vector<MonikerPtr> devices{nullptr};
    const HRESULT hr = without.EnumerateDevices(TDeviceCategory::VideoInput, devices);
    EXPECT_EQ(hr, devices.empty() ? Hr::S_FALSE : Hr::S_OK);
}

TEST(CaptureGraph, CompressorsComeFromEncoderFactories)
{
    TGstCaptureSystem system(false);
    auto names = [&](TDeviceCategory category) {
        std::vector<MonikerPtr> list;
        system.EnumerateDevices(category, list);
        QStringList out;
        for (const auto& m : list) {
            QString n;
            m->ReadFriendlyName(n);
            out << n;
        }
        return out;
    };
    const QStringList video = names(TDeviceCategory::VideoCompressor);
    const QStringList audio = names(TDeviceCategory::AudioCompressor);
    // Theora and Opus come with the base plugins the program requires.
    EXPECT_TRUE(video.contains("Theora video encoder")) << video.join(", ").toStdString();
    EXPECT_TRUE(audio.contains("Opus audio encoder")) << audio.join(", ").toStdString();
    EXPECT_FALSE(audio.contains("Theora video encoder"));
    EXPECT_FALSE(video.contains("Opus audio encoder"));
    // Image encoders are no video compressors.
    EXPECT_FALSE(video.contains("JPEG image encoder"));
    // Some encoders class themselves "Encoder/Video" without "Codec/"; they count too.
    if (GstElementFactory* openh264 = gst_element_factory_find("openh264enc")) {
        EXPECT_TRUE(video.contains("OpenH264 video encoder"));
        gst_object_unref(openh264);
    }
}

TEST(CaptureGraph, PostedEventsReachTheNotifyCallbackInOrder)
{
    TGstFilterGraph graph;
    std::vector<qint32> seen;
    graph.SetNotify([&] {
        qint32 code;
        qint64 p1, p2;
        while (Hr::Succeeded(graph.GetEvent(code, p1, p2, 0)))
            seen.push_back(code);
    });
    std::thread streaming([&] {
        graph.PostEvent(GraphEvent::EC_DEVICE_LOST, 0, 0);
        graph.PostEvent(GraphEvent::EC_ERRORABORT, Hr::E_FAIL, 0);
    });
    streaming.join();
    EXPECT_TRUE(seen.empty()); // only queued, never called from the posting thread
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[0], GraphEvent::EC_DEVICE_LOST);
    EXPECT_EQ(seen[1], GraphEvent::EC_ERRORABORT);
    qint32 code;
    qint64 p1, p2;
    EXPECT_TRUE(Hr::Failed(graph.GetEvent(code, p1, p2, 50)));
}

TEST(CaptureGraph, AudioCaptureFeedsPreviewAndCaptureFile)
{
    TSoundServer server;
    if (!server.Ready())
        GTEST_SKIP() << "no pulseaudio to run a private sound server";
    TGstCaptureSystem system(false);
    std::vector<MonikerPtr> devices;
    FilterPtr audio;
    // The device list follows the server's announcements.
    ASSERT_TRUE(WaitFor(
        [&] { return system.EnumerateDevices(TDeviceCategory::AudioInput, devices) == Hr::S_OK; }));
    ASSERT_EQ(devices.front()->BindToFilter(audio), Hr::S_OK);

    GraphPtr graph;
    BuilderPtr builder;
    ASSERT_EQ(system.CreateFilterGraph(graph), Hr::S_OK);
    ASSERT_EQ(system.CreateCaptureGraphBuilder(builder), Hr::S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(audio, {}), Hr::S_OK);
    std::shared_ptr<IAMStreamConfig> config;
    ASSERT_EQ(builder->FindStreamConfig(TPinCategory::None, &MEDIATYPE_Audio, audio, config),
              Hr::S_OK);
    TMediaType current;
    ASSERT_EQ(config->GetFormat(current), Hr::S_OK);
    EXPECT_EQ(current.subtype, MEDIASUBTYPE_PCM);
    const auto mono = FindAudioMode(*config, 22050, 16, 1);
    ASSERT_TRUE(mono);
    TMediaType type;
    TVideoStreamConfigCaps caps;
    ASSERT_EQ(config->GetStreamCaps(*mono, type, caps), Hr::S_OK);
    EXPECT_EQ(type.WaveFormat()->nAvgBytesPerSec, 44100u);
    EXPECT_EQ(type.WaveFormat()->nBlockAlign, 2);
    ASSERT_EQ(config->SetFormat(type), Hr::S_OK);

    FilterPtr tee;
    ASSERT_EQ(system.CreateFilter(TFilterClass::InfTee, tee), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(tee, "MyInfTee"), Hr::S_OK);
    ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, audio, nullptr, tee),
              Hr::S_OK);
    ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, tee, nullptr, nullptr),
              Hr::S_OK);
    QTemporaryDir dir;
    const QString file = dir.filePath("audio.avi");
    FilterPtr mux;
    std::shared_ptr<IFileSinkFilter> writer;
    ASSERT_EQ(builder->SetOutputFileName(MEDIASUBTYPE_Avi, file, mux, writer), Hr::S_OK);
    ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, tee, nullptr, mux),
              Hr::S_OK);
    int events = 0;
    graph->SetNotify([&] { ++events; });
    ASSERT_EQ(graph->Run(), Hr::S_OK);
    // 22050 Hz mono 16-bit is 44100 bytes a second.
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 30000; })) << QFileInfo(file).size();
    EXPECT_EQ(events, 0);
    EXPECT_EQ(graph->Stop(), Hr::S_OK);
    EXPECT_EQ(config->SetFormat(current), Hr::S_OK);
}

TEST(CaptureGraph, VideoCompressorFeedsTheCaptureFileWhenTheMuxTakesItsOutput)
{
    TGstCaptureSystem system(true);
    GraphPtr graph;
    BuilderPtr builder;
    FilterPtr camera, tee, mux;
    std::shared_ptr<IFileSinkFilter> writer;
    QTemporaryDir dir;
    const QString file = dir.filePath("video.avi");
    ASSERT_EQ(system.CreateFilterGraph(graph), Hr::S_OK);
    ASSERT_EQ(system.CreateCaptureGraphBuilder(builder), Hr::S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph), Hr::S_OK);
    ASSERT_EQ(FindDevice(system, TDeviceCategory::VideoInput, "Test Pattern")->BindToFilter(camera),
              Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(camera, {}), Hr::S_OK);
    ASSERT_EQ(system.CreateFilter(TFilterClass::SmartTee, tee), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(tee, "MySmartTee"), Hr::S_OK);
    ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, camera, nullptr, tee),
              Hr::S_OK);
    ASSERT_EQ(builder->SetOutputFileName(MEDIASUBTYPE_Avi, file, mux, writer), Hr::S_OK);

    // Theora has no place in an AVI file: refused before anything runs, nothing left connected.
    FilterPtr theora;
    ASSERT_EQ(FindDevice(system, TDeviceCategory::VideoCompressor, "Theora video encoder")
                  ->BindToFilter(theora),
              Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(theora, "MyVideoCompressor"), Hr::S_OK);
    EXPECT_TRUE(
        Hr::Failed(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, tee, theora, mux)));
    for (const auto& pin : theora->Pins()) {
        PinPtr peer;
        EXPECT_TRUE(Hr::Failed(pin->ConnectedTo(peer)));
    }
    ASSERT_EQ(graph->RemoveFilter(theora), Hr::S_OK);

    std::vector<MonikerPtr> compressors;
    system.EnumerateDevices(TDeviceCategory::VideoCompressor, compressors);
    // Low-latency software encoders first, so data reaches the file well within the wait;
    // libav's wrappers come last (some drive hardware this machine may not have, some take
    // only the sizes of one format).
    auto rank = [](const MonikerPtr& m) {
        QString name;
        m->ReadFriendlyName(name);
        if (name.startsWith("libav"))
            return 3;
        if (name.contains("H264") || name.contains("H.264"))
            return 0;
        return name.contains("VP8") ? 1 : 2;
    };
    std::stable_sort(compressors.begin(), compressors.end(),
                     [&](const MonikerPtr& a, const MonikerPtr& b) { return rank(a) < rank(b); });
    QString used;
    for (const auto& moniker : compressors) {
        FilterPtr encoder;
        if (Hr::Failed(moniker->BindToFilter(encoder)) ||
            Hr::Failed(graph->AddFilter(encoder, "MyVideoCompressor")))
            continue;
        if (builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, tee, encoder, mux) ==
            Hr::S_OK) {
            moniker->ReadFriendlyName(used);
            break;
        }
        graph->RemoveFilter(encoder);
    }
    if (used.isEmpty())
        GTEST_SKIP() << "no installed video encoder writes into AVI";
    ASSERT_EQ(graph->Run(), Hr::S_OK) << used.toStdString();
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 8192; }))
        << used.toStdString() << " wrote " << QFileInfo(file).size();
    graph->Stop();
}

TEST(CaptureGraph, CameraCapsBecomeFixedModesWithPortableSubtypes)
{
    // What a typical webcam announces: listed rates, a compressed size, and a free range.
    const auto modes = GstCapsFormats::VideoModes(
        "video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 15/1 }; "
        "image/jpeg, width=1280, height=720, framerate=30/1; "
        "video/x-raw, format=NV12, width=[ 16, 800 ], height=[ 16, 600 ], "
        "framerate=[ 1/1, 20/1 ]; "
        "video/x-raw, format=RGB16, width=160, height=120, framerate=10/1");
    auto find = [&](const TGuid& subtype, int w, int h, qint64 interval) {
        for (const auto& m : modes) {
            const auto b = m.type.BitmapHeader();
            if (m.type.subtype == subtype && b->biWidth == w && b->biHeight == h &&
                m.type.AvgTimePerFrame() == interval)
                return std::optional<GstCapsFormats::TGstMode>(m);
        }
        return std::optional<GstCapsFormats::TGstMode>();
    };
    const auto yuy2 = find(MEDIASUBTYPE_YUY2, 640, 480, 333333);
    ASSERT_TRUE(yuy2);
    EXPECT_TRUE(find(MEDIASUBTYPE_YUY2, 640, 480, 666667));
    EXPECT_EQ(yuy2->range.MinFrameInterval, 333333);
    EXPECT_EQ(yuy2->range.MaxFrameInterval, 666667);
    EXPECT_EQ(yuy2->caps, "video/x-raw,format=(string)YUY2,width=(int)640,height=(int)480,"
                          "framerate=(fraction)30/1");

    const auto mjpg = find(FromFourCC("MJPG"), 1280, 720, 333333);
    ASSERT_TRUE(mjpg);
    EXPECT_EQ(mjpg->type.subtype.ToString(), "{47504A4D-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(mjpg->type.BitmapHeader()->biCompression, 0x47504A4Du);

    // A range gives the usual sizes inside it, at the usual rates inside its rate range.
    const auto nv12 = find(FromFourCC("NV12"), 320, 240, 500000);
    ASSERT_TRUE(nv12);
    EXPECT_EQ(nv12->type.BitmapHeader()->biBitCount, 12);
    EXPECT_EQ(nv12->type.BitmapHeader()->biSizeImage, 320u * 240 * 3 / 2);
    EXPECT_TRUE(find(FromFourCC("NV12"), 800, 600, 2000000));
    EXPECT_FALSE(find(FromFourCC("NV12"), 1280, 720, 500000));
    EXPECT_FALSE(find(FromFourCC("NV12"), 320, 240, 333333));

    const auto rgb565 = find(MEDIASUBTYPE_RGB565, 160, 120, 1000000);
    ASSERT_TRUE(rgb565);
    EXPECT_EQ(rgb565->type.BitmapHeader()->biBitCount, 16);
    EXPECT_EQ(rgb565->type.BitmapHeader()->biSizeImage, 160u * 120 * 2);
}

TEST(CaptureGraph, ADVCameraSendsOneInterleavedStream)
{
    const auto modes = GstCapsFormats::VideoModes(
        "video/x-dv, systemstream=true, width=720, height=576, framerate=25/1; "
        "video/x-dv, systemstream=false, width=720, height=480, framerate=30000/1001");
    ASSERT_EQ(modes.size(), 1u) << "only the whole stream is a camera's mode";
    EXPECT_EQ(modes[0].type.majortype, MEDIATYPE_Interleaved);
    EXPECT_EQ(modes[0].type.subtype, MEDIASUBTYPE_dvsd);
    EXPECT_EQ(modes[0].type.BitmapHeader()->biWidth, 720);
    EXPECT_EQ(modes[0].type.AvgTimePerFrame(), 400000);
    // The source is taken as the camera sends it, whatever size and rate it states.
    EXPECT_EQ(GstCapsFormats::SourceCaps(modes[0].caps), "video/x-dv,systemstream=(boolean)true");
    EXPECT_EQ(GstCapsFormats::SourceCaps("video/x-raw,width=(int)8"), "video/x-raw,width=(int)8");
    // A camera that states nothing but the stream still has its one mode.
    const auto bare = GstCapsFormats::VideoModes("video/x-dv, systemstream=true");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].type.majortype, MEDIATYPE_Interleaved);
    EXPECT_EQ(GstCapsFormats::SourceCaps(bare[0].caps), "video/x-dv,systemstream=(boolean)true");

    // Its filter says so, and the builder finds its stream configuration only as interleaved.
    TGstCaptureSystem system(true);
    const MonikerPtr dv =
        FindDevice(system, TDeviceCategory::VideoInput, TGstCaptureSystem::TestDVCameraName);
    if (!dv)
        GTEST_SKIP() << "no DV test camera (gstreamer1.0-libav)";
    FilterPtr camera;
    GraphPtr graph;
    BuilderPtr builder;
    ASSERT_EQ(dv->BindToFilter(camera), Hr::S_OK);
    ASSERT_EQ(system.CreateFilterGraph(graph), Hr::S_OK);
    ASSERT_EQ(system.CreateCaptureGraphBuilder(builder), Hr::S_OK);
    ASSERT_EQ(builder->SetFiltergraph(graph), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(camera, {}), Hr::S_OK);
    std::shared_ptr<IAMStreamConfig> config;
    EXPECT_EQ(
        builder->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Interleaved, camera, config),
        Hr::S_OK);
    EXPECT_TRUE(Hr::Failed(
        builder->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Video, camera, config)));
    // The splitter's outputs: the picture for the decoder, the sound on its own.
    FilterPtr splitter, decoder;
    ASSERT_EQ(system.CreateFilter(TFilterClass::DVSplitter, splitter), Hr::S_OK);
    ASSERT_EQ(system.CreateFilter(TFilterClass::DVVideoCodec, decoder), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(splitter, "MyDVSplitter"), Hr::S_OK);
    ASSERT_EQ(graph->AddFilter(decoder, "MyDVDecoder"), Hr::S_OK);
    EXPECT_TRUE(Hr::Failed(
        builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, camera, splitter, decoder)));
    ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Interleaved, camera, splitter,
                                    decoder),
              Hr::S_OK);
    int display = 0;
    ASSERT_TRUE(decoder->DVDecoder());
    EXPECT_EQ(decoder->DVDecoder()->get_IPDisplay(display), Hr::S_OK);
    EXPECT_EQ(display, 1000);
    EXPECT_TRUE(Hr::Failed(decoder->DVDecoder()->put_IPDisplay(999)));
    EXPECT_TRUE(Hr::Failed(decoder->DVDecoder()->put_IPDisplay(1004)));
    // The picture output is taken; the sound one is still free, and only for sound.
    EXPECT_TRUE(Hr::Failed(
        builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, splitter, nullptr, nullptr)));
    EXPECT_EQ(
        builder->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, splitter, nullptr, nullptr),
        Hr::S_OK);
}

// A pipeline error becomes "device lost" only when a capture source reports that its
// resource failed; everything else aborts the graph.
TEST(CaptureGraph, SourceResourceErrorsMeanTheDeviceIsLost)
{
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    // A source as the builder makes one: a bin around the device element.
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* sourceBin = gst_bin_new("video-source");
    GstElement* camera = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    ASSERT_TRUE(pipeline && sourceBin && camera && sink);
    gst_bin_add(GST_BIN(sourceBin), camera);
    gst_bin_add_many(GST_BIN(pipeline), sourceBin, sink, nullptr);
    const std::vector<GstElement*> sources{sourceBin};

    auto event = [&](GstElement* origin, GQuark domain, int code) {
        GError* error = g_error_new_literal(domain, code, "test");
        const TGraphEvent e = GraphEventForError(GST_OBJECT(origin), error, sources);
        g_error_free(error);
        return e;
    };
    for (int code : {GST_RESOURCE_ERROR_READ, GST_RESOURCE_ERROR_NOT_FOUND,
                     GST_RESOURCE_ERROR_OPEN_READ, GST_RESOURCE_ERROR_BUSY}) {
        const TGraphEvent e = event(camera, GST_RESOURCE_ERROR, code);
        EXPECT_EQ(e.code, GraphEvent::EC_DEVICE_LOST) << code;
        EXPECT_EQ(e.param1, 0);
    }
    EXPECT_EQ(event(sourceBin, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ).code,
              GraphEvent::EC_DEVICE_LOST);

    // A stream error from the camera, or a resource error elsewhere (the capture file's disk
    // is full), aborts with a failure code.
    const TGraphEvent stream = event(camera, GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED);
    EXPECT_EQ(stream.code, GraphEvent::EC_ERRORABORT);
    EXPECT_EQ(stream.param1, Hr::E_FAIL);
    EXPECT_EQ(event(sink, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT).code,
              GraphEvent::EC_ERRORABORT);
    EXPECT_EQ(event(pipeline, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ).code,
              GraphEvent::EC_ERRORABORT);
    EXPECT_EQ(GraphEventForError(GST_OBJECT(camera), nullptr, sources).code,
              GraphEvent::EC_ERRORABORT);
    gst_object_unref(pipeline);
}
