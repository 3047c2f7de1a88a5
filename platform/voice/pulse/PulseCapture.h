#pragma once

#include "platform/voice/pulse/PulseConnection.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

struct pa_stream;

namespace voicelink {

// The microphone as a record stream of the sound server's own, read on its thread as soon as
// the server has a fragment, and handed on a whole frame at a time. Everything the server
// holds is taken at once, so no backlog builds up there; what comes after a stall longer than
// a few frames is cut to its newest frames, and the clock of what is handed on jumps with it.
class PulseCapture
{
public:
    // On the server's thread: a whole frame, and its time in samples since the stream began.
    using Frame = std::function<void(const int16_t* samples, size_t count, uint64_t at)>;

    static constexpr size_t kMaxBacklogFrames = 4;

    PulseCapture(size_t frameSamples, Frame frame, PulseConnection::Failed failed);
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Opens the device ("" the server's default), delivering fragments of fragmentMs, and
    // waits until it records or fails (at most a few seconds).
    bool Start(const QString& device, int fragmentMs, QString& why);
    // Samples cut after stalls.
    uint64_t Dropped() const { return dropped_.load(); }

private:
    static void onState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, size_t bytes, void* self);

    const size_t frame_;
    Frame deliver_;
    PulseConnection connection_;
    pa_stream* stream_ = nullptr;
    std::vector<int16_t> pending_; // the loop's thread only
    uint64_t at_ = 0;              // the loop's thread only
    std::atomic<uint64_t> dropped_{0};
    std::atomic<bool> raised_{false};
};

} // namespace voicelink
