#pragma once

#include "platform/voice/IVoiceLink.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// The voice link on GStreamer: microphone -> Opus/RTP -> UDP to the peer, and UDP from the
// peer -> jitter buffer -> Opus -> speaker, with echo cancellation and noise suppression of the
// microphone and RTCP beside.
class TGstVoiceLink : public IVoiceLink
{
public:
    struct Options
    {
        // GStreamer element descriptions replacing the sound server's devices; empty means the
        // real devices. Tests use e.g. "audiotestsrc is-live=true freq=1000".
        QString sourceDescription;
        QString sinkDescription;
        // Called on a streaming thread with each buffer of decoded voice that would be played
        // (S16LE mono 48 kHz), after the speaker level is applied, when it is heard.
        std::function<void(const QByteArray& pcm)> playedTap;
    };

    explicit TGstVoiceLink(Options options = {});
    ~TGstVoiceLink() override;
    TGstVoiceLink(const TGstVoiceLink&) = delete;
    TGstVoiceLink& operator=(const TGstVoiceLink&) = delete;

    bool Start(const TVoiceEndpoint& endpoint, const TVoiceProcessing& processing) override;
    void Stop() override;
    bool Running() const override;
    void SetMicLevel(int level) override;
    void SetSpeakerLevel(int level) override;
    void SetDevices(const QString& microphone, const QString& speaker) override;
    TVoiceStats Stats() const override;
    void SetDeviceNoticeHandler(DeviceNoticeHandler handler) override;

    // For diagnostics and tests.
    quint64 PacketsSent() const;
    quint64 PacketsReceived() const;
    quint32 StreamSource() const; // the SSRC of what we send
    // What the running microphone path applies (both false when it is not running).
    TVoiceProcessing ActiveProcessing() const;
    // Which directions run now.
    bool Sending() const;
    bool Receiving() const;
    // The devices the running directions opened (empty: the default, or not running).
    QString MicrophoneInUse() const;
    QString SpeakerInUse() const;
    // Starts a direction of a running call afresh (after a device error, a device change).
    int Restarts(TVoiceDevice device) const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
