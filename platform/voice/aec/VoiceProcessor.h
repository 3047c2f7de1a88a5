#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace webrtc {
class AudioProcessing;
struct AudioFrame;
} // namespace webrtc

namespace voicelink {

class EchoReference;

// Echo cancellation and noise suppression of the microphone (WebRTC's audio processing), on
// 48 kHz mono S16 samples. The library works in 10 ms frames; buffers of other sizes are
// carried over, at the cost of one frame of delay.
//
// Process() runs on the microphone's streaming thread only. The speaker's samples come in
// through the EchoReference a fixed lead before they are heard; the canceller's filter then
// covers the way from the speaker into the microphone, up to about 120 ms. The lead keeps the
// canceller from running out of speaker samples between bursts of them.
class VoiceProcessor
{
public:
    static constexpr int kRate = 48000;
    static constexpr size_t kFrame = kRate / 100;

    // reference may be null when echoCancellation is off; it must outlive the processor.
    // referenceLeadMs: how long before it is heard a sample reaches the reference.
    VoiceProcessor(bool echoCancellation, bool noiseSuppression, EchoReference* reference,
                   int referenceLeadMs = 0);
    ~VoiceProcessor();
    VoiceProcessor(const VoiceProcessor&) = delete;
    VoiceProcessor& operator=(const VoiceProcessor&) = delete;

    // False when the library would not start; Process() then leaves the samples alone.
    bool Ok() const { return apm != nullptr; }
    bool EchoCancellation() const { return echo; }
    bool NoiseSuppression() const { return noise; }

    void Process(int16_t* samples, size_t count);

    // Where the canceller found the echo, in ms after the speaker's sample (-1 unknown).
    // Microphone thread only.
    int EchoDelayMs() const;

private:
    void processFrame(int16_t* frame);

    const bool echo;
    const bool noise;
    EchoReference* const reference;
    const int leadMs;
    std::unique_ptr<webrtc::AudioProcessing> apm;
    std::unique_ptr<webrtc::AudioFrame> nearFrame;
    std::unique_ptr<webrtc::AudioFrame> farFrame;
    std::vector<int16_t> pendingIn;
    std::vector<int16_t> pendingOut;
    std::vector<int16_t> played;
    bool padded = false;
    uint64_t frames = 0;
};

} // namespace voicelink
