#include "platform/voice/gst/RtpReceiveStats.h"

#include <algorithm>
#include <cmath>

namespace voicelink {

void RtpReceiveStats::Start(quint32 ssrc, quint16 sequence)
{
    started_ = true;
    ssrc_ = ssrc;
    maxSequence_ = sequence;
    cycles_ = 0;
    baseSequence_ = sequence;
    badSequence_ = 0x10000 + 1;
    received_ = 0;
    expectedPrior_ = 0;
    receivedPrior_ = 0;
    haveTransit_ = false;
    jitter_ = 0;
}

void RtpReceiveStats::Reset()
{
    std::lock_guard guard(lock_);
    started_ = false;
}

void RtpReceiveStats::Received(quint32 ssrc, quint16 sequence, quint32 rtpTime, qint64 arrivalUs)
{
    std::lock_guard guard(lock_);
    if (!started_ || ssrc != ssrc_)
        Start(ssrc, sequence);
    const quint16 delta = quint16(sequence - maxSequence_);
    if (delta < MaxDropout) {
        if (sequence < maxSequence_)
            cycles_ += 0x10000; // wrapped
        maxSequence_ = sequence;
    } else if (delta <= 0x10000 - MaxMisorder) {
        // A big jump: the sender restarted, unless it is a stray. Two in a row make a restart.
        if (sequence != badSequence_) {
            badSequence_ = quint32(quint16(sequence + 1));
            return;
        }
        Start(ssrc, sequence);
    }
    // else a late or repeated packet: counted, the highest stays
    ++received_;

    const qint64 arrival = arrivalUs * clockRate_ / 1000000;
    const qint64 transit = arrival - qint64(rtpTime);
    if (haveTransit_) {
        // The timestamp wraps too: the difference is taken in 32 bits.
        const qint32 d = qint32(quint32(transit) - quint32(lastTransit_));
        jitter_ += (std::abs(double(d)) - jitter_) / 16.0;
    }
    lastTransit_ = transit;
    haveTransit_ = true;
}

std::optional<RtcpReportBlock> RtpReceiveStats::NextBlock()
{
    std::lock_guard guard(lock_);
    if (!started_)
        return std::nullopt;
    const quint64 extendedMax = quint64(cycles_) + maxSequence_;
    const quint64 expected = extendedMax - baseSequence_ + 1;
    const qint64 lost = qint64(expected) - qint64(received_);
    const qint64 expectedInterval = qint64(expected - expectedPrior_);
    const qint64 receivedInterval = qint64(received_ - receivedPrior_);
    const qint64 lostInterval = expectedInterval - receivedInterval;
    expectedPrior_ = expected;
    receivedPrior_ = received_;
    RtcpReportBlock b;
    b.ssrc = ssrc_;
    b.fractionLost = expectedInterval <= 0 || lostInterval <= 0
                         ? 0
                         : quint8(std::min<qint64>(255, (lostInterval << 8) / expectedInterval));
    b.cumulativeLost = qint32(std::clamp<qint64>(lost, -0x800000, 0x7fffff));
    b.highestSequence = quint32(extendedMax);
    b.jitter = quint32(jitter_);
    return b;
}

RtpReceiveStats::Figures RtpReceiveStats::Now() const
{
    std::lock_guard guard(lock_);
    Figures f;
    if (!started_)
        return f;
    const quint64 expected = quint64(cycles_) + maxSequence_ - baseSequence_ + 1;
    f.any = true;
    f.ssrc = ssrc_;
    f.received = received_;
    f.lost = qint64(expected) - qint64(received_);
    f.lossPercent = expected == 0 ? 0 : std::max<qint64>(0, f.lost) * 100.0 / double(expected);
    f.jitterMs = jitter_ * 1000.0 / clockRate_;
    return f;
}

} // namespace voicelink
