#include "platform/capturegraph/gst/TGstPipelineBuilder.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCapsFormats.h"
#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstDVDecoderControl.h"
#include "platform/capturegraph/gst/TGstElementSettings.h"
#include "platform/capturegraph/gst/TGstFilter.h"
#include "platform/capturegraph/gst/TGstMuxControl.h"
#include "platform/capturegraph/gst/TGstPin.h"
#include "platform/capturegraph/gst/TGstSampleGrabber.h"
#include "platform/capturegraph/gst/TGstStreamConfig.h"
#include "platform/capturegraph/gst/TGstVideoWindow.h"
#include "platform/elements/TGstElements.h"
#include "platform/logging/Logging.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QImage>

namespace {

GstPadProbeReturn GrabberProbe(GstPad* pad, GstPadProbeInfo* info, gpointer grabber)
{
    if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info))
        static_cast<TGstSampleGrabber*>(grabber)->OnBuffer(pad, buffer);
    return GST_PAD_PROBE_OK;
}

GstFlowReturn RendererSample(GstAppSink* sink, gpointer window)
{
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) && buffer &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
        const int height = GST_VIDEO_INFO_HEIGHT(&info);
        if (map.size >= gsize(stride) * gsize(height)) {
            // The copy detaches the frame from the buffer before it crosses threads.
            const QImage frame =
                QImage(map.data, GST_VIDEO_INFO_WIDTH(&info), height, stride, QImage::Format_RGB32)
                    .copy();
            static_cast<TGstVideoWindow*>(window)->PushFrame(frame);
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// What the grabber will hand out, known before the first frame: the camera's selected mode in
// the grabber's format, at the DV decoder's size when the picture comes through one.
std::optional<TMediaType> ExpectedGrabberType(const TGstFilter& grabber, const QByteArray& format)
{
    std::shared_ptr<TGstFilter> f = std::const_pointer_cast<TGstFilter>(grabber.shared_from_this());
    std::shared_ptr<TGstDVDecoderControl> decoder;
    for (int hops = 0; f && f->Kind() != TGstFilterKind::VideoSource && hops < 8; ++hops) {
        if (f->DVControl())
            decoder = f->DVControl();
        const auto peer = f->Inputs().empty() ? nullptr : f->Inputs().front()->Peer();
        f = peer ? peer->Owner() : nullptr;
    }
    if (!f || !f->StreamConfig() || f->StreamConfig()->SelectedCaps().isEmpty())
        return std::nullopt;
    TGstCapsPtr caps(gst_caps_from_string(f->StreamConfig()->SelectedCaps().constData()));
    if (!caps)
        return std::nullopt;
    GstStructure* s = gst_caps_get_structure(caps.get(), 0);
    gst_structure_set_name(s, "video/x-raw");
    gst_structure_remove_field(s, "systemstream");
    if (decoder)
        gst_structure_set(s, "width", G_TYPE_INT, decoder->Width(), "height", G_TYPE_INT,
                          decoder->Height(), nullptr);
    if (!format.isEmpty())
        gst_structure_set(s, "format", G_TYPE_STRING, format.constData(), nullptr);
    if (const auto [n, d] = f->StreamConfig()->RateOverride(); n > 0)
        gst_structure_set(s, "framerate", GST_TYPE_FRACTION, n, d, nullptr);
    return GstCapsFormats::VideoTypeFromCaps(caps.get());
}

} // namespace

TGstPipelineBuilder::TGstPipelineBuilder(GstElement* pipeline, TGstVideoWindow* window)
    : pipeline_(pipeline), window_(window)
{}

GstElement* TGstPipelineBuilder::Make(const char* factory)
{
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (!e) {
        qCWarning(lcCapture).noquote()
            << "missing GStreamer element" << DescribeGstElement(QString::fromLatin1(factory));
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline_), e);
    return e;
}

GstElement* TGstPipelineBuilder::MakeCapsFilter(const QByteArray& text)
{
    TGstCapsPtr caps(gst_caps_from_string(text.constData()));
    GstElement* e = caps ? Make("capsfilter") : nullptr;
    if (e)
        g_object_set(e, "caps", caps.get(), nullptr);
    return e;
}

bool TGstPipelineBuilder::Link(std::initializer_list<GstElement*> elements)
{
    GstElement* previous = nullptr;
    for (GstElement* e : elements) {
        if (!e)
            return false;
        if (previous && !gst_element_link(previous, e))
            return false;
        previous = e;
    }
    return true;
}

