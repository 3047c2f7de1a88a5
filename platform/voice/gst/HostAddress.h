#pragma once

// A host as datagram senders are compared with it: address family and address bytes.
#include <QtGlobal>

#include <array>
#include <cstring>
#include <sys/socket.h>

namespace voicelink {

struct HostAddress
{
    int family = AF_UNSPEC;
    // IPv4 uses the first four bytes.
    std::array<quint8, 16> bytes{};

    bool sameHost(int otherFamily, const std::array<quint8, 16>& other) const
    {
        const size_t n = family == AF_INET ? 4 : 16;
        return family == otherFamily && std::memcmp(bytes.data(), other.data(), n) == 0;
    }
};

} // namespace voicelink
