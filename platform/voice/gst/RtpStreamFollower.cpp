#include "platform/voice/gst/RtpStreamFollower.h"

namespace voicelink {

std::optional<RtpStreamPosition> RtpStreamFollower::admit(const RtpStreamPosition& in, qint64 nowUs)
{
    const qint64 quietUs = nowUs - lastAdmittedUs_;
    if (!following_) {
        presentedSsrc_ = in.ssrc;
        seqOffset_ = 0;
        timestampOffset_ = 0;
    } else if (*following_ != in.ssrc) {
        if (quietUs < kHoldUs)
            return std::nullopt;
        const auto elapsed = quint32(quietUs * clockRate_ / 1000000);
        seqOffset_ = quint16(newest_.seq + 1 - in.seq);
        timestampOffset_ = newest_.timestamp + elapsed - in.timestamp;
    }
    const bool newStream = following_ != in.ssrc;
    following_ = in.ssrc;

    const RtpStreamPosition out{quint16(in.seq + seqOffset_), in.timestamp + timestampOffset_,
                                presentedSsrc_};
    // Reordered packets must not pull the continuation point back.
    if (newStream || qint16(out.seq - newest_.seq) > 0)
        newest_ = out;
    lastAdmittedUs_ = nowUs;
    return out;
}

void RtpStreamFollower::reset()
{
    following_.reset();
    lastAdmittedUs_ = 0;
}

RtpStreamPosition readPosition(const quint8* p)
{
    const auto word = [p](int at) {
        return (quint32(p[at]) << 24) | (quint32(p[at + 1]) << 16) | (quint32(p[at + 2]) << 8) |
               p[at + 3];
    };
    return {quint16((p[2] << 8) | p[3]), word(4), word(8)};
}

void writePosition(quint8* p, const RtpStreamPosition& position)
{
    const auto put = [p](int at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            p[at + i] = quint8(value >> (24 - 8 * i));
    };
    p[2] = quint8(position.seq >> 8);
    p[3] = quint8(position.seq);
    put(4, position.timestamp);
    put(8, position.ssrc);
}

} // namespace voicelink