bool TGstPipelineBuilder::MakeVideoSource(TGstFilter& filter, TChain& chain)
{
    GstElement* src = nullptr;
    if (filter.TestSource() == TGstTestSource::DVPattern) {
        src = MakeTestDVCamera();
    } else if (filter.IsTestCamera()) {
        src = Make("videotestsrc");
        if (src) {
            g_object_set(src, "is-live", TRUE, nullptr);
            gst_util_set_object_arg(G_OBJECT(src), "pattern", "ball");
        }
    } else {
        src = gst_device_create_element(filter.Device(), nullptr);
        if (src)
            gst_bin_add(GST_BIN(pipeline_), src);
    }
    if (!src)
        return false;
    sources_.push_back(src);
    const auto config = filter.StreamConfig();
    // A device whose caps gave no known mode runs in whatever raw format it negotiates.
    const QByteArray selected = GstCapsFormats::SourceCaps(config->SelectedCaps());
    TGstCapsPtr caps(
        gst_caps_from_string(selected.isEmpty() ? "video/x-raw" : selected.constData()));
    if (!caps || gst_caps_is_empty(caps.get()))
        return false;
    if (gst_structure_has_name(gst_caps_get_structure(caps.get(), 0), "video/x-dv")) {
        // The DV stream goes to the splitter or decoder as it is.
        GstElement* capsFilter = Make("capsfilter");
        if (!capsFilter)
            return false;
        g_object_set(capsFilter, "caps", caps.get(), nullptr);
        chain = {nullptr, capsFilter};
        return Link({src, capsFilter});
    }
    const auto [n, d] = config->RateOverride();
    const bool test = filter.IsTestCamera();
    if (n > 0 && test)
        gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION, n, d, nullptr);
    GstElement* capsFilter = Make("capsfilter");
    if (!capsFilter)
        return false;
    g_object_set(capsFilter, "caps", caps.get(), nullptr);
    if (!Link({src, capsFilter}))
        return false;
    GstElement* last = capsFilter;
    if (gst_structure_has_name(gst_caps_get_structure(caps.get(), 0), "image/jpeg")) {
        GstElement* dec = Make("jpegdec");
        if (!Link({last, dec}))
            return false;
        last = dec;
    }
    if (n > 0 && !test) {
        // The camera runs at a listed rate; frames are dropped or repeated to the chosen one.
        GstElement* rate = Make("videorate");
        GstElement* rateCaps = MakeCapsFilter("video/x-raw,framerate=" + QByteArray::number(n) +
                                              "/" + QByteArray::number(d));
        if (!Link({last, rate, rateCaps}))
            return false;
        last = rateCaps;
    }
    if (filter.TestSource() == TGstTestSource::Pattern) {
        // The test camera's "controls": brightness, contrast, saturation and hue.
        GstElement* balance = Make("videobalance");
        if (!Link({last, balance}))
            return false;
        filter.Settings()->Attach(balance);
        last = balance;
    }
    if (test) {
        // A running clock besides the moving ball makes every frame differ. Without it (start-up
        // has told the user what to install) the ball alone still moves.
        if (GstElement* clock = Make("timeoverlay")) {
            if (!Link({last, clock}))
                return false;
            last = clock;
        }
    }
    chain = {nullptr, last};
    return true;
}

bool TGstPipelineBuilder::MakeAudioSource(TGstFilter& filter, TChain& chain)
{
    GstElement* src = gst_device_create_element(filter.Device(), nullptr);
    if (!src)
        return false;
    gst_bin_add(GST_BIN(pipeline_), src);
    sources_.push_back(src);
    filter.Settings()->Attach(src);
    const QByteArray caps = filter.StreamConfig()->SelectedCaps();
    if (caps.isEmpty()) {
        chain = {nullptr, src};
        return true;
    }
    GstElement* capsFilter = MakeCapsFilter(caps);
    chain = {nullptr, capsFilter};
    return Link({src, capsFilter});
}

