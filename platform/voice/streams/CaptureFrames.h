#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace voicelink {

// The microphone's samples as the sound server hands them out, in pieces of any size, cut into
// whole frames for the encoder. What piles up in a stall is cut to the newest few frames, and
// the clock of what is handed on jumps with it, so a stall never leaves a step in the delay.
// Fed on the sound server's thread only.
class CaptureFrames
{
public:
    // A whole frame, and its time in samples since the stream began.
    using Frame = std::function<void(const int16_t* samples, size_t count, uint64_t at)>;

    static constexpr size_t kMaxBacklogFrames = 4;

    CaptureFrames(size_t frameSamples, Frame frame);

    void Add(const int16_t* samples, size_t count);
    // A hole (the server had nothing for a while): not voice, but the clock goes on.
    void Skip(size_t count) { at_ += count; }
    // Hands on every whole frame held, the newest few after a stall.
    void Deliver();
    // Samples cut after stalls.
    uint64_t Dropped() const { return dropped_.load(); }

private:
    const size_t frame_;
    Frame deliver_;
    std::vector<int16_t> pending_;
    uint64_t at_ = 0;
    std::atomic<uint64_t> dropped_{0};
};

} // namespace voicelink
