#include "platform/crypto/TTlsStream.h"

#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <climits>
#include <cstring>

TTlsStream::TTlsStream(std::shared_ptr<const TTlsContext> context, int fd, bool server)
    : context_(std::move(context)), ssl_(SSL_new(context_->Get()))
{
    if (!ssl_ || SSL_set_fd(ssl_, fd) != 1) {
        error_ = QStringLiteral("TLS could not be set up");
        ended_ = true;
        return;
    }
    if (server)
        SSL_set_accept_state(ssl_);
    else
        SSL_set_connect_state(ssl_);
}

TTlsStream::~TTlsStream()
{
    SSL_free(ssl_);
}

int TTlsStream::Handshake()
{
    if (secured_)
        return 1;
    if (ended_)
        return -1;
    ERR_clear_error();
    const qint64 r = Outcome(SSL_do_handshake(ssl_));
    if (r <= 0)
        return int(r);
    // A server that chose no protocol of ours speaks something else.
    const unsigned char* chosen = nullptr;
    unsigned int length = 0;
    SSL_get0_alpn_selected(ssl_, &chosen, &length);
    if (length != std::strlen(TTlsContext::Protocol) ||
        std::memcmp(chosen, TTlsContext::Protocol, length) != 0) {
        error_ = QStringLiteral("the peer speaks another protocol");
        ended_ = true;
        return -1;
    }
    secured_ = true;
    return 1;
}

qint64 TTlsStream::Read(char* data, qint64 max)
{
    if (ended_ || !secured_)
        return ended_ ? -1 : 0;
    ERR_clear_error();
    return Outcome(SSL_read(ssl_, data, int(qMin<qint64>(max, INT_MAX))));
}

qint64 TTlsStream::Write(const char* data, qint64 n)
{
    if (ended_ || !secured_)
        return ended_ ? -1 : 0;
    ERR_clear_error();
    return Outcome(SSL_write(ssl_, data, int(qMin<qint64>(n, INT_MAX))));
}

bool TTlsStream::Pending() const
{
    return !ended_ && ssl_ && SSL_has_pending(ssl_);
}

qint64 TTlsStream::Outcome(int result)
{
    want_ = TWant::Nothing;
    if (result > 0)
        return result;
    const int saved = errno;
    switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
        want_ = TWant::Read;
        return 0;
    case SSL_ERROR_WANT_WRITE:
        want_ = TWant::Write;
        return 0;
    case SSL_ERROR_ZERO_RETURN:
        cleanEnd_ = true;
        error_ = QStringLiteral("the peer ended the secure connection");
        break;
    case SSL_ERROR_SYSCALL:
        systemError_ = ERR_peek_error() == 0 ? saved : 0;
        error_ = saved && ERR_peek_error() == 0 ? QString::fromLocal8Bit(std::strerror(saved))
                                                : QStringLiteral("the connection closed");
        break;
    default: {
        char text[256] = {};
        ERR_error_string_n(ERR_get_error(), text, sizeof text);
        error_ = QString::fromLatin1(text);
    }
    }
    ended_ = true;
    return -1;
}

void TTlsStream::Shutdown()
{
    if (secured_ && !ended_) {
        ERR_clear_error();
        SSL_shutdown(ssl_);
    }
    ended_ = true;
}

QByteArray TTlsStream::PeerFingerprint() const
{
    X509* cert = secured_ ? SSL_get0_peer_certificate(ssl_) : nullptr;
    return cert ? TIdentity::FingerprintOf(X509_get0_pubkey(cert)) : QByteArray();
}

QByteArray TTlsStream::Export(const QByteArray& label, const QByteArray& context, int n) const
{
    QByteArray out(n, Qt::Uninitialized);
    if (!secured_ || n <= 0 ||
        SSL_export_keying_material(ssl_, reinterpret_cast<unsigned char*>(out.data()), size_t(n),
                                   label.constData(), size_t(label.size()),
                                   reinterpret_cast<const unsigned char*>(context.constData()),
                                   size_t(context.size()), 1) != 1)
        return {};
    return out;
}

QString TTlsStream::Suite() const
{
    return secured_ ? QStringLiteral("%1 %2").arg(QLatin1String(SSL_get_version(ssl_)),
                                                  QLatin1String(SSL_get_cipher_name(ssl_)))
                    : QString();
}
