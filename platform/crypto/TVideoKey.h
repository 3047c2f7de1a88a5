#pragma once

#include "platform/crypto/TCallKeys.h"

#include <QtGlobal>

#include <array>
#include <optional>

// The AES-128-GCM key and IV of one epoch of a direction's pictures, from that direction's
// secret (HKDF-Expand with SHA-256, info "parlavue video" and the epoch), and the nonce of each
// sequence number: the IV with the number in its last six bytes, as TLS 1.3 makes its nonces.
struct TVideoKey
{
    std::array<unsigned char, 16> key{};
    std::array<unsigned char, 12> iv{};

    static std::optional<TVideoKey> Derive(const TCallKeys::TSecret& secret, quint16 epoch);
    std::array<unsigned char, 12> Nonce(quint64 sequence) const;
    void Wipe();
};
