#pragma once

// Where voice goes, and which datagrams are voice from there.
#include "platform/voice/gst/HostAddress.h"

#include <QByteArray>
#include <QString>

#include <gst/gst.h>

#include <array>
#include <optional>

namespace voicelink {

struct PeerAddress : HostAddress
{
    QByteArray numericHost;
    int port = 0;
};

// The peer's address for a host name or dotted address (IPv4 preferred); nothing when unknown.
std::optional<PeerAddress> resolve(const QString& host, int port);
// The sender of a datagram, from udpsrc's address meta.
bool senderOf(GstBuffer* buffer, int& family, std::array<quint8, 16>& bytes);

} // namespace voicelink
