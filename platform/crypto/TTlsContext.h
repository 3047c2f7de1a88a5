#pragma once

#include <QString>

#include <memory>

class TIdentity;
struct ssl_ctx_st;

// What both ends of a secure channel use: TLS 1.3 only, fixed suites, this copy's own key in a
// certificate made from it at each start (never stored), and the peer's certificate asked for
// and accepted when it is a single self-signed Ed25519 one; whether its key is the one
// expected is decided by the caller after the handshake. No session tickets: every channel
// makes fresh keys. Immutable once made, so channels on any thread share it.
class TTlsContext
{
public:
    static constexpr const char* Protocol = "parlavue/1"; // ALPN

    // Null, with the reason in *error, when the identity is not usable or OpenSSL refuses.
    static std::shared_ptr<const TTlsContext> Make(const TIdentity& identity, QString* error);
    ~TTlsContext();

    ssl_ctx_st* Get() const { return ctx_; }

private:
    explicit TTlsContext(ssl_ctx_st* ctx) : ctx_(ctx) {}
    ssl_ctx_st* ctx_;
};
