#pragma once

#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TVideoKey.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

struct evp_cipher_ctx_st;

// Seals the pictures of one direction of an encrypted call, one datagram each: a 12-byte
// header ("PV", version 1, a reserved zero, the epoch, the sequence number within it), the JPEG
// encrypted with AES-128-GCM under the header, and the tag. Sequence numbers only go up; every
// EpochLength datagrams a new key is derived, long before one key could wear out.
class TVideoSealer
{
public:
    static constexpr int HeaderSize = 12;
    static constexpr int TagSize = 16;
    static constexpr int Overhead = HeaderSize + TagSize;
    static constexpr quint64 EpochLength = quint64(1) << 20;
    static constexpr unsigned char Version = 1;

    // firstEpoch: where the numbering starts (0 for a call; later ones try the epoch change).
    explicit TVideoSealer(const TCallKeys::TSecret& secret, quint16 firstEpoch = 0);
    ~TVideoSealer();

    // The sealed datagram; empty once the last number of the last epoch is spent (or the
    // cipher failed), after which nothing more is sealed.
    QByteArray Seal(QByteArrayView jpeg);
    quint16 Epoch() const { return epoch_; }

private:
    bool Rekey(quint16 epoch);

    TCallKeys::TSecret secret_;
    TVideoKey key_;
    quint16 epoch_ = 0;
    quint64 sequence_ = 0;
    bool spent_ = false;
    std::unique_ptr<evp_cipher_ctx_st, void (*)(evp_cipher_ctx_st*)> ctx_;
};
