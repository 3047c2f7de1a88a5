#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include "platform/crypto/TCallKeys.h"

#include <memory>
#include <optional>

class TStrmSocket;
class TTlsContext;

// The secure channel of one call: TLS to or from the peer's file port, the call's hello, the
// commitment exchange (the caller commits to its nonce before it learns the callee's, so a
// party in between cannot choose keys until the numbers both users compare agree), then the
// signalling texts both ways as frames. Nothing in it waits; every outcome is a signal.
class TCallChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr int HandshakeLimitMs = 5000;

    // The caller's end: connects to address:port and opens the channel for a new call.
    static TCallChannel* Open(const QHostAddress& address, quint16 port,
                              std::shared_ptr<const TTlsContext> tls, QObject* parent = nullptr);
    // The callee's end: a secured socket whose hello named a call; the channel takes it.
    static TCallChannel* Take(TStrmSocket* socket, const QByteArray& callId,
                              QObject* parent = nullptr);

    QHostAddress Peer() const { return peer_; }
    // The key the peer showed; empty before the handshake is done.
    QByteArray PeerKey() const { return peerKey_; }
    QByteArray CallId() const { return callId_; }
    bool IsReady() const { return state_ == TState::Ready; }
    bool IsCaller() const { return caller_; }
    // Once ready: the call's keys, and the six digits both users may compare.
    const TCallKeys* Keys() const { return keys_ ? &*keys_ : nullptr; }
    QString Numbers() const { return numbers_; }
    // "TLSv1.3 TLS_AES_128_GCM_SHA256" once secured.
    QString Suite() const { return suite_; }
    // The texts not yet sent, which the channel will no longer send.
    QList<QByteArray> TakeQueued() { return std::exchange(queued_, {}); }
    // A signalling text; held until the channel is ready, dropped once it has ended.
    void Send(const QByteArray& text);
    // The time limit of the set-up waits while the user is asked about the peer's key.
    void HoldLimit(bool hold);
    // Ends the channel (close_notify); nothing more is told.
    void Close();

signals:
    // The handshake is done and PeerKey is known; closing now sends nothing of the call.
    void Secured();
    // The commitment exchange is done: texts go both ways.
    void Ready();
    void Text(const QByteArray& text);
    // The channel could not be opened or broke its rules; nothing more comes.
    void Failed(const QString& reason);
    // The peer closed a channel that was ready.
    void Closed();

private:
    enum class TState
    {
        Connecting,
        Handshaking,
        AwaitingNonce,  // caller: committed, waits for the callee's nonce
        AwaitingCommit, // callee: waits for the caller's commitment
        AwaitingReveal, // callee: sent its nonce, waits for the caller's
        Ready,
        Ended,
    };

    TCallChannel(TStrmSocket* socket, QObject* parent);
    void Wire();
    void SocketSecured();
    void ReadFrames();
    void Handle(char type, const QByteArray& payload);
    void Write(char type, const QByteArray& payload);
    void BecomeReady();
    void Fail(const QString& reason);

    TStrmSocket* socket_; // a child
    QHostAddress peer_;
    TState state_;
    bool caller_ = false;
    std::shared_ptr<const TTlsContext> tls_;
    QByteArray callId_;
    QByteArray peerKey_;
    QByteArray ourNonce_;
    QByteArray commitment_; // the caller's, as the callee holds it
    QByteArray peerNonce_;
    std::optional<TCallKeys> keys_;
    QString numbers_;
    QString suite_;
    QByteArray in_;
    QByteArray out_;           // plain bytes the channel has not yet taken
    QList<QByteArray> queued_; // texts before the channel was ready
    QTimer limit_;
};
