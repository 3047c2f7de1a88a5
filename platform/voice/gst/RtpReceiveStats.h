#pragma once

// What arrives of the peer's voice stream, counted as RFC 3550 (appendix A.1, A.3, A.8) counts
// it for receiver reports: the extended highest sequence number, packets expected and lost,
// and the interarrival jitter. Received() runs on the receiving thread, the rest anywhere.
#include "platform/voice/gst/RtcpPacket.h"

#include <QtGlobal>

#include <mutex>
#include <optional>

namespace voicelink {

class RtpReceiveStats
{
public:
    explicit RtpReceiveStats(int clockRate) : clockRate_(clockRate) {}

    void Received(quint32 ssrc, quint16 sequence, quint32 rtpTime, qint64 arrivalUs);
    void Reset();

    // The block for the next report (the fraction lost is since the previous call); nothing
    // before the first packet.
    std::optional<RtcpReportBlock> NextBlock();

    struct Figures
    {
        bool any = false;
        quint32 ssrc = 0;
        quint64 received = 0;
        qint64 lost = 0;
        double lossPercent = 0; // of the expected, over the whole stream
        double jitterMs = 0;
    };
    Figures Now() const;

private:
    void Start(quint32 ssrc, quint16 sequence);

    // A jump of more than this many numbers forward is a new start, unless it repeats.
    static constexpr int MaxDropout = 3000;
    static constexpr int MaxMisorder = 100;

    const int clockRate_;
    mutable std::mutex lock_;
    bool started_ = false;
    quint32 ssrc_ = 0;
    quint16 maxSequence_ = 0;
    quint32 cycles_ = 0;
    quint32 baseSequence_ = 0;
    quint32 badSequence_ = 0x10000 + 1; // none
    quint64 received_ = 0;
    quint64 expectedPrior_ = 0;
    quint64 receivedPrior_ = 0;
    bool haveTransit_ = false;
    qint64 lastTransit_ = 0;
    double jitter_ = 0; // timestamp units
};

} // namespace voicelink
