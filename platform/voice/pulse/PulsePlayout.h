#pragma once

#include "platform/voice/pulse/PulseConnection.h"

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
class PulsePlayout
{
public:
    // Called on the server's thread with what goes to the device, as it goes (the echo
    // canceller's reference).
    using Played = std::function<void(const int16_t* samples, size_t count)>;

    PulsePlayout(PlayoutQueue& queue, Played played, PulseConnection::Failed failed);
    ~PulsePlayout();
    PulsePlayout(const PulsePlayout&) = delete;
    PulsePlayout& operator=(const PulsePlayout&) = delete;

    // Opens the device ("" the server's default) with a buffer of bufferMs, topped up in
    // steps of requestMs, and waits until it plays or fails (at most a few seconds).
    bool Start(const QString& device, int bufferMs, int requestMs, QString& why);
    // What the server says the stream's samples wait before they are heard, -1 not known.
    double LatencyMs() const;

private:
    static void onState(pa_stream* s, void* self);
    static void onWrite(pa_stream* s, size_t bytes, void* self);

    PlayoutQueue& queue_;
    Played played_;
    PulseConnection connection_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> raised_{false};
};

} // namespace voicelink
