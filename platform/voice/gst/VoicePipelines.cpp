// The two pipelines of the voice link and what their streaming threads do.
#include "platform/voice/gst/VoiceLinkImpl.h"

#include <array>
#include <cstring>

using namespace voicelink;

namespace {

constexpr gsize kRtpHeaderBytes = 12;
constexpr int kOpusBitrate = 32000;
constexpr char kRtpCaps[] =
    "application/x-rtp,media=audio,clock-rate=48000,encoding-name=OPUS,payload=96";
constexpr char kPcmCaps[] = "audio/x-raw,format=S16LE,rate=48000,channels=1,layout=interleaved";

quint32 read32(const quint8* p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

double gainOf(int level)
{
    return level / 100.0;
}

} // namespace

VoicePipeline::~VoicePipeline()
{
    // The sound server's threads feed the pipeline and read what it made: they stop first.
    capture.reset();
    playout.reset();
    if (!pipeline)
        return;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    DeviceWatch::detach(pipeline.get());
}

bool TGstVoiceLink::Impl::ensureGst()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        GError* raw = nullptr;
        ok = gst_init_check(nullptr, nullptr, &raw);
        ErrorPtr error(raw);
        if (!ok)
            qCWarning(lcVoice) << "GStreamer unavailable:" << (error ? error->message : "");
    });
    return ok;
}

GstPadProbeReturn TGstVoiceLink::Impl::countSent(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    auto* impl = static_cast<Impl*>(self);
    impl->sent.fetch_add(1, std::memory_order_relaxed);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer)
        return GST_PAD_PROBE_OK;
    const gsize size = gst_buffer_get_size(buffer);
    impl->octets.fetch_add(size > kRtpHeaderBytes ? size - kRtpHeaderBytes : 0,
                           std::memory_order_relaxed);
    if (!impl->srtpOut)
        return GST_PAD_PROBE_OK;
    // Protected into a buffer of its own with room for the tag; nothing goes out plain.
    GstBuffer* sealed = gst_buffer_new_allocate(nullptr, size + SrtpContext::MaxTrailer, nullptr);
    GstMapInfo out;
    if (!sealed || !gst_buffer_map(sealed, &out, GST_MAP_WRITE)) {
        if (sealed)
            gst_buffer_unref(sealed);
        return GST_PAD_PROBE_DROP;
    }
    gst_buffer_extract(buffer, 0, out.data, size);
    const int length = impl->srtpOut->Protect(out.data, int(size));
    gst_buffer_unmap(sealed, &out);
    if (length < 0) {
        gst_buffer_unref(sealed);
        return GST_PAD_PROBE_DROP;
    }
    gst_buffer_set_size(sealed, length);
    gst_buffer_copy_into(sealed, buffer, GST_BUFFER_COPY_METADATA, 0, -1);
    gst_buffer_unref(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = sealed;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TGstVoiceLink::Impl::filterReceived(GstPad*, GstPadProbeInfo* info, gpointer self)
{
    return static_cast<Impl*>(self)->accept(info) ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
}

bool TGstVoiceLink::Impl::accept(GstPadProbeInfo* info)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    int family = AF_UNSPEC;
    std::array<quint8, 16> from{};
    if (!buffer || !senderOf(buffer, family, from))
        return false;
    GstMapInfo map;
    if (srtpIn) {
        // The sender first (cheap), then the tag: what does not verify is never looked at.
        if (!filter.fromPeer(family, from))
            return false;
        buffer = gst_buffer_make_writable(buffer);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
            return false;
        const int length = srtpIn->Unprotect(map.data, int(map.size));
        gst_buffer_unmap(buffer, &map);
        if (length < 0)
            return false;
        gst_buffer_set_size(buffer, length);
    }
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return false;
    const qint64 now = g_get_monotonic_time();
    const std::optional<RtpPeerFilter::Admission> admitted =
        filter.admit(family, from, map.data, map.size, now);
    // Counted as the peer numbered it, before any rewriting for the decoder.
    if (admitted && map.size >= kRtpHeaderBytes)
        receiveStats.Received(read32(map.data + 8), quint16(map.data[2] << 8 | map.data[3]),
                              read32(map.data + 4), now);
    gst_buffer_unmap(buffer, &map);
    if (!admitted)
        return false;
    if (admitted->rewrite) {
        buffer = gst_buffer_make_writable(buffer);
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE))
            return false;
        writePosition(map.data, admitted->position);
        gst_buffer_unmap(buffer, &map);
    }
    received.fetch_add(1, std::memory_order_relaxed);
    return true;
}

