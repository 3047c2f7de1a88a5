// The DV parts of the pipeline: the test camera's DV source, the DV splitter and decoder.
#include "platform/capturegraph/gst/TGstPipelineBuilder.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstDVDecoderControl.h"
#include "platform/capturegraph/gst/TGstFilter.h"
#include "platform/capturegraph/gst/TGstPin.h"
#include "platform/logging/Logging.h"

#include <QByteArray>

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

struct TDemuxTargets
{
    GstElement* video;
    GstElement* audio;
};

// Links a new pad of dvdemux ("video" or "audio") to the queue waiting for it, if any.
void OnDemuxPad(GstElement*, GstPad* pad, gpointer data)
{
    const auto* targets = static_cast<const TDemuxTargets*>(data);
    const QByteArray name = GST_PAD_NAME(pad);
    GstElement* target =
        name == "video" ? targets->video : (name == "audio" ? targets->audio : nullptr);
    if (!target)
        return;
    // A stream nobody renders stays unlinked; the demultiplexer goes on with the other.
    TGstObjectPtr<GstPad> out(gst_element_get_static_pad(target, "src"));
    if (!out || !gst_pad_is_linked(out.get()))
        return;
    TGstObjectPtr<GstPad> sink(gst_element_get_static_pad(target, "sink"));
    if (sink && !gst_pad_is_linked(sink.get()) && gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
        qCWarning(lcCapture) << "cannot link the DV" << name << "stream";
}

} // namespace

GstElement* TGstPipelineBuilder::MakeTestDVCamera()
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
    // The clock is only decoration: the stream is made without it when it is missing.
    GstElement* clock = Make("timeoverlay");
    GstElement* convert = Make("videoconvert");
    if (!(clock ? Link({pattern, size, clock, convert, encoder, mux})
                : Link({pattern, size, convert, encoder, mux})) ||
        !Link({tone, MakeCapsFilter("audio/x-raw,format=S16LE,rate=48000,channels=2"), mux}))
        return nullptr;
    // The encoder moves its stream 1000 hours ahead (room for negative decoding times), and
    // the muxer, which orders packets by their raw times, would then wait for the sound to
    // catch up forever. Intra-only DV needs no such room: the times are moved back.
    TGstObjectPtr<GstPad> encoded(gst_element_get_static_pad(encoder, "src"));
    gst_pad_add_probe(
        encoded.get(),
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        RebaseEncoderTime, new GstClockTime(0),
        [](gpointer shift) { delete static_cast<GstClockTime*>(shift); });
    sources_.push_back(pattern);
    sources_.push_back(tone);
    return mux;
}

GstElement* TGstPipelineBuilder::MakeDVDemux(GstElement* video, GstElement* audio)
{
    GstElement* demux = Make("dvdemux");
    if (!demux)
        return nullptr;
    g_signal_connect_data(
        demux, "pad-added", G_CALLBACK(OnDemuxPad), new TDemuxTargets{video, audio},
        [](gpointer data, GClosure*) { delete static_cast<TDemuxTargets*>(data); },
        GConnectFlags(0));
    return demux;
}

bool TGstPipelineBuilder::MakeDVSplitter(TGstFilter& filter, TChain& chain)
{
    GstElement* video = Make("queue");
    GstElement* audio = Make("queue");
    GstElement* demux = video && audio ? MakeDVDemux(video, audio) : nullptr;
    if (!demux)
        return false;
    splitterOutputs_[&filter] = {video, audio};
    chain = {demux, nullptr}; // each output has its own element (SrcPad)
    return true;
}

bool TGstPipelineBuilder::MakeDVDecoder(TGstFilter& filter, TChain& chain)
{
    GstElement* queue = Make("queue");
    GstElement* decoder = Make("dvdec");
    const auto control = filter.DVControl();
    GstElement* size = MakeCapsFilter("video/x-raw,width=" + QByteArray::number(control->Width()) +
                                      ",height=" + QByteArray::number(control->Height()));
    if (!Link({queue, decoder, Make("videoscale"), size}))
        return false;
    chain = {queue, size};
    // Fed a whole DV stream rather than the splitter's picture, it takes the picture out itself.
    const auto& input = filter.Inputs().front();
    if (input->IsConnected() && input->Major() == CaptureGuids::MEDIATYPE_Interleaved) {
        GstElement* demux = MakeDVDemux(queue, nullptr);
        if (!demux)
            return false;
        chain.in = demux;
    }
    return true;
}
