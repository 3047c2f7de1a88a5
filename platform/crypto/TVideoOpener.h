#pragma once

#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TReplayWindow.h"
#include "platform/crypto/TVideoKey.h"

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

struct evp_cipher_ctx_st;

// Opens the peer's sealed pictures (see TVideoSealer): anything that is not a sealed datagram
// of this call, does not verify or was seen before is dropped and counted. The next epoch is
// taken once one of its datagrams verifies; the one before stays usable for a short while, for
// datagrams that were overtaken on the way.
class TVideoOpener
{
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds PreviousEpochKept{2000};

    explicit TVideoOpener(const TCallKeys::TSecret& secret, quint16 firstEpoch = 0);
    ~TVideoOpener();

    // The JPEG, or nothing.
    std::optional<QByteArray> Open(QByteArrayView datagram);
    // Datagrams that were not sealed for this call or did not verify, and those seen before.
    qint64 AuthFailures() const { return failures_; }
    qint64 Replays() const { return replays_; }
    // The time the kept epoch is measured by; tests set their own.
    std::function<TClock::time_point()> clock = [] { return TClock::now(); };

private:
    struct TEpoch
    {
        quint16 number = 0;
        TVideoKey key;
        TReplayWindow window;
        TClock::time_point retired{};
    };
    bool Decrypt(const TVideoKey& key, quint64 sequence, QByteArrayView datagram, QByteArray* out);
    std::optional<QByteArray> Fail();

    TCallKeys::TSecret secret_;
    std::optional<TEpoch> current_;
    std::optional<TEpoch> previous_;
    qint64 failures_ = 0;
    qint64 replays_ = 0;
    std::unique_ptr<evp_cipher_ctx_st, void (*)(evp_cipher_ctx_st*)> ctx_;
};
