#include "platform/camera/gst/TGstCameraPipeline.h"

#include "platform/camera/gst/GstCameraModes.h"
#include "platform/camera/gst/TGstScreenSource.h"
#include "platform/camera/gst/TTestCameraBalance.h"
#include "platform/camera/gst/TestCameraStamp.h"
#include "platform/logging/Logging.h"

#include <algorithm>
#include <memory>

namespace {

// Moves a stream's segment and buffer times back to where its segment's stream time starts.
GstPadProbeReturn RebaseEncoderTime(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* shift = static_cast<GstClockTime*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        if (*shift == 0)
            return GST_PAD_PROBE_OK;
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        for (GstClockTime* t : {&GST_BUFFER_PTS(buffer), &GST_BUFFER_DTS(buffer)})
            if (GST_CLOCK_TIME_IS_VALID(*t))
                *t = *t >= *shift ? *t - *shift : 0;
        return GST_PAD_PROBE_OK;
    }
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    const GstSegment* in = nullptr;
    gst_event_parse_segment(event, &in);
    if (in->format != GST_FORMAT_TIME || in->start <= in->time)
        return GST_PAD_PROBE_OK;
    *shift = in->start - in->time;
    GstSegment out;
    gst_segment_copy_into(in, &out);
    out.start -= *shift;
    out.position = out.start;
    if (GST_CLOCK_TIME_IS_VALID(out.stop))
        out.stop = out.stop >= *shift ? out.stop - *shift : 0;
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_segment(&out);
    return GST_PAD_PROBE_OK;
}

void FreeShift(gpointer shift)
{
    const std::unique_ptr<GstClockTime> owned(static_cast<GstClockTime*>(shift));
}

// The demultiplexer makes its pads once it has seen the stream; only the picture is taken, and
// it goes on with the sound pad left open.
void OnDemuxPad(GstElement*, GstPad* pad, gpointer queue)
{
    if (g_strcmp0(GST_PAD_NAME(pad), "video") != 0)
        return;
    TGstObjectPtr<GstPad> sink(gst_element_get_static_pad(GST_ELEMENT(queue), "sink"));
    if (sink && !gst_pad_is_linked(sink.get()) && gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
        qCWarning(lcCapture) << "cannot link the DV picture";
}

bool IsWithin(GstObject* object, GstElement* element)
{
    for (GstObject* o = object; o; o = GST_OBJECT_PARENT(o))
        if (o == GST_OBJECT(element))
            return true;
    return false;
}

} // namespace

TGstCameraPipeline::TGstCameraPipeline(GstDevice* device, TGstTestCamera test,
                                       const TCameraMode* mode, QSize decodeSize,
                                       const QByteArray& grabLayout, TTestCameraBalance* controls)
    : pipeline_(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("camera"))))
{
    built_ = Build(device, test, mode, decodeSize, grabLayout, controls);
}

TGstCameraPipeline::TGstCameraPipeline(const TGstScreenSource& screen, const TCameraMode* mode,
                                       const QByteArray& grabLayout)
    : pipeline_(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("screen")))), screen_(&screen)
{
    built_ = Build(nullptr, TGstTestCamera::None, mode, {}, grabLayout, nullptr);
    screen_ = nullptr;
}

TGstCameraPipeline::~TGstCameraPipeline()
{
    // Joins the streaming threads: no callback of this run comes after.
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    TGstObjectPtr<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

bool TGstCameraPipeline::FromSource(GstObject* origin) const
{
    return std::any_of(sources_.begin(), sources_.end(),
                       [&](GstElement* e) { return IsWithin(origin, e); });
}

GstElement* TGstCameraPipeline::Make(const char* factory)
{
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (!e) {
        if (missing_.isEmpty())
            missing_ = QString::fromLatin1(factory);
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline_.get()), e);
    return e;
}

GstElement* TGstCameraPipeline::MakeCapsFilter(const QByteArray& text)
{
    TGstCapsPtr caps(gst_caps_from_string(text.constData()));
    GstElement* e = caps ? Make("capsfilter") : nullptr;
    if (e)
        g_object_set(e, "caps", caps.get(), nullptr);
    return e;
}

bool TGstCameraPipeline::Link(std::initializer_list<GstElement*> elements)
{
    GstElement* previous = nullptr;
    for (GstElement* e : elements) {
        if (!e)
            return false;
        if (previous && !gst_element_link(previous, e)) {
            qCWarning(lcCapture) << "cannot link" << GST_ELEMENT_NAME(previous) << "to"
                                 << GST_ELEMENT_NAME(e);
            return false;
        }
        previous = e;
    }
    return true;
}

bool TGstCameraPipeline::Build(GstDevice* device, TGstTestCamera test, const TCameraMode* mode,
                               QSize decodeSize, const QByteArray& grabLayout,
                               TTestCameraBalance* controls)
{
    GstElement* last =
        MakeCapsFilter(mode ? GstCameraModes::SourceCaps(*mode) : QByteArray("video/x-raw"));
    if (!Link({MakeSource(device, test, mode, controls), last}))
        return false;
    if (mode && mode->IsDV() && !(last = MakeDVDecoder(last, decodeSize)))
        return false;
    if (grabLayout.isEmpty())
        return false;
    GstElement* sink = nullptr;
    jpegFrames_ = mode && mode->Media == "image/jpeg";
    if (jpegFrames_) {
        // The camera's own pictures are taken as they come: they can go to the peer unchanged,
        // and the preview is decoded from them at a reduced scale.
        sink = Make("appsink");
        if (!Link({last, sink}))
            return false;
    } else {
        GstElement* convert = Make("videoconvert");
        GstElement* grab = MakeCapsFilter("video/x-raw,format=" + grabLayout);
        sink = Make("appsink");
        if (!Link({last, convert, grab, sink}))
            return false;
    }
    // Only the newest frame counts; frames come as fast as the camera makes them.
    g_object_set(sink, "sync", FALSE, "max-buffers", 1u, "drop", TRUE, "emit-signals", FALSE,
                 nullptr);
    sink_ = GST_APP_SINK(sink);
    return true;
}

