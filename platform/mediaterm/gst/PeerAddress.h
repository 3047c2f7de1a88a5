#pragma once

// Where voice goes, and which datagrams are voice from there.
#include <QByteArray>
#include <QString>

#include <gst/gst.h>

#include <array>
#include <cstring>
#include <optional>
#include <sys/socket.h>

namespace mediaterm {

struct PeerAddress
{
    int family = AF_UNSPEC;
    std::array<quint8, 16> bytes{};
    QByteArray numericHost;
    int port = 0;

    bool sameHost(int otherFamily, const std::array<quint8, 16>& other) const
    {
        const size_t n = family == AF_INET ? 4 : 16;
        return family == otherFamily && std::memcmp(bytes.data(), other.data(), n) == 0;
    }
};

// The peer's address for a host name or dotted address (IPv4 preferred); nothing when unknown.
std::optional<PeerAddress> resolve(const QString& host, int port);
// The sender of a datagram, from udpsrc's address meta.
bool senderOf(GstBuffer* buffer, int& family, std::array<quint8, 16>& bytes);
// A plausible Opus RTP packet of the given payload type.
bool plausibleRtp(const quint8* p, gsize size, int payloadType);

} // namespace mediaterm
