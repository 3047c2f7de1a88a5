#pragma once

// The voice path's frame and buffer sizes: every millisecond here is mouth-to-ear delay
// (bench/VoiceLatency_bench measures the whole path against the sound server's own loopback).
namespace voicelink {

constexpr int kRateHz = 48000;
constexpr int kPayloadType = 96;
constexpr int kFrameMs = 10; // one Opus frame, one RTP packet, one fragment of the microphone
// The speaker's stream on the sound server: what it holds, topped up this often. Less than
// 6 ms gained nothing measurable here and leaves nothing for a busy machine.
constexpr int kPlayoutBufferMs = 6;
constexpr int kPlayoutRequestMs = 3;
// Sinks of GStreamer descriptions that replace the devices (tests): their buffers, and the time
// a sink allows for the work before it.
constexpr int kSourceBufferMs = 20;
constexpr int kSourcePeriodMs = 10;
constexpr int kSinkBufferMs = 30;
constexpr int kSinkPeriodMs = 10;
constexpr int kSinkDeadlineMs = 5;
constexpr double kCodecLookaheadMs = 2.5; // Opus in its low-delay mode
// What echo cancellation and noise suppression hold the microphone back: the library's own
// algorithm (bench/VoiceProcessing_bench: 7 ms suppression, 8 ms canceller); bench/
// VoiceLatency_bench finds 14 to 16 ms more with both on than with both off.
constexpr double kProcessingDelayMs = 15;
// The jitter buffer's bounds; between them it follows twice the measured jitter. The speaker's
// queue keeps a little less at its lowest: the jitter buffer already waits for late packets.
constexpr int kMinJitterBufferMs = 5;
constexpr int kMaxJitterBufferMs = 150;
constexpr int kMinPlayoutMarginMs = 2;

constexpr int playoutMarginMs(int jitterBufferMs)
{
    return jitterBufferMs - 3 > kMinPlayoutMarginMs ? jitterBufferMs - 3 : kMinPlayoutMarginMs;
}

} // namespace voicelink
