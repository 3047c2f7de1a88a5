#pragma once

#include <QtGlobal>

// How the voice of a call fares, from the link's own counters and the RTCP reports of the two
// sides. A figure not known yet is negative.
struct TVoiceStats
{
    quint64 packetsSent = 0;
    quint64 packetsReceived = 0;
    // From the peer's reports on what we send: whether any came, the round trip, and the share
    // of our packets the peer lost (percent, over the last report interval).
    bool peerReports = false;
    double roundTripMs = -1;
    double peerLossPercent = -1;
    // Measured here on what the peer sends: the share lost (percent, over the whole call so far)
    // and the interarrival jitter.
    double lossPercent = -1;
    double jitterMs = -1;
    // How long the jitter buffer holds the peer's voice now.
    double jitterBufferMs = -1;
    // Mouth to ear, estimated: half the round trip, the jitter buffer, and the device and codec
    // buffers of both ends (the peer's taken to be like ours). Known once the round trip is.
    double estimatedDelayMs = -1;
    // An encrypted call's: whether the voice goes as SRTP, and the peer's packets (and reports)
    // that did not verify or were seen before.
    bool encrypted = false;
    quint64 authFailures = 0;
    quint64 replays = 0;
};
