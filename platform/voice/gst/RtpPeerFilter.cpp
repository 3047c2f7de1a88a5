#include "platform/voice/gst/RtpPeerFilter.h"

#include "platform/voice/gst/RtpPacket.h"

namespace voicelink {

void RtpPeerFilter::setPeer(const HostAddress& peer)
{
    std::lock_guard lock(peerMutex_);
    peer_ = peer;
}

bool RtpPeerFilter::fromPeer(int family, const std::array<quint8, 16>& sender) const
{
    std::lock_guard lock(peerMutex_);
    return peer_ && peer_->sameHost(family, sender);
}

std::optional<RtpPeerFilter::Admission> RtpPeerFilter::admit(int senderFamily,
                                                             const std::array<quint8, 16>& sender,
                                                             const quint8* data, size_t size,
                                                             qint64 nowUs)
{
    // Only the peer's well-formed packets may reach the follower: anything else taking it over
    // would cut the call's voice for the hold time.
    if (!fromPeer(senderFamily, sender) || !data || !plausibleRtp(data, size, payloadType_))
        return std::nullopt;
    const RtpStreamPosition in = readPosition(data);
    const std::optional<RtpStreamPosition> out = follower_.admit(in, nowUs);
    if (!out)
        return std::nullopt;
    return Admission{*out, *out != in};
}

} // namespace voicelink
