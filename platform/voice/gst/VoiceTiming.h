#pragma once

// The voice path's frame and buffer sizes: every millisecond here is mouth-to-ear delay. The
// device buffers are the smallest the sound server serves here without underruns.
namespace voicelink {

constexpr int kRateHz = 48000;
constexpr int kPayloadType = 96;
constexpr int kFrameMs = 10;              // one Opus frame, one RTP packet
constexpr int kSourceBufferMs = 20;       // the microphone's buffer ...
constexpr int kSourcePeriodMs = 10;       // ... read a frame at a time
constexpr int kSinkBufferMs = 30;         // the speaker's buffer ...
constexpr int kSinkPeriodMs = 10;         // ... filled a frame at a time
constexpr int kSinkDeadlineMs = 5;        // the time a sink allows for the work before it
constexpr double kCodecLookaheadMs = 2.5; // Opus in its low-delay mode
// What echo cancellation or noise suppression holds the microphone back (measured with
// bench/VoiceLatency_bench: each alone about 15 ms, both together 17 to 21 ms). The library's
// own algorithm is 14 of those (bench/VoiceProcessing_bench: 7 ms suppression, 8 ms canceller).
constexpr double kProcessingDelayMs = 17;
// The jitter buffer's bounds; between them it follows twice the measured jitter.
constexpr int kMinJitterBufferMs = 5;
constexpr int kMaxJitterBufferMs = 150;

} // namespace voicelink
