#include "platform/crypto/TTlsContext.h"

#include "platform/crypto/TIdentity.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstring>

namespace {

QString OpenSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QLatin1String(text));
}

struct TX509Free
{
    void operator()(X509* x) const { X509_free(x); }
};

// A certificate for the key, signed by itself: peers judge the key, never the certificate.
std::unique_ptr<X509, TX509Free> MakeCertificate(EVP_PKEY* key)
{
    std::unique_ptr<X509, TX509Free> cert(X509_new());
    unsigned char serial[16];
    if (!cert || RAND_bytes(serial, sizeof serial) != 1)
        return nullptr;
    serial[0] &= 0x7f; // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool ok =
        number && X509_set_version(cert.get(), X509_VERSION_3) &&
        BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get())) &&
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400) &&
        ASN1_TIME_set_string(X509_getm_notAfter(cert.get()), "99991231235959Z") &&
        X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("Parlavue"), -1, -1, 0) &&
        X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get())) &&
        X509_set_pubkey(cert.get(), key) && X509_sign(cert.get(), key, nullptr) > 0;
    BN_free(number);
    return ok ? std::move(cert) : nullptr;
}

// Any single self-signed Ed25519 certificate will do, whatever its dates: the handshake proves
// the peer holds the key, and the key is judged after it.
int AcceptSelfSigned(int, X509_STORE_CTX* store)
{
    if (X509_STORE_CTX_get_error_depth(store) != 0)
        return 0;
    X509* cert = X509_STORE_CTX_get_current_cert(store);
    const EVP_PKEY* key = cert ? X509_get0_pubkey(cert) : nullptr;
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_ED25519)
        return 0;
    switch (X509_STORE_CTX_get_error(store)) {
    case X509_V_OK:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    default:
        return 0;
    }
}

int SelectProtocol(SSL*, const unsigned char** out, unsigned char* outLength,
                   const unsigned char* in, unsigned int inLength, void*)
{
    const size_t ours = std::strlen(TTlsContext::Protocol);
    for (unsigned int i = 0; i < inLength; i += 1u + in[i]) {
        if (i + 1u + in[i] > inLength)
            break;
        if (in[i] == ours && std::memcmp(in + i + 1, TTlsContext::Protocol, ours) == 0) {
            *out = in + i + 1;
            *outLength = in[i];
            return SSL_TLSEXT_ERR_OK;
        }
    }
    return SSL_TLSEXT_ERR_ALERT_FATAL;
}

} // namespace

std::shared_ptr<const TTlsContext> TTlsContext::Make(const TIdentity& identity, QString* error)
{
    if (!identity.Usable()) {
        *error = QStringLiteral("this copy has no key");
        return nullptr;
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_method());
    if (!ctx) {
        *error = OpenSslError("SSL_CTX_new");
        return nullptr;
    }
    std::shared_ptr<const TTlsContext> made(new TTlsContext(ctx));
    const auto cert = MakeCertificate(identity.Key());
    unsigned char protocols[32];
    const size_t length = std::strlen(Protocol);
    protocols[0] = (unsigned char)length;
    std::memcpy(protocols + 1, Protocol, length);
    if (!cert || !SSL_CTX_use_certificate(ctx, cert.get()) ||
        !SSL_CTX_use_PrivateKey(ctx, identity.Key()) || !SSL_CTX_check_private_key(ctx) ||
        !SSL_CTX_set_min_proto_version(ctx, TLS1_3_VERSION) ||
        !SSL_CTX_set_max_proto_version(ctx, TLS1_3_VERSION) ||
        !SSL_CTX_set_ciphersuites(
            ctx, "TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256:TLS_AES_256_GCM_SHA384") ||
        !SSL_CTX_set1_groups_list(ctx, "X25519:P-256") ||
        !SSL_CTX_set1_sigalgs_list(ctx, "ed25519") || !SSL_CTX_set_num_tickets(ctx, 0) ||
        SSL_CTX_set_alpn_protos(ctx, protocols, unsigned(length + 1)) != 0) {
        *error = OpenSslError("setting up TLS");
        return nullptr;
    }
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, AcceptSelfSigned);
    SSL_CTX_set_alpn_select_cb(ctx, SelectProtocol, nullptr);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Whole records from one read of the socket: far fewer system calls for a file.
    SSL_CTX_set_read_ahead(ctx, 1);
    return made;
}

TTlsContext::~TTlsContext()
{
    SSL_CTX_free(ctx_);
}