bool TGstPipelineBuilder::MakeGrabber(TGstFilter& filter, TChain& chain)
{
    const auto format = filter.Grabber()->OutputFormat();
    if (!format)
        return false;
    GstElement* queue = Make("queue");
    GstElement* convert = Make("videoconvert");
    GstElement* caps = MakeCapsFilter(format->isEmpty() ? QByteArray("video/x-raw")
                                                        : "video/x-raw,format=" + *format);
    if (!queue || !Link({queue, convert, caps}))
        return false;
    g_object_set(queue, "leaky", 2, "max-size-buffers", 3, "max-size-time", guint64(0),
                 "max-size-bytes", 0u, nullptr);
    filter.Grabber()->ResetRun();
    filter.Grabber()->SetConnected(ExpectedGrabberType(filter, *format));
    TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(caps, "src"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, GrabberProbe, filter.Grabber().get(),
                      nullptr);
    chain = {queue, caps};
    return true;
}

bool TGstPipelineBuilder::MakeVideoRenderer(TChain& chain)
{
    GstElement* queue = Make("queue");
    GstElement* convert = Make("videoconvert");
    GstElement* caps = MakeCapsFilter("video/x-raw,format=BGRx");
    GstElement* sink = Make("appsink");
    if (!queue || !sink || !Link({queue, convert, caps, sink}))
        return false;
    g_object_set(queue, "leaky", 2, "max-size-buffers", 2, "max-size-time", guint64(0),
                 "max-size-bytes", 0u, nullptr);
    g_object_set(sink, "sync", FALSE, "max-buffers", 1u, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = RendererSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, window_, nullptr);
    chain = {queue, nullptr};
    return true;
}

TGstPipelineBuilder::TChain* TGstPipelineBuilder::Ensure(TGstFilter& filter)
{
    if (auto it = chains_.find(&filter); it != chains_.end())
        return &it->second;
    TChain chain;
    bool ok = false;
    switch (filter.Kind()) {
    case TGstFilterKind::VideoSource:
        ok = MakeVideoSource(filter, chain);
        break;
    case TGstFilterKind::AudioSource:
        ok = MakeAudioSource(filter, chain);
        break;
    case TGstFilterKind::Tee: {
        GstElement* tee = Make("tee");
        if ((ok = tee != nullptr)) {
            g_object_set(tee, "allow-not-linked", TRUE, nullptr);
            chain = {tee, tee};
        }
        break;
    }
    case TGstFilterKind::SampleGrabber:
        ok = MakeGrabber(filter, chain);
        break;
    case TGstFilterKind::VideoRenderer:
        ok = MakeVideoRenderer(chain);
        break;
    case TGstFilterKind::AudioRenderer: {
        GstElement* queue = Make("queue");
        GstElement* sink = Make("autoaudiosink");
        ok = Link({queue, Make("audioconvert"), Make("audioresample"), sink});
        chain = {queue, nullptr};
        break;
    }
    case TGstFilterKind::VideoEncoder:
    case TGstFilterKind::AudioEncoder: {
        const bool video = filter.Kind() == TGstFilterKind::VideoEncoder;
        GstElement* convert = Make(video ? "videoconvert" : "audioconvert");
        GstElement* encoder = gst_element_factory_create(filter.Factory(), nullptr);
        if (encoder) {
            gst_bin_add(GST_BIN(pipeline_), encoder);
            filter.Settings()->Attach(encoder);
        }
        ok = video ? Link({convert, encoder}) : Link({convert, Make("audioresample"), encoder});
        chain = {convert, encoder};
        break;
    }
    case TGstFilterKind::DVSplitter:
        ok = MakeDVSplitter(filter, chain);
        break;
    case TGstFilterKind::DVDecoder:
        ok = MakeDVDecoder(filter, chain);
        break;
    case TGstFilterKind::AviMux: {
        GstElement* mux = Make("avimux");
        GstElement* sink = Make("filesink");
        ok = Link({mux, sink});
        if (ok) {
            // The stream is held back while previewing, so the writer must not wait for data;
            // each chunk goes straight to disk so the file is whole up to the last frame.
            g_object_set(sink, "location", filter.Mux()->FileName().toLocal8Bit().constData(),
                         "async", FALSE, nullptr);
            gst_util_set_object_arg(G_OBJECT(sink), "buffer-mode", "unbuffered");
        }
        chain = {mux, nullptr};
        break;
    }
    }
    if (!ok)
        return nullptr;
    return &chains_.emplace(&filter, chain).first->second;
}