namespace {

// Pulls the appsink's sample and hands its mapped bytes to use.
template <typename Use> GstFlowReturn withSample(GstAppSink* sink, Use use)
{
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        use(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

} // namespace

GstFlowReturn TGstVoiceLink::Impl::onPlayedSample(GstAppSink* sink, gpointer self)
{
    return withSample(sink, [self](const guint8* data, gsize size) {
        static_cast<Impl*>(self)->options.playedTap(
            QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    });
}

GstFlowReturn TGstVoiceLink::Impl::onDecoded(GstAppSink* sink, gpointer queue)
{
    return withSample(sink, [queue](const guint8* data, gsize size) {
        static_cast<PlayoutQueue*>(queue)->Push(reinterpret_cast<const int16_t*>(data),
                                                size / sizeof(int16_t));
    });
}

GstPadProbeReturn TGstVoiceLink::Impl::referenceProbe(GstPad*, GstPadProbeInfo* info,
                                                      gpointer reference)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        static_cast<EchoReference*>(reference)->Push(reinterpret_cast<const int16_t*>(map.data),
                                                     map.size / sizeof(int16_t));
        gst_buffer_unmap(buffer, &map);
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TGstVoiceLink::Impl::processMicrophone(GstPad*, GstPadProbeInfo* info,
                                                         gpointer processor)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return GST_PAD_PROBE_OK;
    static_cast<VoiceProcessor*>(processor)->Process(reinterpret_cast<int16_t*>(map.data),
                                                     map.size / sizeof(int16_t));
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

std::unique_ptr<VoicePipeline> TGstVoiceLink::Impl::newPipeline(const char* name,
                                                                TVoiceDevice device)
{
    auto p = std::make_unique<VoicePipeline>(device, ++runs, name, failureSlot);
    p->pipeline.reset(gst_pipeline_new(name));
    if (p->pipeline)
        gst_object_ref_sink(p->pipeline.get());
    return p;
}

bool TGstVoiceLink::Impl::play(VoicePipeline& p)
{
    p.watch.attach(p.pipeline.get());
    // A sink allows 20 ms for the work between the wire and itself unless told otherwise, and
    // every sample is played that much later. Our chain does that work in well under a ms.
    GstIterator* sinks = gst_bin_iterate_sinks(GST_BIN(p.pipeline.get()));
    gst_iterator_foreach(
        sinks,
        [](const GValue* item, gpointer) {
            g_object_set(g_value_get_object(item), "processing-deadline",
                         guint64(kSinkDeadlineMs) * GST_MSECOND, nullptr);
        },
        nullptr);
    gst_iterator_free(sinks);
    // The device first: a chosen one that is gone fails here, and the default can serve.
    QString why;
    if ((p.playout &&
         !p.playout->Start(p.playoutDevice, kPlayoutBufferMs, kPlayoutRequestMs, why)) ||
        (p.capture && !p.capture->Start(p.captureDevice, kFrameMs, why))) {
        qCWarning(lcVoice).noquote() << p.name << "device cannot be opened:" << why;
        p.watch.noteFailure(why);
        return false;
    }
    if (gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        qCWarning(lcVoice) << p.name << "pipeline failed to start";
        return false;
    }
    return true;
}

GstElement* TGstVoiceLink::Impl::buildSource(VoicePipeline& p, const QString& device)
{
    GstElement* bin = p.pipeline.get();
    if (!options.sourceDescription.isEmpty())
        return addFromDescription(bin, options.sourceDescription);
    // The sound server converts to the codec's rate and our own stream hands on whole 10 ms
    // frames: the echo canceller has no partial frame to hold back. A consumer that stalls
    // finds the newest few frames, not a queue that grows.
    GstElement* src = addElement(bin, "appsrc");
    if (!src)
        return nullptr;
    GstCaps* caps = gst_caps_from_string(kPcmCaps);
    g_object_set(src, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-buffers",
                 guint64(CaptureFrames::kMaxBacklogFrames), nullptr);
    gst_caps_unref(caps);
    gst_util_set_object_arg(G_OBJECT(src), "leaky-type", "downstream");
    p.captureSource.reset(GST_ELEMENT(gst_object_ref(src)));
    p.capture = makeCapture(
        size_t(kRateHz / 1000 * kFrameMs),
        [src](const int16_t* samples, size_t count, uint64_t at) {
            GstBuffer* buffer = gst_buffer_new_memdup(samples, count * sizeof(int16_t));
            GST_BUFFER_PTS(buffer) = gst_util_uint64_scale_int(at, GST_SECOND, kRateHz);
            GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale_int(count, GST_SECOND, kRateHz);
            gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
        },
        [watch = &p.watch](const QString& why) { watch->report(why); });
    p.captureDevice = device;
    return src;
}

std::unique_ptr<VoicePipeline> TGstVoiceLink::Impl::buildTransmit(const PeerAddress& to,
                                                                  const QString& device)
{
    auto p = newPipeline("transmit", TVoiceDevice::Microphone);
    GstElement* bin = p->pipeline.get();
    if (!bin)
        return nullptr;
    p->deviceName = device;
    GstElement* src = buildSource(*p, device);
    GstElement* convert = addElement(bin, "audioconvert");
    GstElement* resample = addElement(bin, "audioresample");
    GstElement* caps = addCapsFilter(bin, kPcmCaps);
    GstElement* volume = addElement(bin, "volume");
    GstElement* enc = addElement(bin, "opusenc");
    GstElement* pay = addElement(bin, "rtpopuspay");
    GstElement* udp = addElement(bin, "udpsink");
    if (!linkChain({src, convert, resample, caps, volume, enc, pay, udp}))
        return nullptr;
    if (processor) {
        PadPtr pcm(gst_element_get_static_pad(caps, "src"));
        gst_pad_add_probe(pcm.get(), GST_PAD_PROBE_TYPE_BUFFER, processMicrophone, processor.get(),
                          nullptr);
    }

    g_object_set(volume, "volume", gainOf(micLevel.load()), nullptr);
    // In-band FEC lets the peer rebuild a lost frame from the next packet.
    g_object_set(enc, "bitrate", kOpusBitrate, "inband-fec", TRUE, "packet-loss-percentage", 10,
                 nullptr);
    gst_util_set_object_arg(G_OBJECT(enc), "frame-size", QByteArray::number(kFrameMs).constData());
    gst_util_set_object_arg(G_OBJECT(enc), "audio-type", "restricted-lowdelay");
    // Through SRTP the lengths of variable-rate packets would still tell words apart.
    if (srtpOut)
        gst_util_set_object_arg(G_OBJECT(enc), "bitrate-type", "cbr");
    // Our own numbers, so that the reports can name the stream and its clock. A microphone
    // opened again mid-call goes on with the numbering and the clock where they were.
    const auto now = std::chrono::steady_clock::now();
    if (!transmitStarted) {
        transmitStart = now;
        transmitStarted = true;
    }
    const quint64 elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(now - transmitStart).count();
    g_object_set(pay, "pt", kPayloadType, "ssrc", ssrc, "timestamp-offset",
                 guint(timestampOffset + quint32(elapsed * kRateHz / 1000000)), "seqnum-offset",
                 gint(nextSequence), nullptr);
    g_object_set(udp, "host", to.numericHost.constData(), "port", to.port, "sync", FALSE, "async",
                 FALSE, nullptr);

    PadPtr pad(gst_element_get_static_pad(udp, "sink"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, countSent, this, nullptr);
    p->volume.reset(GST_ELEMENT(gst_object_ref(volume)));
    p->udp.reset(GST_ELEMENT(gst_object_ref(udp)));
    p->payloader.reset(GST_ELEMENT(gst_object_ref(pay)));
    return p;
}

void TGstVoiceLink::Impl::startProcessing()
{
    processor.reset();
    active = {false, false};
    if (!processing.echoCancellation && !processing.noiseSuppression)
        return;
    // Gain control stays off: it pumps the far side's level up and down and the microphone
    // slider already sets ours.
    echoReference.Clear();
    auto p =
        std::make_unique<VoiceProcessor>(processing.echoCancellation, processing.noiseSuppression,
                                         processing.echoCancellation ? &echoReference : nullptr);
    if (!p->Ok())
        return;
    processor = std::move(p);
    active = {processor->EchoCancellation(), processor->NoiseSuppression()};
    qCInfo(lcVoice) << "microphone processing: echo cancellation" << active.echoCancellation
                    << "noise suppression" << active.noiseSuppression;
}

GstElement* TGstVoiceLink::Impl::buildSink(VoicePipeline& p, const QString& device)
{
    GstElement* bin = p.pipeline.get();
    if (!options.sinkDescription.isEmpty())
        return addFromDescription(bin, options.sinkDescription);
    // The voice leaves the pipeline as soon as it is decoded, for the sound server's stream to
    // take as the device needs it: no sink holding every sample to a clock of its own.
    GstElement* sink = addElement(bin, "appsink");
    if (!sink)
        return nullptr;
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    p.playoutQueue = std::make_unique<PlayoutQueue>(kRateHz);
    p.playoutQueue->SetMarginMs(playoutMarginMs(jitterBufferMs));
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onDecoded;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, p.playoutQueue.get(), nullptr);
    EchoReference* reference = processing.echoCancellation ? &echoReference : nullptr;
    p.playout = makePlayout(
        *p.playoutQueue,
        [reference](const int16_t* samples, size_t count) {
            if (reference)
                reference->Push(samples, count);
        },
        [watch = &p.watch](const QString& why) { watch->report(why); });
    p.playoutDevice = device;
    return sink;
}

namespace {

// A branch of the tee after the volume: a queue into an appsink that is rendered on the clock
// like the real sink, so it sees samples when they are heard.
bool addBranch(GstElement* bin, GstElement* tee, GstAppSinkCallbacks callbacks, gpointer data)
{
    GstElement* queue = addElement(bin, "queue");
    GstElement* sink = addElement(bin, "appsink");
    if (!linkChain({tee, queue, sink}))
        return false;
    g_object_set(sink, "sync", TRUE, "async", FALSE, nullptr);
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, data, nullptr);
    return true;
}

} // namespace

bool TGstVoiceLink::Impl::buildOutput(VoicePipeline& p, GstElement* volume, const QString& device)
{
    referencePlaying = false;
    GstElement* bin = p.pipeline.get();
    GstElement* sink = buildSink(p, device);
    if (!options.playedTap) {
        if (!linkChain({volume, sink}))
            return false;
    } else {
        GstElement* tee = addElement(bin, "tee");
        GstElement* toSink = addElement(bin, "queue");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = onPlayedSample;
        if (!linkChain({volume, tee, toSink, sink}) || !addBranch(bin, tee, callbacks, this))
            return false;
    }
    if (processing.echoCancellation && p.playout) {
        // The stream hands the canceller what it gives the device, as it gives it.
        referencePlaying = true;
    } else if (processing.echoCancellation) {
        // What reaches the speaker is the canceller's reference: it gets there before it is
        // heard (the sink holds it to its time, then the device plays its buffer), so the
        // canceller never waits for it. A second sink on the clock for it made the sound
        // server's sink play every sample 17 ms later.
        PadPtr in(gst_element_get_static_pad(sink, "sink"));
        if (!in)
            return false;
        gst_pad_add_probe(in.get(), GST_PAD_PROBE_TYPE_BUFFER, referenceProbe, &echoReference,
                          nullptr);
        referencePlaying = true;
    }
    return true;
}

std::unique_ptr<VoicePipeline> TGstVoiceLink::Impl::buildReceive(const QString& device)
{
    auto p = newPipeline("receive", TVoiceDevice::Speaker);
    GstElement* bin = p->pipeline.get();
    if (!bin)
        return nullptr;
    p->deviceName = device;
    GstElement* udp = addElement(bin, "udpsrc");
    GstElement* jitter = addElement(bin, "rtpjitterbuffer");
    GstElement* depay = addElement(bin, "rtpopusdepay");
    GstElement* dec = addElement(bin, "opusdec");
    GstElement* convert = addElement(bin, "audioconvert");
    GstElement* caps = addCapsFilter(bin, kPcmCaps);
    GstElement* volume = addElement(bin, "volume");
    if (!linkChain({udp, jitter, depay, dec, convert, caps, volume}) ||
        !buildOutput(*p, volume, device))
        return nullptr;

    GstCaps* rtpCaps = gst_caps_from_string(kRtpCaps);
    // No port sharing: a second link on the same port must fail, not steal packets.
    g_object_set(udp, "port", localPort, "caps", rtpCaps, "reuse", FALSE, "retrieve-sender-address",
                 TRUE, nullptr);
    gst_caps_unref(rtpCaps);
    // Packets later than the latency are discarded and concealed. Dropping the oldest queued
    // packets whenever the queue is full would, behind a sound server's sink that blocks while
    // it plays, throw away most of the voice.
    g_object_set(jitter, "latency", guint(jitterBufferMs), "do-lost", TRUE, nullptr);
    // A lost frame is concealed; a burst of undecodable packets must not end the call. The
    // decoder's use of the next packet's redundancy stays off: it holds every frame back for it
    // (and claims 120 ms for that), which cost 10 to 40 ms on every call here against a few
    // rebuilt frames at the loss a LAN sees. What we send carries the redundancy all the same,
    // for peers that use it.
    g_object_set(dec, "plc", TRUE, "use-inband-fec", FALSE, "max-errors", -1, nullptr);
    g_object_set(volume, "volume", gainOf(speakerLevel.load()), nullptr);

    PadPtr pad(gst_element_get_static_pad(udp, "src"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, filterReceived, this, nullptr);
    p->volume.reset(GST_ELEMENT(gst_object_ref(volume)));
    p->udp.reset(GST_ELEMENT(gst_object_ref(udp)));
    p->jitter.reset(GST_ELEMENT(gst_object_ref(jitter)));
    return p;
}
