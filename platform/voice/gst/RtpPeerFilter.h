#pragma once

#include "platform/voice/gst/HostAddress.h"
#include "platform/voice/gst/RtpStreamFollower.h"

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <mutex>
#include <optional>

namespace voicelink {

// Decides which datagrams reaching the voice port are voice from the call's peer, and what
// their RTP header is to say downstream. The peer is set from any thread; admit() and restart()
// belong to the one thread that receives (restart() also while nothing is being received).
class RtpPeerFilter
{
public:
    struct Admission
    {
        RtpStreamPosition position; // what the header is to carry downstream
        bool rewrite = false;       // position differs from the packet's own header
    };

    RtpPeerFilter(int payloadType, int clockRate) : payloadType_(payloadType), follower_(clockRate)
    {}

    void setPeer(const HostAddress& peer);
    // Nothing when the datagram is to be dropped.
    std::optional<Admission> admit(int senderFamily, const std::array<quint8, 16>& sender,
                                   const quint8* data, size_t size, qint64 nowUs);
    // Forgets the stream followed so far; a new receive session takes up the first it sees.
    void restart() { follower_.reset(); }
    // Whether a datagram from sender may be the peer's at all.
    bool fromPeer(int family, const std::array<quint8, 16>& sender) const;

private:
    const int payloadType_;
    mutable std::mutex peerMutex_;
    std::optional<HostAddress> peer_;
    RtpStreamFollower follower_;
};

} // namespace voicelink
