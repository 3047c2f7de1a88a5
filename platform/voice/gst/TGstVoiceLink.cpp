#include "platform/voice/gst/TGstVoiceLink.h"

#include "platform/voice/gst/VoiceLinkImpl.h"

#include <QTimer>

#include <cmath>

using namespace voicelink;

TGstVoiceLink::Impl::Impl()
{
    adapt = new QTimer(&context);
    adapt->setInterval(1000);
    QObject::connect(adapt, &QTimer::timeout, &context, [this] { adaptJitterBuffer(); });
    *failureSlot = [this](TVoiceDevice which, int run, const QString& detail) {
        deviceFailed(which, run, detail);
    };
}

TGstVoiceLink::Impl::~Impl()
{
    *failureSlot = {};
    // Streaming threads reference this: the pipelines go first.
    transmit.reset();
    receive.reset();
}

RtcpSession::SenderCounts TGstVoiceLink::Impl::senderCounts() const
{
    RtcpSession::SenderCounts c;
    c.sending = transmit != nullptr;
    c.packets = quint32(sent.load());
    c.octets = quint32(octets.load());
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - transmitStart);
    c.rtpTime = timestampOffset + quint32(elapsed.count() * kRateHz / 1000000);
    return c;
}

// RTCP runs while either direction does, on the ports above the two voice ports.
void TGstVoiceLink::Impl::updateRtcp()
{
    std::optional<PeerAddress> to;
    {
        std::lock_guard lock(peerMutex);
        to = peer;
    }
    if (!(transmit || receive) || !to || localPort <= 0 || localPort >= 65535 || to->port <= 0 ||
        to->port >= 65535) {
        rtcp.reset();
        return;
    }
    const QHostAddress host(QString::fromLatin1(to->numericHost));
    const quint16 local = quint16(localPort + 1);
    const quint16 remote = quint16(to->port + 1);
    if (rtcp && rtcpLocal == local && rtcpPeer == host && rtcpPeerPort == remote)
        return;
    rtcp = std::make_unique<RtcpSession>(ssrc, receiveStats, [this] { return senderCounts(); });
    rtcp->SetSecurity(srtpOut, srtpIn);
    rtcp->Start(local, host, remote);
    rtcpLocal = local;
    rtcpPeer = host;
    rtcpPeerPort = remote;
}

bool TGstVoiceLink::Impl::startTransmit(const QString& device, QString& why)
{
    std::optional<PeerAddress> to;
    {
        std::lock_guard lock(peerMutex);
        to = peer;
    }
    if (!to)
        return false;
    startProcessing();
    std::unique_ptr<VoicePipeline> p = buildTransmit(*to, device);
    if (!p || !play(*p)) {
        why = p ? p->watch.failure() : QString();
        processor.reset();
        active = {false, false};
        return false;
    }
    transmit = std::move(p);
    return true;
}

bool TGstVoiceLink::Impl::startReceive(const QString& device, QString& why)
{
    std::unique_ptr<VoicePipeline> p = buildReceive(device);
    if (!p || !play(*p)) {
        why = p ? p->watch.failure() : QString();
        referencePlaying = false;
        return false;
    }
    receive = std::move(p);
    return true;
}

bool TGstVoiceLink::Impl::startDirection(TVoiceDevice which, const QString& device)
{
    QString why;
    auto start = [&](const QString& name) {
        return which == TVoiceDevice::Microphone ? startTransmit(name, why)
                                                 : startReceive(name, why);
    };
    auto failed = [&] {
        notice(which, false, why.isEmpty() ? QStringLiteral("it cannot be opened") : why);
        return false;
    };
    if (start(device))
        return true;
    if (device.isEmpty())
        return failed();
    // The chosen device is not there (unplugged since it was chosen): the default serves.
    const QString chosen = why;
    if (!start(QString()))
        return failed();
    notice(which, true, QStringLiteral("%1: %2").arg(device, chosen));
    return true;
}

void TGstVoiceLink::Impl::restart(TVoiceDevice which, const QString& device)
{
    std::unique_ptr<VoicePipeline>& current =
        which == TVoiceDevice::Microphone ? transmit : receive;
    if (which == TVoiceDevice::Microphone) {
        if (current && current->payloader) {
            guint seq = 0;
            g_object_get(current->payloader.get(), "seqnum", &seq, nullptr);
            nextSequence = quint16(seq + 1);
        }
        ++transmitRestarts;
    } else {
        ++receiveRestarts;
    }
    current.reset(); // the port and the device are free again before the new one opens them
    qCInfo(lcVoice).noquote() << (which == TVoiceDevice::Microphone ? "microphone" : "speaker")
                              << "now" << (device.isEmpty() ? QStringLiteral("default") : device);
    startDirection(which, device);
    updateRtcp();
}

