#include "platform/mediaterm/gst/TGstMediaTerm.h"

#include "platform/mediaterm/aec/EchoReference.h"
#include "platform/mediaterm/aec/VoiceProcessor.h"
#include "platform/mediaterm/gst/DeviceWatch.h"
#include "platform/mediaterm/gst/GstHelpers.h"
#include "platform/mediaterm/gst/PeerAddress.h"
#include "platform/mediaterm/gst/RtcpSession.h"
#include "platform/mediaterm/gst/RtpPeerFilter.h"

#include <gst/app/gstappsink.h>

#include <QRandomGenerator>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

using namespace mediaterm;

namespace {

// HRESULT-style results; callers ignore them, tests read them.
constexpr qint32 kOk = 0;
constexpr qint32 kFail = qint32(0x80004005u);
constexpr qint32 kInvalidArg = qint32(0x80070057u);

constexpr int kPayloadType = 96;
constexpr gsize kRtpHeaderBytes = 12;
constexpr int kOpusBitrate = 32000;
constexpr int kJitterLatencyMs = 20;
// The echo canceller gets what the speaker plays this long before it is heard (the speaker's
// own buffer of 60 ms leaves the room), so it never waits for speaker samples.
constexpr int kReferenceLeadMs = 40;
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

struct TGstMediaTerm::Impl
{
    // A running pipeline and the elements the UI thread still adjusts or watches.
    struct Pipeline
    {
        Pipeline(TVoiceDevice device, const char* name, const DeviceErrorSlot& slot)
            : name(name), watch(device, name, slot)
        {}

        const char* name;
        DeviceWatch watch; // before the pipeline: it hears the pipeline's last messages
        ElementPtr pipeline;
        GstElement* device = nullptr; // the microphone or speaker element, owned by pipeline
        ElementPtr volume;
        ElementPtr udp;

        ~Pipeline()
        {
            if (!pipeline)
                return;
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
            DeviceWatch::detach(pipeline.get());
        }
    };

    Options options;
    bool initialized = false;
    int localPort = 0;
    std::atomic<int> receiveLevel{100};
    std::atomic<int> transmitLevel{100};
    std::atomic<quint64> sent{0};
    std::atomic<quint64> received{0};
    std::atomic<quint64> octets{0};

    // The stream's numbers and what the reports say of it.
    const quint32 ssrc = QRandomGenerator::global()->generate();
    const quint32 timestampOffset = QRandomGenerator::global()->generate();
    std::chrono::steady_clock::time_point transmitStart;
    RtpReceiveStats receiveStats{48000};
    std::unique_ptr<RtcpSession> rtcp;

    // Who hears of a device that cannot be opened; read and written on the UI thread only.
    DeviceErrorSlot deviceHandler = std::make_shared<ICCNMediaTerm::DeviceErrorHandler>();

    // Where to send; the receive filter keeps its own copy of the host.
    mutable std::mutex peerMutex;
    std::optional<PeerAddress> peer;

    // What the speaker plays, for the canceller of the microphone; both outlive the pipelines
    // whose streaming threads use them (declared first, destroyed last).
    EchoReference echoReference;
    std::unique_ptr<VoiceProcessor> processor; // while transmitting with processing on
    bool referencePlaying = false;             // the receive pipeline feeds echoReference

    std::unique_ptr<Pipeline> transmit;
    std::unique_ptr<Pipeline> receive;

    // Admits on udpsrc's streaming thread; restarted before receiving starts.
    RtpPeerFilter filter{kPayloadType, 48000};

    Processing active{false, false};

    RtcpSession::SenderCounts senderCounts() const
    {
        RtcpSession::SenderCounts c;
        c.sending = transmit != nullptr;
        c.packets = quint32(sent.load());
        c.octets = quint32(octets.load());
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - transmitStart);
        c.rtpTime = timestampOffset + quint32(elapsed.count() * 48000 / 1000000);
        return c;
    }

