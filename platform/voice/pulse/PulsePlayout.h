#pragma once

#include "platform/voice/pulse/PulseConnection.h"
#include "platform/voice/streams/DeviceStreams.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

struct pa_stream;

namespace voicelink {

class PlayoutQueue;

// The speaker as a stream of the sound server's own, fed from a playout queue whenever the
// server asks: the server's buffer holds just the few milliseconds asked for, never a backlog,
// and whatever the network has not delivered in time is played as silence instead of
// stopping the stream. Works on PulseAudio and on PipeWire's PulseAudio server alike.
class PulsePlayout : public PlayoutStream
{
public:
    PulsePlayout(PlayoutQueue& queue, Played played, Failed failed);
    ~PulsePlayout() override;
    PulsePlayout(const PulsePlayout&) = delete;
    PulsePlayout& operator=(const PulsePlayout&) = delete;

    bool Start(const QString& device, int bufferMs, int requestMs, QString& why) override;
    // The buffer, and half a top-up on average.
    double HeldMs() const override { return bufferMs_ + requestMs_ / 2.0; }
    double LatencyMs() const override;

private:
    static void onState(pa_stream* s, void* self);
    static void onWrite(pa_stream* s, size_t bytes, void* self);

    PlayoutQueue& queue_;
    Played played_;
    PulseConnection connection_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> raised_{false};
    int bufferMs_ = 0;
    int requestMs_ = 0;
};

} // namespace voicelink
