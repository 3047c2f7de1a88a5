#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class TTlsContext;
struct ssl_st;

// TLS on a connected non-blocking descriptor that stays the caller's: nothing here waits.
// Every call that cannot go on says what the socket must become first (readable or writable);
// the caller watches for that and calls again.
class TTlsStream
{
public:
    enum class TWant
    {
        Nothing,
        Read,
        Write,
    };

    TTlsStream(std::shared_ptr<const TTlsContext> context, int fd, bool server);
    ~TTlsStream();
    TTlsStream(const TTlsStream&) = delete;
    TTlsStream& operator=(const TTlsStream&) = delete;

    // 1 once the handshake is done; 0 while it goes on (Want() says for what); -1 when it
    // failed (Error() says why).
    int Handshake();
    bool Secured() const { return secured_; }
    // Plain bytes: what came or was taken, 0 when the socket must become ready first (Want()),
    // -1 once the stream has ended: CleanEnd() tells whether the peer closed it properly.
    qint64 Read(char* data, qint64 max);
    qint64 Write(const char* data, qint64 n);
    // Plain bytes already decrypted or records already read, which no readable socket announces.
    bool Pending() const;
    TWant Want() const { return want_; }
    bool CleanEnd() const { return cleanEnd_; }
    QString Error() const { return error_; }
    // The system's error number when the connection itself failed, else 0.
    int SystemError() const { return systemError_; }
    // Tells the peer the stream ends here (close_notify), without waiting for its answer.
    void Shutdown();

    // After the handshake: the fingerprint of the peer's key, and "TLSv1.3 TLS_AES_128_GCM_SHA256".
    QByteArray PeerFingerprint() const;
    QString Suite() const;
    // After the handshake: n bytes of keying material for label and context (RFC 8446 7.5);
    // empty when there are none to give.
    QByteArray Export(const QByteArray& label, const QByteArray& context, int n) const;

private:
    // Turns an OpenSSL result into ours: n when positive, else 0 (Want set) or -1 (ended).
    qint64 Outcome(int result);

    std::shared_ptr<const TTlsContext> context_;
    ssl_st* ssl_;
    TWant want_ = TWant::Nothing;
    bool secured_ = false;
    bool ended_ = false;
    bool cleanEnd_ = false;
    QString error_;
    int systemError_ = 0;
};