    // RTCP runs while either direction does, on the ports above the two voice ports.
    void updateRtcp()
    {
        std::optional<PeerAddress> to;
        {
            std::lock_guard lock(peerMutex);
            to = peer;
        }
        if (!(transmit || receive) || !to || localPort <= 0 || localPort >= 65535 ||
            to->port <= 0 || to->port >= 65535) {
            rtcp.reset();
            return;
        }
        const QHostAddress host(QString::fromLatin1(to->numericHost));
        const quint16 local = quint16(localPort + 1);
        const quint16 remote = quint16(to->port + 1);
        if (rtcp && rtcpLocal == local && rtcpPeer == host && rtcpPeerPort == remote)
            return;
        rtcp = std::make_unique<RtcpSession>(ssrc, receiveStats, [this] { return senderCounts(); });
        rtcp->Start(local, host, remote);
        rtcpLocal = local;
        rtcpPeer = host;
        rtcpPeerPort = remote;
    }
    quint16 rtcpLocal = 0;
    QHostAddress rtcpPeer;
    quint16 rtcpPeerPort = 0;

    Processing wanted() const { return options.processing ? options.processing() : Processing{}; }

    static bool ensureGst()
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

    static GstPadProbeReturn countSent(GstPad*, GstPadProbeInfo* info, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        impl->sent.fetch_add(1, std::memory_order_relaxed);
        if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info)) {
            const gsize size = gst_buffer_get_size(buffer);
            impl->octets.fetch_add(size > kRtpHeaderBytes ? size - kRtpHeaderBytes : 0,
                                   std::memory_order_relaxed);
        }
        return GST_PAD_PROBE_OK;
    }

    static GstPadProbeReturn filterReceived(GstPad*, GstPadProbeInfo* info, gpointer self)
    {
        return static_cast<Impl*>(self)->accept(info) ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
    }

    bool accept(GstPadProbeInfo* info)
    {
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        int family = AF_UNSPEC;
        std::array<quint8, 16> from{};
        if (!buffer || !senderOf(buffer, family, from))
            return false;
        GstMapInfo map;
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

    // Pulls the appsink's sample and hands its mapped bytes to use.
    template <typename Use> static GstFlowReturn withSample(GstAppSink* sink, Use use)
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

    static GstFlowReturn onPlayedSample(GstAppSink* sink, gpointer self)
    {
        return withSample(sink, [self](const guint8* data, gsize size) {
            static_cast<Impl*>(self)->options.playedTap(
                QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        });
    }

    static GstFlowReturn onReferenceSample(GstAppSink* sink, gpointer reference)
    {
        return withSample(sink, [reference](const guint8* data, gsize size) {
            static_cast<EchoReference*>(reference)->Push(reinterpret_cast<const int16_t*>(data),
                                                         size / sizeof(int16_t));
        });
    }

    // In place on the microphone's streaming thread; the processor stays while it runs.
    static GstPadProbeReturn processMicrophone(GstPad*, GstPadProbeInfo* info, gpointer processor)
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

    std::unique_ptr<Pipeline> newPipeline(const char* name, TVoiceDevice device)
    {
        auto p = std::make_unique<Pipeline>(device, name, deviceHandler);
        p->pipeline.reset(gst_pipeline_new(name));
        if (p->pipeline)
            gst_object_ref_sink(p->pipeline.get());
        return p;
    }

    static bool play(Pipeline& p)
    {
        p.watch.attach(p.pipeline.get(), p.device);
        if (gst_element_set_state(p.pipeline.get(), GST_STATE_PLAYING) ==
            GST_STATE_CHANGE_FAILURE) {
            qCWarning(lcVoice) << p.name << "pipeline failed to start";
            return false;
        }
        return true;
    }

    GstElement* buildSource(GstElement* bin)
    {
        if (!options.sourceDescription.isEmpty())
            return addFromDescription(bin, options.sourceDescription);
        GstElement* src = addElement(bin, "pulsesrc");
        // Small device buffers: every millisecond here is mouth-to-ear delay.
        if (src)
            g_object_set(src, "buffer-time", gint64(40000), "latency-time", gint64(10000), nullptr);
        return src;
    }

    std::unique_ptr<Pipeline> buildTransmit(const PeerAddress& to)
    {
        auto p = newPipeline("transmit", TVoiceDevice::Microphone);
        GstElement* bin = p->pipeline.get();
        if (!bin)
            return nullptr;
        GstElement* src = buildSource(bin);
        p->device = src;
        GstElement* convert = addElement(bin, "audioconvert");
        GstElement* resample = addElement(bin, "audioresample");
        GstElement* caps = addCapsFilter(bin, kPcmCaps);
        GstElement* volume = addElement(bin, "volume");
        GstElement* enc = addElement(bin, "opusenc");
        GstElement* pay = addElement(bin, "rtpopuspay");
        GstElement* udp = addElement(bin, "udpsink");
        if (!linkChain({src, convert, resample, caps, volume, enc, pay, udp}))
            return nullptr;
        startProcessing();
        if (processor) {
            PadPtr pcm(gst_element_get_static_pad(caps, "src"));
            gst_pad_add_probe(pcm.get(), GST_PAD_PROBE_TYPE_BUFFER, processMicrophone,
                              processor.get(), nullptr);
        }

        g_object_set(volume, "volume", gainOf(transmitLevel.load()), nullptr);
        g_object_set(enc, "bitrate", kOpusBitrate, "inband-fec", TRUE, "packet-loss-percentage", 5,
                     nullptr);
        gst_util_set_object_arg(G_OBJECT(enc), "frame-size", "20");
        gst_util_set_object_arg(G_OBJECT(enc), "audio-type", "voice");
        // Our own numbers, so that the reports can name the stream and its clock.
        g_object_set(pay, "pt", kPayloadType, "ssrc", ssrc, "timestamp-offset", timestampOffset,
                     nullptr);
        transmitStart = std::chrono::steady_clock::now();
        g_object_set(udp, "host", to.numericHost.constData(), "port", to.port, "sync", FALSE,
                     "async", FALSE, nullptr);

        PadPtr pad(gst_element_get_static_pad(udp, "sink"));
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, countSent, this, nullptr);
        p->volume.reset(GST_ELEMENT(gst_object_ref(volume)));
        p->udp.reset(GST_ELEMENT(gst_object_ref(udp)));
        return p;
    }

    // The processor of the microphone, or none when nothing is to be done. Called while no
    // transmit pipeline runs.
    void startProcessing()
    {
        processor.reset();
        active = {false, false};
        const Processing want = wanted();
        if (!want.echoCancellation && !want.noiseSuppression)
            return;
        // Gain control stays off: it pumps the far side's level up and down and the
        // microphone slider already sets ours.
        echoReference.Clear();
        auto p = std::make_unique<VoiceProcessor>(want.echoCancellation, want.noiseSuppression,
                                                  want.echoCancellation ? &echoReference : nullptr,
                                                  kReferenceLeadMs);
        if (!p->Ok())
            return;
        processor = std::move(p);
        active = {processor->EchoCancellation(), processor->NoiseSuppression()};
        qCInfo(lcVoice) << "microphone processing: echo cancellation" << active.echoCancellation
                        << "noise suppression" << active.noiseSuppression;
    }

    GstElement* buildSink(GstElement* bin)
    {
        if (!options.sinkDescription.isEmpty())
            return addFromDescription(bin, options.sinkDescription);
        GstElement* sink = addElement(bin, "pulsesink");
        if (sink)
            g_object_set(sink, "buffer-time", gint64(60000), "latency-time", gint64(10000),
                         nullptr);
        return sink;
    }

    // A branch of the tee after the volume: a queue into an appsink that is rendered on the
    // clock like the real sink, so it sees samples when they are heard (or leadMs before).
    static bool addBranch(GstElement* bin, GstElement* tee, GstAppSinkCallbacks callbacks,
                          gpointer data, int leadMs = 0)
    {
        GstElement* queue = addElement(bin, "queue");
        GstElement* sink = addElement(bin, "appsink");
        if (!linkChain({tee, queue, sink}))
            return false;
        g_object_set(sink, "sync", TRUE, "async", FALSE, "ts-offset", -gint64(leadMs) * GST_MSECOND,
                     nullptr);
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, data, nullptr);
        return true;
    }

    // volume -> sink, or volume -> tee -> {sink, what is played for the echo canceller, the
    // played tap} when anyone needs what is played.
    bool buildOutput(Pipeline& p, GstElement* volume)
    {
        referencePlaying = false;
        GstElement* bin = p.pipeline.get();
        GstElement* sink = buildSink(bin);
        p.device = sink;
        const bool reference = wanted().echoCancellation;
        if (!reference && !options.playedTap)
            return linkChain({volume, sink});
        GstElement* tee = addElement(bin, "tee");
        GstElement* toSink = addElement(bin, "queue");
        if (!linkChain({volume, tee, toSink, sink}))
            return false;
        if (reference) {
            GstAppSinkCallbacks callbacks{};
            callbacks.new_sample = onReferenceSample;
            if (!addBranch(bin, tee, callbacks, &echoReference, kReferenceLeadMs))
                return false;
            referencePlaying = true;
        }
        if (options.playedTap) {
            GstAppSinkCallbacks callbacks{};
            callbacks.new_sample = onPlayedSample;
            if (!addBranch(bin, tee, callbacks, this))
                return false;
        }
        return true;
    }

    std::unique_ptr<Pipeline> buildReceive()
    {
        auto p = newPipeline("receive", TVoiceDevice::Speaker);
        GstElement* bin = p->pipeline.get();
        if (!bin)
            return nullptr;
        GstElement* udp = addElement(bin, "udpsrc");
        GstElement* jitter = addElement(bin, "rtpjitterbuffer");
        GstElement* depay = addElement(bin, "rtpopusdepay");
        GstElement* dec = addElement(bin, "opusdec");
        GstElement* convert = addElement(bin, "audioconvert");
        GstElement* caps = addCapsFilter(bin, kPcmCaps);
        GstElement* volume = addElement(bin, "volume");
        if (!linkChain({udp, jitter, depay, dec, convert, caps, volume}) ||
            !buildOutput(*p, volume))
            return nullptr;

        GstCaps* rtpCaps = gst_caps_from_string(kRtpCaps);
        // No port sharing: a second terminal on the same port must fail, not steal packets.
        g_object_set(udp, "port", localPort, "caps", rtpCaps, "reuse", FALSE,
                     "retrieve-sender-address", TRUE, nullptr);
        gst_caps_unref(rtpCaps);
        // Packets later than the latency are still discarded and concealed; dropping the
        // oldest queued packets whenever the queue is full would, behind a sound server's
        // sink that blocks while it plays, throw away most of the voice.
        g_object_set(jitter, "latency", guint(kJitterLatencyMs), "do-lost", TRUE, nullptr);
        // A burst of undecodable packets must not end the call. Recovering a lost frame from
        // the next packet's FEC would hold every frame back by one (and the decoder then claims
        // 120 ms of latency); loss concealment alone keeps the delay down.
        g_object_set(dec, "plc", TRUE, "use-inband-fec", FALSE, "max-errors", -1, nullptr);
        g_object_set(volume, "volume", gainOf(receiveLevel.load()), nullptr);

        PadPtr pad(gst_element_get_static_pad(udp, "src"));
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, filterReceived, this, nullptr);
        p->volume.reset(GST_ELEMENT(gst_object_ref(volume)));
        p->udp.reset(GST_ELEMENT(gst_object_ref(udp)));
        return p;
    }
};