void TGstVoiceLink::Impl::deviceFailed(TVoiceDevice which, int run, const QString& detail)
{
    const std::unique_ptr<VoicePipeline>& current =
        which == TVoiceDevice::Microphone ? transmit : receive;
    // A pipeline already replaced or stopped has nothing more to say.
    if (!current || current->run != run)
        return;
    qCWarning(lcVoice).noquote() << (which == TVoiceDevice::Microphone ? "microphone" : "speaker")
                                 << "failed:" << detail;
    if (current->deviceName.isEmpty()) {
        notice(which, false, detail);
        return;
    }
    const QString chosen = current->deviceName;
    restart(which, QString());
    if (current)
        notice(which, true, QStringLiteral("%1: %2").arg(chosen, detail));
}

void TGstVoiceLink::Impl::notice(TVoiceDevice which, bool fellBack, const QString& detail)
{
    if (noticeHandler)
        noticeHandler(TVoiceDeviceNotice{which, fellBack, detail});
}

void TGstVoiceLink::Impl::setJitterBuffer(int ms)
{
    jitterBufferMs = ms;
    if (receive && receive->jitter)
        g_object_set(receive->jitter.get(), "latency", guint(ms), nullptr);
    if (receive && receive->playoutQueue)
        receive->playoutQueue->SetMarginMs(playoutMarginMs(ms));
}

void TGstVoiceLink::Impl::adaptJitterBuffer()
{
    if (!receive)
        return;
    if (receive->playoutQueue) {
        const PlayoutQueue::Figures played = receive->playoutQueue->Now();
        qCDebug(lcVoice) << "speaker: held" << played.heldMs << "ms, margin" << played.marginMs
                         << "ms, stream" << receive->playout->LatencyMs() << "ms";
        if (played.trims != trimsLogged) {
            trimsLogged = played.trims;
            qCInfo(lcVoice) << "speaker: surplus delay cut," << played.trimmedMs << "ms in"
                            << played.trims << "cuts; silence for late voice" << played.underrunMs
                            << "ms";
        }
    }
    const RtpReceiveStats::Figures figures = receiveStats.Now();
    if (!figures.any)
        return;
    // Twice the mean deviation covers most packets of a network's spread; the few later ones
    // are rebuilt from the next packet or concealed, which costs less than waiting for them.
    const int target = std::clamp(int(std::ceil(2 * figures.jitterMs + 2)), kMinJitterBufferMs,
                                  kMaxJitterBufferMs);
    // Up once the jitter has lasted a second look, so that late packets stop being lost: one
    // look's spike is a stall that is over, whose backlog the speaker's queue cuts anyway.
    // Down only once the jitter has stayed low for a while, so that a calm moment does not
    // cost the next burst.
    if (target > jitterBufferMs + 2) {
        lowerTargetFor = 0;
        if (++raiseTargetFor < 2)
            return;
        raiseTargetFor = 0;
        qCInfo(lcVoice) << "jitter" << figures.jitterMs << "ms: buffer" << target << "ms";
        setJitterBuffer(target);
        return;
    }
    raiseTargetFor = 0;
    if (target < jitterBufferMs - 5 && ++lowerTargetFor >= 5) {
        lowerTargetFor = 0;
        qCInfo(lcVoice) << "jitter" << figures.jitterMs << "ms: buffer" << target << "ms";
        setJitterBuffer(target);
    } else if (target >= jitterBufferMs - 5) {
        lowerTargetFor = 0;
    }
}

double TGstVoiceLink::Impl::estimatedDelayMs(double roundTripMs) const
{
    // The peer's microphone side is taken to be like ours: a frame of its device, the codec's
    // look-ahead, and its processing when ours runs. Our speaker's stream plays each sample
    // after the queue's margin and what the stream holds on average; a sink of
    // a description plays it the jitter buffer, its own buffer less a period, and the time it
    // allows for the work later than it came (the receiving pipeline's latency).
    const bool processed = processing.echoCancellation || processing.noiseSuppression;
    const double sending = kFrameMs + kCodecLookaheadMs + (processed ? kProcessingDelayMs : 0.0);
    const double receiving = receive && receive->playout
                                 ? playoutMarginMs(jitterBufferMs) + receive->playout->HeldMs()
                                 : jitterBufferMs + kSinkBufferMs - kSinkPeriodMs + kSinkDeadlineMs;
    return roundTripMs / 2 + sending + receiving;
}

TGstVoiceLink::TGstVoiceLink(Options options) : d(std::make_unique<Impl>())
{
    d->options = std::move(options);
}

TGstVoiceLink::~TGstVoiceLink() = default;

