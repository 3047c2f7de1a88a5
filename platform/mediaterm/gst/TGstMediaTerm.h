#pragma once

#include "voice/CCNSMTLib_TLB.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// The voice terminal: microphone -> Opus/RTP -> UDP to the peer, and UDP from the peer ->
// jitter buffer -> Opus -> speaker, on GStreamer pipelines.
class TGstMediaTerm : public ICCNMediaTerm
{
public:
    // Echo cancellation and noise suppression of the microphone, read as each call starts.
    struct Processing
    {
        bool echoCancellation = true;
        bool noiseSuppression = true;
    };

    struct Options
    {
        // GStreamer element descriptions replacing the default devices (pulsesrc / pulsesink);
        // empty means the real devices. Tests use e.g. "audiotestsrc is-live=true freq=1000".
        QString sourceDescription;
        QString sinkDescription;
        // Called on a streaming thread with each buffer of decoded voice that would be played
        // (S16LE mono 48 kHz), after the receive level is applied.
        std::function<void(const QByteArray& pcm)> playedTap;
        // What to apply to the microphone; unset, both are on.
        std::function<Processing()> processing;
    };

    explicit TGstMediaTerm(Options options = {});
    ~TGstMediaTerm() override;

    qint32 InitializeTerminal() override;
    qint32 UninitializeTerminal() override;
    qint32 ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d) override;
    qint32 ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d, qint32 e, qint32 f) override;
    qint32 SetRemoteAddress(const QString& host, qint32 port) override;
    qint32 SetLocalPort(qint32 port) override;
    qint32 StartTransmit(qint32 mode) override;
    qint32 StopTransmit() override;
    qint32 StartReceive(qint32 mode) override;
    qint32 StopReceive() override;
    qint32 SetReceiveVolume(qint32 channel, qint32 level) override;
    qint32 SetTransmitVolume(qint32 channel, qint32 level) override;
    void SetDeviceErrorHandler(DeviceErrorHandler handler) override;
    TVoiceStats VoiceStats() const override;

    // Counters for diagnostics and tests.
    quint64 PacketsSent() const;
    quint64 PacketsReceived() const;
    // The SSRC of what we send.
    quint32 StreamSource() const;
    // What the running microphone path applies (both false when it is not running).
    Processing ActiveProcessing() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