TGstMediaTerm::TGstMediaTerm(Options options) : d(std::make_unique<Impl>())
{
    d->options = std::move(options);
}

TGstMediaTerm::~TGstMediaTerm()
{
    // Streaming threads reference Impl: the pipelines go first.
    d->transmit.reset();
    d->receive.reset();
}

qint32 TGstMediaTerm::InitializeTerminal()
{
    if (!Impl::ensureGst())
        return kFail;
    d->initialized = true;
    return kOk;
}

qint32 TGstMediaTerm::UninitializeTerminal()
{
    d->transmit.reset();
    d->receive.reset();
    d->processor.reset();
    d->referencePlaying = false;
    d->initialized = false;
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d_)
{
    // The codec and frame length are fixed (Opus, 20 ms); the values are only noted.
    qCDebug(lcVoice) << "ConfigureReceive" << a << b << c << d_;
    return kOk;
}

qint32 TGstMediaTerm::ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d_, qint32 e, qint32 f)
{
    qCDebug(lcVoice) << "ConfigureTransmit" << a << b << c << d_ << e << f;
    return kOk;
}

qint32 TGstMediaTerm::SetRemoteAddress(const QString& host, qint32 port)
{
    if (host.trimmed().isEmpty() || port <= 0 || port > 65535)
        return kInvalidArg;
    std::optional<PeerAddress> peer = resolve(host.trimmed(), port);
    if (!peer) {
        qCWarning(lcVoice) << "cannot resolve" << host;
        return kFail;
    }
    if (d->transmit)
        g_object_set(d->transmit->udp.get(), "host", peer->numericHost.constData(), "port", port,
                     nullptr);
    d->filter.setPeer(*peer);
    {
        std::lock_guard lock(d->peerMutex);
        d->peer = std::move(peer);
    }
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::SetLocalPort(qint32 port)
{
    if (port <= 0 || port > 65535)
        return kInvalidArg;
    d->localPort = port; // takes effect at the next StartReceive
    return kOk;
}

qint32 TGstMediaTerm::StartTransmit(qint32 /*mode*/)
{
    if (d->transmit)
        return kOk;
    if (!Impl::ensureGst())
        return kFail;
    std::optional<PeerAddress> to;
    {
        std::lock_guard lock(d->peerMutex);
        to = d->peer;
    }
    if (!to)
        return kFail;
    std::unique_ptr<Impl::Pipeline> p = d->buildTransmit(*to);
    if (!p || !Impl::play(*p))
        return kFail;
    d->transmit = std::move(p);
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::StopTransmit()
{
    d->transmit.reset();
    d->processor.reset();
    d->active = {false, false};
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::StartReceive(qint32 /*mode*/)
{
    if (d->receive)
        return kOk;
    if (!Impl::ensureGst())
        return kFail;
    if (d->localPort <= 0)
        return kFail;
    d->filter.restart();
    d->receiveStats.Reset();
    std::unique_ptr<Impl::Pipeline> p = d->buildReceive();
    if (!p || !Impl::play(*p)) {
        d->referencePlaying = false;
        return kFail;
    }
    d->receive = std::move(p);
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::StopReceive()
{
    d->receive.reset();
    d->referencePlaying = false;
    d->updateRtcp();
    return kOk;
}

qint32 TGstMediaTerm::SetReceiveVolume(qint32 /*channel*/, qint32 level)
{
    level = qBound(0, level, 100);
    d->receiveLevel = level;
    if (d->receive)
        g_object_set(d->receive->volume.get(), "volume", gainOf(level), nullptr);
    return kOk;
}

qint32 TGstMediaTerm::SetTransmitVolume(qint32 /*channel*/, qint32 level)
{
    level = qBound(0, level, 100);
    d->transmitLevel = level;
    if (d->transmit)
        g_object_set(d->transmit->volume.get(), "volume", gainOf(level), nullptr);
    return kOk;
}

void TGstMediaTerm::SetDeviceErrorHandler(DeviceErrorHandler handler)
{
    *d->deviceHandler = std::move(handler);
}

quint64 TGstMediaTerm::PacketsSent() const
{
    return d->sent.load();
}

quint64 TGstMediaTerm::PacketsReceived() const
{
    return d->received.load();
}

TGstMediaTerm::Processing TGstMediaTerm::ActiveProcessing() const
{
    // Cancelling needs what the speaker plays.
    if (!d->transmit)
        return {false, false};
    return {d->active.echoCancellation && d->referencePlaying && d->receive != nullptr,
            d->active.noiseSuppression};
}

TVoiceStats TGstMediaTerm::VoiceStats() const
{
    TVoiceStats s;
    s.packetsSent = d->sent.load();
    s.packetsReceived = d->received.load();
    if (d->rtcp) {
        const RtcpSession::Figures peer = d->rtcp->Now();
        s.peerReports = peer.peerReports;
        s.roundTripMs = peer.roundTripMs;
        s.peerLossPercent = peer.peerLossPercent;
    }
    const RtpReceiveStats::Figures here = d->receiveStats.Now();
    if (here.any) {
        s.lossPercent = here.lossPercent;
        s.jitterMs = here.jitterMs;
    }
    return s;
}

quint32 TGstMediaTerm::StreamSource() const
{
    return d->ssrc;
}
