// How long echo cancellation and noise suppression hold the microphone back, apart from any
// device or network: a sweep goes through VoiceProcessor in 10 ms frames and the lag of the
// output against the input is found by cross-correlation. The sweep repeats at no fixed period,
// so the lag is not ambiguous by a tone's cycle. Compared with "neither" in the same run.
#include "platform/voice/aec/EchoReference.h"
#include "platform/voice/aec/VoiceProcessor.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using voicelink::EchoReference;
using voicelink::VoiceProcessor;

namespace {

constexpr int kRate = VoiceProcessor::kRate;
constexpr size_t kFrame = VoiceProcessor::kFrame;
constexpr int kSeconds = 3;

std::vector<int16_t> sweep()
{
    std::vector<int16_t> s(size_t(kRate) * kSeconds);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double hz = 300 + 2000 * std::fmod(t * 1.7, 1.0);
        phase += 2 * std::numbers::pi * hz / kRate;
        const double envelope = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 3 * t);
        s[i] = int16_t(5000 * envelope * std::sin(phase));
    }
    return s;
}

// Returns the lag in samples, or -1 when the output has nothing of the input in it.
int lagOf(bool echo, bool noise, const std::vector<int16_t>& in)
{
    EchoReference reference;
    VoiceProcessor processor(echo, noise, echo ? &reference : nullptr);
    std::vector<int16_t> out = in;
    const std::vector<int16_t> silence(kFrame, 0);
    for (size_t at = 0; at + kFrame <= out.size(); at += kFrame) {
        if (echo)
            reference.Push(silence.data(), silence.size());
        processor.Process(out.data() + at, kFrame);
    }
    // The second half, once the suppressor has settled.
    const size_t from = in.size() / 2, span = in.size() / 3;
    int best = -1;
    double bestScore = 0;
    for (int lag = 0; lag < kRate / 20; ++lag) {
        double score = 0;
        for (size_t i = 0; i < span; ++i)
            score += double(in[from + i]) * out[from + i + size_t(lag)];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

} // namespace

int main()
{
    const std::vector<int16_t> in = sweep();
    struct Case
    {
        const char* name;
        bool echo, noise;
    };
    const Case cases[] = {{"neither (high-pass only)", false, false},
                          {"noise suppression", false, true},
                          {"echo cancellation", true, false},
                          {"both (a call's default)", true, true}};
    std::printf("voice processing delay at %d Hz, 10 ms frames\n", kRate);
    for (const Case& c : cases) {
        const int lag = lagOf(c.echo, c.noise, in);
        if (lag < 0)
            std::printf("%-26s no correlation\n", c.name);
        else
            std::printf("%-26s %4d samples = %5.2f ms\n", c.name, lag, 1000.0 * lag / kRate);
    }
    return 0;
}
