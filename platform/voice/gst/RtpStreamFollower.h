#pragma once

#include <QtGlobal>

#include <optional>

namespace voicelink {

// The fields of an RTP header that tell one stream from another and order its packets.
struct RtpStreamPosition
{
    quint16 seq = 0;
    quint32 timestamp = 0;
    quint32 ssrc = 0;

    bool operator==(const RtpStreamPosition&) const = default;
};

// Sequence number, timestamp and SSRC of an RTP header of at least 12 bytes.
RtpStreamPosition readPosition(const quint8* p);
void writePosition(quint8* p, const RtpStreamPosition& position);

// Follows one stream from the peer at a time. Another SSRC is taken up only once the current
// one has been quiet for the hold time (the peer restarted sending), and every stream taken up
// is presented as the continuation of the first: same SSRC, the next sequence number, and a
// timestamp that has advanced by the time that passed. The jitter buffer behind it then never
// resets or waits for a run of packets, which would cut the voice for a while.
class RtpStreamFollower
{
public:
    static constexpr qint64 kHoldUs = 500 * 1000;

    explicit RtpStreamFollower(int clockRate) : clockRate_(clockRate) {}

    // What the packet is to look like downstream, or nothing when it is to be dropped.
    std::optional<RtpStreamPosition> admit(const RtpStreamPosition& in, qint64 nowUs);
    void reset();

private:
    int clockRate_;
    std::optional<quint32> following_;
    quint32 presentedSsrc_ = 0;
    quint16 seqOffset_ = 0;
    quint32 timestampOffset_ = 0;
    RtpStreamPosition newest_;
    qint64 lastAdmittedUs_ = 0;
};

} // namespace voicelink
