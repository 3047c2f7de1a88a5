#include "platform/voice/aec/VoiceProcessor.h"

#include "platform/logging/Logging.h"
#include "platform/voice/aec/EchoReference.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>

namespace voicelink {

namespace {

void fill(webrtc::AudioFrame& f, const int16_t* samples)
{
    f.num_channels_ = 1;
    f.sample_rate_hz_ = VoiceProcessor::kRate;
    f.samples_per_channel_ = VoiceProcessor::kFrame;
    std::copy_n(samples, VoiceProcessor::kFrame, f.data_);
}

} // namespace

VoiceProcessor::VoiceProcessor(bool echoCancellation, bool noiseSuppression,
                               EchoReference* reference_, int referenceLeadMs)
    : echo(echoCancellation && reference_ != nullptr), noise(noiseSuppression),
      reference(reference_), leadMs(std::clamp(referenceLeadMs, 0, 500)),
      nearFrame(std::make_unique<webrtc::AudioFrame>()),
      farFrame(std::make_unique<webrtc::AudioFrame>())
{
    // The extended filter covers about 128 ms of echo path instead of 48; delay-agnostic lets
    // it follow a longer path from the signals after a while. Both must be given at creation.
    webrtc::Config config;
    config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
    config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
    apm.reset(webrtc::AudioProcessing::Create(config));
    if (!apm)
        return;
    webrtc::ProcessingConfig streams;
    for (webrtc::StreamConfig& s : streams.streams)
        s = webrtc::StreamConfig(kRate, 1, false);
    int err = apm->Initialize(streams);
    err = err ? err : apm->high_pass_filter()->Enable(true);
    if (echo) {
        webrtc::EchoCancellation* ec = apm->echo_cancellation();
        err = err ? err : ec->enable_drift_compensation(false);
        err = err ? err : ec->set_suppression_level(webrtc::EchoCancellation::kModerateSuppression);
        err = err ? err : ec->enable_delay_logging(true);
        err = err ? err : ec->Enable(true);
    }
    if (noise) {
        webrtc::NoiseSuppression* ns = apm->noise_suppression();
        err = err ? err : ns->set_level(webrtc::NoiseSuppression::kModerate);
        err = err ? err : ns->Enable(true);
    }
    if (err) {
        qCWarning(lcVoice) << "voice processing failed to start:" << err;
        apm.reset();
    }
}

VoiceProcessor::~VoiceProcessor() = default;

void VoiceProcessor::Process(int16_t* samples, size_t count)
{
    if (!apm || count == 0)
        return;
    // Buffers that are not whole frames need one frame in hand, or the output would run dry
    // between frames.
    if (!padded && count % kFrame != 0) {
        pendingOut.insert(pendingOut.begin(), kFrame, 0);
        padded = true;
        qCInfo(lcVoice) << "microphone buffers of" << count
                        << "samples are not whole frames: processing holds one frame back";
    }
    pendingIn.insert(pendingIn.end(), samples, samples + count);
    size_t used = 0;
    for (; pendingIn.size() - used >= kFrame; used += kFrame) {
        processFrame(pendingIn.data() + used);
        pendingOut.insert(pendingOut.end(), pendingIn.begin() + std::ptrdiff_t(used),
                          pendingIn.begin() + std::ptrdiff_t(used + kFrame));
    }
    pendingIn.erase(pendingIn.begin(), pendingIn.begin() + std::ptrdiff_t(used));

    const size_t have = std::min(pendingOut.size(), count);
    std::fill_n(samples, count - have, int16_t(0));
    std::copy_n(pendingOut.begin(), have, samples + (count - have));
    pendingOut.erase(pendingOut.begin(), pendingOut.begin() + std::ptrdiff_t(have));
}

void VoiceProcessor::processFrame(int16_t* frame)
{
    if (echo) {
        played.clear();
        const size_t n = reference->TakeFrames(kFrame, played);
        for (size_t i = 0; i < n; ++i) {
            fill(*farFrame, played.data() + i * kFrame);
            apm->AnalyzeReverseStream(farFrame.get());
        }
        // What is left after the lead is the way from the speaker into the microphone, which
        // the filter itself finds.
        apm->set_stream_delay_ms(leadMs);
    }
    fill(*nearFrame, frame);
    if (apm->ProcessStream(nearFrame.get()) == webrtc::AudioProcessing::kNoError)
        std::copy_n(nearFrame->data_, kFrame, frame);
    if (echo && ++frames % 500 == 0)
        qCDebug(lcVoice) << "echo canceller: echo found" << EchoDelayMs() << "ms after the speaker";
}

int VoiceProcessor::EchoDelayMs() const
{
    int median = -1, deviation = 0;
    float poor = 0;
    if (!apm || !echo || apm->echo_cancellation()->GetDelayMetrics(&median, &deviation, &poor) != 0)
        return -1;
    return median;
}

} // namespace voicelink