bool TGstVoiceLink::Start(const TVoiceEndpoint& endpoint, const TVoiceProcessing& processing)
{
    Stop();
    if (!Impl::ensureGst())
        return false;
    const QString host = endpoint.host.trimmed();
    if (host.isEmpty() || endpoint.remotePort <= 0 || endpoint.remotePort > 65535 ||
        endpoint.localPort <= 0 || endpoint.localPort > 65535)
        return false;
    std::optional<PeerAddress> to = resolve(host, endpoint.remotePort);
    if (!to) {
        qCWarning(lcVoice) << "cannot resolve" << host;
        return false;
    }
    qCDebug(lcVoice) << "voice to" << host << endpoint.remotePort << "from port"
                     << endpoint.localPort;
    d->filter.setPeer(*to);
    {
        std::lock_guard lock(d->peerMutex);
        d->peer = std::move(to);
    }
    d->localPort = endpoint.localPort;
    d->processing = processing;
    if (endpoint.keys) {
        // An encrypted call never falls back to plain voice.
        d->srtpOut = SrtpContext::Make(endpoint.keys->out, SrtpContext::Direction::Outbound);
        d->srtpIn = SrtpContext::Make(endpoint.keys->in, SrtpContext::Direction::Inbound);
        if (!d->srtpOut || !d->srtpIn) {
            qCWarning(lcVoice) << "no SRTP session could be made; the voice does not start";
            d->srtpOut.reset();
            d->srtpIn.reset();
            return false;
        }
        qCInfo(lcVoice) << "voice as SRTP (AES-128-GCM), at a constant rate";
    }
    d->filter.restart();
    d->receiveStats.Reset();
    d->transmitStarted = false;
    d->nextSequence = quint16(QRandomGenerator::global()->generate());
    d->jitterBufferMs = kMinJitterBufferMs;
    d->lowerTargetFor = 0;
    d->raiseTargetFor = 0;
    d->trimsLogged = 0;
    // Receiving first: the echo canceller of the microphone needs what the speaker plays.
    const bool receiving = d->startDirection(TVoiceDevice::Speaker, d->wantedSpeaker);
    const bool sending = d->startDirection(TVoiceDevice::Microphone, d->wantedMicrophone);
    d->running = receiving || sending;
    if (d->running)
        d->adapt->start();
    d->updateRtcp();
    return d->running;
}

void TGstVoiceLink::Stop()
{
    d->adapt->stop();
    d->receive.reset();
    d->transmit.reset();
    d->processor.reset();
    d->active = {false, false};
    d->referencePlaying = false;
    d->running = false;
    d->updateRtcp();
    d->srtpOut.reset(); // the call's keys go with it
    d->srtpIn.reset();
}

bool TGstVoiceLink::Running() const
{
    return d->running;
}

void TGstVoiceLink::SetMicLevel(int level)
{
    level = qBound(0, level, 100);
    d->micLevel = level;
    if (d->transmit)
        g_object_set(d->transmit->volume.get(), "volume", level / 100.0, nullptr);
}

void TGstVoiceLink::SetSpeakerLevel(int level)
{
    level = qBound(0, level, 100);
    d->speakerLevel = level;
    if (d->receive)
        g_object_set(d->receive->volume.get(), "volume", level / 100.0, nullptr);
}

void TGstVoiceLink::SetDevices(const QString& microphone, const QString& speaker)
{
    d->wantedMicrophone = microphone;
    d->wantedSpeaker = speaker;
    if (!d->running)
        return;
    // Each direction that runs elsewhere moves; the other one is left alone.
    if (d->receive && d->receive->deviceName != speaker)
        d->restart(TVoiceDevice::Speaker, speaker);
    if (d->transmit && d->transmit->deviceName != microphone)
        d->restart(TVoiceDevice::Microphone, microphone);
}

TVoiceStats TGstVoiceLink::Stats() const
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
    if (d->receive)
        s.jitterBufferMs = d->jitterBufferMs;
    if (d->receive && s.roundTripMs >= 0)
        s.estimatedDelayMs = d->estimatedDelayMs(s.roundTripMs);
    if (d->srtpIn) {
        s.encrypted = true;
        s.authFailures = d->srtpIn->AuthFailures();
        s.replays = d->srtpIn->Replays();
    }
    return s;
}

void TGstVoiceLink::SetDeviceNoticeHandler(DeviceNoticeHandler handler)
{
    d->noticeHandler = std::move(handler);
}

quint64 TGstVoiceLink::PacketsSent() const
{
    return d->sent.load();
}

quint64 TGstVoiceLink::PacketsReceived() const
{
    return d->received.load();
}

quint32 TGstVoiceLink::StreamSource() const
{
    return d->ssrc;
}

TVoiceProcessing TGstVoiceLink::ActiveProcessing() const
{
    // Cancelling needs what the speaker plays.
    if (!d->transmit)
        return {false, false};
    return {d->active.echoCancellation && d->referencePlaying && d->receive != nullptr,
            d->active.noiseSuppression};
}

bool TGstVoiceLink::Sending() const
{
    return d->transmit != nullptr;
}

bool TGstVoiceLink::Receiving() const
{
    return d->receive != nullptr;
}

QString TGstVoiceLink::MicrophoneInUse() const
{
    return d->transmit ? d->transmit->deviceName : QString();
}

QString TGstVoiceLink::SpeakerInUse() const
{
    return d->receive ? d->receive->deviceName : QString();
}

int TGstVoiceLink::Restarts(TVoiceDevice device) const
{
    return device == TVoiceDevice::Microphone ? d->transmitRestarts : d->receiveRestarts;
}
