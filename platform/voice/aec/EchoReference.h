#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace voicelink {

// What the speaker is playing, as it is played, for the echo canceller on the microphone's
// thread. Written on the speaker's streaming thread, read on the microphone's; bounded, so
// a microphone that stops reading costs no more than kMaxSamples.
class EchoReference
{
public:
    static constexpr size_t kMaxSamples = 48000 / 2; // 500 ms at 48 kHz

    void Push(const int16_t* samples, size_t count);
    // Moves every whole frame of frameSamples that is waiting into out (appended); what is
    // left over stays for the next call.
    size_t TakeFrames(size_t frameSamples, std::vector<int16_t>& out);
    void Clear();
    size_t Waiting() const;
    // Samples thrown away because nobody read them in time.
    uint64_t Dropped() const;

private:
    mutable std::mutex mutex;
    std::vector<int16_t> ring = std::vector<int16_t>(kMaxSamples);
    size_t head = 0; // oldest sample
    size_t size = 0;
    uint64_t dropped = 0;
};

} // namespace voicelink
