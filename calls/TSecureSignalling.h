#pragma once

#include "calls/IDatagramSender.h"
#include "platform/crypto/IPeerKeys.h"
#include "platform/logging/TLogThrottle.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <set>

class TCallChannel;
class TCallKeys;
class TStrmSocket;
class TTlsContext;

// The call's signalling with copies that take a secure channel. A call request to a peer known
// to encrypt opens a channel instead of going out as a datagram, and every later text of that
// call goes through it; texts from a channel reach the session as from the peer's address.
// While a channel with an address is open, datagrams from that address are dropped and
// counted. Everything else goes plain, exactly as before. Lives on the window's thread.
class TSecureSignalling : public QObject
{
    Q_OBJECT
public:
    // Calls at once; more are refused, as a busy phone would.
    static constexpr int MaxChannels = 8;

    TSecureSignalling(std::unique_ptr<IDatagramSender> plain, quint16 channelPort,
                      QObject* parent = nullptr);
    ~TSecureSignalling() override;

    // Without both, everything goes plain. keys must outlive this.
    void SetSecurity(std::shared_ptr<const TTlsContext> tls, IPeerKeys* keys);
    // A sender for the session that sends through this; it may outlive this (then drops).
    std::unique_ptr<IDatagramSender> Sender();
    void SendTo(const QByteArray& text, const QHostAddress& to);
    // Whether a datagram from that address is let through; counted when not.
    bool AdmitPlain(const QHostAddress& from);
    qint64 DroppedPlain() const { return dropped_; }
    // A secured connection whose hello named a call; taken over.
    void Take(TStrmSocket* socket, const QByteArray& callId);
    // Closes every channel but the one with the call's peer (and those of a call being placed).
    void Settle(bool placing, const QHostAddress& callPeer);
    // Only through channels: a call to a peer that takes none is not placed, and one whose
    // channel fails is not asked about going plain.
    void SetEncryptedOnly(bool on) { encryptedOnly_ = on; }
    // Whether the call with that address goes through a channel.
    bool Encrypted(const QHostAddress& peer) const;
    // The keys and the numbers to compare of the call with that address, once its channel is
    // ready; the keys live as long as the channel.
    const TCallKeys* Keys(const QHostAddress& peer) const;
    QString Numbers(const QHostAddress& peer) const;
    // The channel's TLS version and suite, and the peer's key; empty without a channel.
    QString Suite(const QHostAddress& peer) const;
    QByteArray PeerKey(const QHostAddress& peer) const;

    // Asked when no secure channel can be had to a peer known to take one: true calls plain.
    std::function<bool(const QString& name, const QString& reason)> OnInsecure;
    // Asked when the called peer shows another key than the one it is known by: true calls.
    std::function<bool(const QString& name)> OnKeyChanged;

signals:
    void Text(const QByteArray& text, const QHostAddress& from);
    // How the call with that address is protected, once its channel is up (or given up).
    void KeyState(const QHostAddress& peer, bool encrypted, IPeerKeys::TState state);

private:
    void Opened(TCallChannel* channel, bool caller);
    void Judge(TCallChannel* channel);
    void Lost(TCallChannel* channel, const QString& reason);
    void Drop(TCallChannel* channel);
    void Tell(const QHostAddress& peer, const QString& text);
    QString NameOf(const QHostAddress& peer) const;

    std::unique_ptr<IDatagramSender> plain_;
    const quint16 port_;
    std::shared_ptr<const TTlsContext> tls_;
    IPeerKeys* keys_ = nullptr;
    std::map<quint32, TCallChannel*> channels_; // by IPv4 address; children
    std::set<quint32> plainChosen_;             // the user let a call to that address go plain
    std::set<quint32> unplaced_; // a call request to that address never went: nor do its texts
    std::set<TCallChannel*> accepted_; // a changed key the user called all the same
    bool encryptedOnly_ = false;
    qint64 dropped_ = 0;
    TLogThrottle dropLog_;
    std::shared_ptr<TSecureSignalling*> self_; // what the session's sender reaches this by
};