GstPad* TGstPipelineBuilder::SrcPad(TGstFilter& filter, TGstPin& pin)
{
    TChain* chain = Ensure(filter);
    if (chain && filter.Kind() == TGstFilterKind::DVSplitter) {
        const auto& [video, audio] = splitterOutputs_[&filter];
        return gst_element_get_static_pad(filter.IndexOf(&pin) == 0 ? video : audio, "src");
    }
    if (!chain || !chain->out)
        return nullptr;
    if (filter.Kind() != TGstFilterKind::Tee)
        return gst_element_get_static_pad(chain->out, "src");
    // Each tee output runs on its own thread behind a valve that can hold the stream back.
    GstElement* queue = Make("queue");
    GstElement* valve = Make("valve");
    if (!queue || !Link({queue, valve}))
        return nullptr;
    g_object_set(queue, "leaky", 2, "max-size-buffers", 5, "max-size-time", guint64(0),
                 "max-size-bytes", 0u, nullptr);
    g_object_set(valve, "drop", pin.StreamOpen() ? FALSE : TRUE, nullptr);
    pin.AttachValve(valve);
    GstPad* teePad = gst_element_request_pad_simple(chain->out, "src_%u");
    TGstObjectPtr<GstPad> queuePad(gst_element_get_static_pad(queue, "sink"));
    const bool linked = teePad && gst_pad_link(teePad, queuePad.get()) == GST_PAD_LINK_OK;
    if (teePad)
        gst_object_unref(teePad); // the tee keeps its own reference to request pads
    return linked ? gst_element_get_static_pad(valve, "src") : nullptr;
}

GstPad* TGstPipelineBuilder::SinkPad(TGstFilter& filter, TGstPin& pin)
{
    TChain* chain = Ensure(filter);
    if (!chain || !chain->in)
        return nullptr;
    if (filter.Kind() != TGstFilterKind::AviMux)
        return gst_element_get_static_pad(chain->in, "sink");
    const bool audio = pin.Major() == CaptureGuids::MEDIATYPE_Audio;
    GstElement* queue = Make("queue");
    GstElement* valve = Make("valve");
    GstElement* last = valve;
    if (!queue || !Link({queue, valve}))
        return nullptr;
    g_object_set(valve, "drop", pin.StreamOpen() ? FALSE : TRUE, nullptr);
    pin.AttachValve(valve);
    const auto upstream = pin.Peer() ? pin.Peer()->Owner() : nullptr;
    if (!upstream || !upstream->Factory()) {
        // Raw streams are brought to a layout the AVI writer stores.
        last = Make(audio ? "audioconvert" : "videoconvert");
        if (!Link({valve, last}))
            return nullptr;
    }
    GstPad* muxPad = gst_element_request_pad_simple(chain->in, audio ? "audio_%u" : "video_%u");
    TGstObjectPtr<GstPad> lastPad(gst_element_get_static_pad(last, "src"));
    const bool linked = muxPad && gst_pad_link(lastPad.get(), muxPad) == GST_PAD_LINK_OK;
    if (muxPad)
        gst_object_unref(muxPad);
    return linked ? gst_element_get_static_pad(queue, "sink") : nullptr;
}

bool TGstPipelineBuilder::TerminateOpenOutputs()
{
    for (const auto& [filter, chain] : chains_) {
        if (!chain.out || filter->Kind() == TGstFilterKind::Tee)
            continue;
        TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(chain.out, "src"));
        if (!pad || gst_pad_is_linked(pad.get()))
            continue;
        // An output left open would stop the stream as not linked.
        GstElement* sink = Make("fakesink");
        if (!sink)
            return false;
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        if (!gst_element_link(chain.out, sink))
            return false;
    }
    return true;
}

HRESULT TGstPipelineBuilder::Build(const std::vector<std::shared_ptr<TGstFilter>>& filters)
{
    for (const auto& filter : filters) {
        for (const auto& out : filter->Outputs()) {
            const auto in = out->Peer();
            if (!in || in->Peer() != out)
                continue;
            const auto downstream = in->Owner();
            if (!downstream)
                continue;
            TGstObjectPtr<GstPad> src(SrcPad(*filter, *out));
            TGstObjectPtr<GstPad> sink(SinkPad(*downstream, *in));
            if (!src || !sink) {
                qCWarning(lcCapture)
                    << "cannot make elements for" << filter->Name() << "->" << downstream->Name();
                return Hr::E_FAIL;
            }
            if (gst_pad_link(src.get(), sink.get()) != GST_PAD_LINK_OK) {
                qCWarning(lcCapture)
                    << "cannot link" << filter->Name() << "->" << downstream->Name();
                return Hr::VFW_E_CANNOT_CONNECT;
            }
        }
    }
    return TerminateOpenOutputs() ? Hr::S_OK : Hr::E_FAIL;
}