GstElement* TGstCameraPipeline::MakeSource(GstDevice* device, TGstTestCamera test,
                                           const TCameraMode* mode, TTestCameraBalance* controls)
{
    if (test == TGstTestCamera::PatternDV)
        return MakeDVGenerator();
    if (screen_) {
        GstElement* screen = screen_->Build(GST_BIN(pipeline_.get()), missing_);
        if (screen)
            sources_.push_back(screen);
        return screen;
    }
    if (test == TGstTestCamera::Pattern)
        return MakeTestPattern(mode, controls);
    GstElement* source = device ? gst_device_create_element(device, nullptr) : nullptr;
    if (!source)
        return nullptr;
    gst_bin_add(GST_BIN(pipeline_.get()), source);
    sources_.push_back(source);
    return source;
}

GstElement* TGstCameraPipeline::MakeTestPattern(const TCameraMode* mode,
                                                TTestCameraBalance* controls)
{
    GstElement* source = Make("videotestsrc");
    if (!source)
        return nullptr;
    g_object_set(source, "is-live", TRUE, nullptr);
    gst_util_set_object_arg(G_OBJECT(source), "pattern", "ball");
    sources_.push_back(source);
    TestCameraStamp::Install(source);
    // The test camera's "controls": brightness, contrast, saturation and hue. They act before
    // its encoder, as a camera's do.
    GstElement* balance = Make("videobalance");
    if (!Link({source, balance}))
        return nullptr;
    if (controls)
        controls->Attach(balance);
    GstElement* last = balance;
    // A running clock besides the moving ball makes every frame differ. Without it (start-up
    // has told the user what to install) the ball alone still moves.
    if (GstElement* clock = gst_element_factory_make("timeoverlay", nullptr)) {
        gst_bin_add(GST_BIN(pipeline_.get()), clock);
        if (!Link({last, clock}))
            return nullptr;
        last = clock;
    }
    if (!mode || mode->Media != "image/jpeg")
        return last;
    // The test camera's compressed modes are made as a USB camera makes them.
    GstElement* encoder = Make("jpegenc");
    if (!Link({last, encoder}))
        return nullptr;
    sources_.push_back(encoder);
    return encoder;
}

GstElement* TGstCameraPipeline::MakeDVGenerator()
{
    // The moving pattern with a running clock and a tone, made into a PAL DV stream as a DV
    // camera sends it.
    GstElement* pattern = Make("videotestsrc");
    GstElement* tone = Make("audiotestsrc");
    GstElement* encoder = Make("avenc_dvvideo");
    GstElement* mux = Make("avmux_dv");
    if (!pattern || !tone || !encoder || !mux)
        return nullptr;
    g_object_set(pattern, "is-live", TRUE, nullptr);
    gst_util_set_object_arg(G_OBJECT(pattern), "pattern", "ball");
    g_object_set(tone, "is-live", TRUE, "volume", 0.3, nullptr);
    GstElement* size = MakeCapsFilter("video/x-raw,width=720,height=576,framerate=25/1,"
                                      "pixel-aspect-ratio=16/15");
    GstElement* convert = Make("videoconvert");
    GstElement* afterSize = size;
    // The clock is only decoration: the stream is made without it when it is missing.
    if (GstElement* clock = gst_element_factory_make("timeoverlay", nullptr)) {
        gst_bin_add(GST_BIN(pipeline_.get()), clock);
        if (!Link({size, clock}))
            return nullptr;
        afterSize = clock;
    }
    if (!Link({pattern, size}) || !Link({afterSize, convert, encoder, mux}) ||
        !Link({tone, MakeCapsFilter("audio/x-raw,format=S16LE,rate=48000,channels=2"), mux}))
        return nullptr;
    // The encoder moves its stream 1000 hours ahead (room for negative decoding times), and
    // the muxer, which orders packets by their raw times, would then wait for the sound to
    // catch up forever. Intra-only DV needs no such room: the times are moved back.
    TGstObjectPtr<GstPad> encoded(gst_element_get_static_pad(encoder, "src"));
    gst_pad_add_probe(
        encoded.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        RebaseEncoderTime, std::make_unique<GstClockTime>(0).release(), FreeShift);
    sources_.push_back(pattern);
    sources_.push_back(tone);
    return mux;
}

GstElement* TGstCameraPipeline::MakeDVDecoder(GstElement* from, QSize size)
{
    GstElement* demux = Make("dvdemux");
    GstElement* queue = Make("queue");
    GstElement* decoder = Make("dvdec");
    GstElement* scale = Make("videoscale");
    if (!Link({from, demux}) || !Link({queue, decoder, scale}))
        return nullptr;
    g_signal_connect(demux, "pad-added", G_CALLBACK(OnDemuxPad), queue);
    if (size.isEmpty())
        return scale;
    GstElement* sized = MakeCapsFilter("video/x-raw,width=" + QByteArray::number(size.width()) +
                                       ",height=" + QByteArray::number(size.height()));
    return Link({scale, sized}) ? sized : nullptr;
}
