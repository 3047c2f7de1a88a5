#include "calls/TSecureSignalling.h"

#include "calls/TCallChannel.h"
#include "calls/TSignalMessage.h"
#include "platform/logging/Logging.h"
#include "transfer/TStrmSocket.h"

#include <QPointer>

namespace {

// What the session sends through; it reaches the signalling only while that exists.
class TForward : public IDatagramSender
{
public:
    explicit TForward(std::weak_ptr<TSecureSignalling*> to) : to_(std::move(to)) {}
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        if (const auto target = to_.lock())
            (*target)->SendTo(payload, to);
    }

private:
    std::weak_ptr<TSecureSignalling*> to_;
};

} // namespace

TSecureSignalling::TSecureSignalling(std::unique_ptr<IDatagramSender> plain, quint16 channelPort,
                                     QObject* parent)
    : QObject(parent), plain_(std::move(plain)), port_(channelPort),
      self_(std::make_shared<TSecureSignalling*>(this))
{}

TSecureSignalling::~TSecureSignalling() = default;

void TSecureSignalling::SetSecurity(std::shared_ptr<const TTlsContext> tls, IPeerKeys* keys)
{
    tls_ = std::move(tls);
    keys_ = keys;
}

std::unique_ptr<IDatagramSender> TSecureSignalling::Sender()
{
    return std::make_unique<TForward>(self_);
}

void TSecureSignalling::SendTo(const QByteArray& text, const QHostAddress& to)
{
    const quint32 key = to.toIPv4Address();
    if (const auto found = channels_.find(key); found != channels_.end()) {
        found->second->Send(text);
        return;
    }
    // Only a new call opens a channel, and only to a peer known to take one: anything new
    // sent to a copy that does not would ring it or pop up its portal.
    const bool request = text.startsWith(TSignalMessage::CallingPrefix.toUtf8());
    if (request) {
        plainChosen_.erase(key);
        unplaced_.erase(key);
    } else if (unplaced_.count(key)) {
        // The "Cancel" of a call that was never placed would only tell a listener of it.
        qCInfo(lcCrypto).noquote() << "nothing sent to" << to.toString() << ": no call was placed";
        return;
    }
    const bool secure = tls_ && keys_ && keys_->Expected(to).secure;
    if (request && encryptedOnly_ && (!secure || int(channels_.size()) >= MaxChannels)) {
        qCInfo(lcCrypto).noquote() << "no call to" << to.toString() << ": it takes no channel";
        unplaced_.insert(key);
        // Told once the session has placed its call, as the called host's answer would be.
        QMetaObject::invokeMethod(
            this,
            [this, to] {
                Tell(to, tr("The call was not placed: %1 can't take an encrypted "
                            "call, and only encrypted calls are made")
                             .arg(NameOf(to)));
            },
            Qt::QueuedConnection);
        return;
    }
    if (!request || !secure || plainChosen_.count(key) || int(channels_.size()) >= MaxChannels) {
        plain_->SendTo(text, to);
        return;
    }
    qCInfo(lcCrypto).noquote() << "opening a call channel to" << to.toString();
    TCallChannel* channel = TCallChannel::Open(to, port_, tls_, this);
    channels_[key] = channel;
    channel->Send(text);
    Opened(channel, true);
}

void TSecureSignalling::Take(TStrmSocket* socket, const QByteArray& callId)
{
    const QHostAddress peer = socket->PeerAddress();
    const quint32 key = peer.toIPv4Address();
    if (int(channels_.size()) >= MaxChannels || !keys_) {
        qCInfo(lcCrypto).noquote() << "refused a call channel from" << peer.toString();
        socket->Abort();
        socket->deleteLater();
        return;
    }
    // A copy opens a channel only for a new call: one from the same address takes the place
    // of the last, whose call that copy has left. What the new one asks for is answered as
    // any request is (the busy text, when this side is still in that call).
    if (const auto found = channels_.find(key); found != channels_.end()) {
        found->second->Close();
        Drop(found->second);
    }
    TCallChannel* channel = TCallChannel::Take(socket, callId, this);
    channels_[key] = channel;
    Opened(channel, false);
    Judge(channel);
}

void TSecureSignalling::Opened(TCallChannel* channel, bool caller)
{
    if (caller)
        connect(channel, &TCallChannel::Secured, this, [this, channel] { Judge(channel); });
    connect(channel, &TCallChannel::Text, this,
            [this, channel](const QByteArray& text) { emit Text(text, channel->Peer()); });
    connect(channel, &TCallChannel::Ready, this, [this, channel] {
        const IPeerKeys::TState state =
            keys_->Seen(channel->Peer(), channel->PeerKey(), accepted_.count(channel) > 0);
        emit KeyState(channel->Peer(), true, state);
    });
    connect(channel, &TCallChannel::Failed, this,
            [this, channel](const QString& reason) { Lost(channel, reason); });
    connect(channel, &TCallChannel::Closed, this, [channel] {
        // Each side ends its own call; the peer's hang-up is only noted.
        qCInfo(lcCrypto).noquote()
            << "the call channel with" << channel->Peer().toString() << "was closed by the peer";
    });
}

void TSecureSignalling::Judge(TCallChannel* channel)
{
    const QHostAddress peer = channel->Peer();
    const IPeerKeys::TExpected expected = keys_->Expected(peer);
    if (expected.key.isEmpty() || expected.key == channel->PeerKey())
        return;
    qCInfo(lcCrypto).noquote() << "the key of" << peer.toString() << "changed";
    // The callee's phone rings all the same, with the change shown: the network never asks.
    if (!channel->IsCaller())
        return;
    // The caller is asked before anything rings. The question is a dialog of its own: the
    // channel may be gone after it.
    const QPointer<TCallChannel> alive(channel);
    channel->HoldLimit(true);
    const bool call = OnKeyChanged && OnKeyChanged(NameOf(peer));
    if (!alive || !channels_.count(peer.toIPv4Address()))
        return;
    if (call) {
        accepted_.insert(channel);
        channel->HoldLimit(false);
        return;
    }
    channel->Close();
    Drop(channel);
    unplaced_.insert(peer.toIPv4Address());
    Tell(peer, tr("The call was not placed: %1's key has changed").arg(NameOf(peer)));
}

void TSecureSignalling::Lost(TCallChannel* channel, const QString& reason)
{
    const QHostAddress peer = channel->Peer();
    const QList<QByteArray> unsent = channel->TakeQueued();
    const bool caller = channel->IsCaller();
    Drop(channel);
    emit KeyState(peer, false, IPeerKeys::TState::New);
    if (!caller || unsent.isEmpty())
        return;
    // Never plain to a peer known to encrypt without the user's yes: the failure may be made.
    const QPointer<TSecureSignalling> alive(this);
    const bool plain = !encryptedOnly_ && OnInsecure && OnInsecure(NameOf(peer), reason);
    if (!alive)
        return;
    if (!plain) {
        unplaced_.insert(peer.toIPv4Address());
        Tell(peer, tr("The secure connection failed (%1)").arg(reason));
        return;
    }
    qCInfo(lcCrypto).noquote() << "calling" << peer.toString() << "unencrypted, as the user chose";
    plainChosen_.insert(peer.toIPv4Address());
    for (const QByteArray& text : unsent)
        plain_->SendTo(text, peer);
}

void TSecureSignalling::Tell(const QHostAddress& peer, const QString& text)
{
    // As a status text from the called host: the calling window shows it and stops waiting.
    QString status = text;
    emit Text(status.replace(QLatin1Char('|'), QLatin1Char('/')).toUtf8(), peer);
}

void TSecureSignalling::Drop(TCallChannel* channel)
{
    const auto found = channels_.find(channel->Peer().toIPv4Address());
    if (found != channels_.end() && found->second == channel)
        channels_.erase(found);
    accepted_.erase(channel);
    channel->deleteLater();
}

bool TSecureSignalling::AdmitPlain(const QHostAddress& from)
{
    if (!channels_.count(from.toIPv4Address())) {
        unplaced_.erase(from.toIPv4Address()); // what it asks for is answered plain
        return true;
    }
    ++dropped_;
    if (const std::optional<qint64> more = dropLog_.Allow())
        qCWarning(lcCrypto).noquote() << "dropped a plain datagram from" << from.toString()
                                      << "during its encrypted call" << TLogThrottle::More(*more);
    return false;
}

void TSecureSignalling::Settle(bool placing, const QHostAddress& callPeer)
{
    for (auto it = channels_.begin(); it != channels_.end();) {
        TCallChannel* channel = (it++)->second;
        if (channel->Peer().isEqual(callPeer) || (placing && channel->IsCaller()))
            continue;
        channel->Close();
        Drop(channel);
    }
}

bool TSecureSignalling::Encrypted(const QHostAddress& peer) const
{
    const auto found = channels_.find(peer.toIPv4Address());
    return found != channels_.end() && found->second->IsReady();
}

const TCallKeys* TSecureSignalling::Keys(const QHostAddress& peer) const
{
    const auto found = channels_.find(peer.toIPv4Address());
    return found != channels_.end() ? found->second->Keys() : nullptr;
}

QString TSecureSignalling::Suite(const QHostAddress& peer) const
{
    const auto found = channels_.find(peer.toIPv4Address());
    return found != channels_.end() ? found->second->Suite() : QString();
}

QByteArray TSecureSignalling::PeerKey(const QHostAddress& peer) const
{
    const auto found = channels_.find(peer.toIPv4Address());
    return found != channels_.end() ? found->second->PeerKey() : QByteArray();
}

QString TSecureSignalling::Numbers(const QHostAddress& peer) const
{
    const auto found = channels_.find(peer.toIPv4Address());
    return found != channels_.end() ? found->second->Numbers() : QString();
}

QString TSecureSignalling::NameOf(const QHostAddress& peer) const
{
    const QString name = keys_ ? keys_->Expected(peer).name : QString();
    return name.isEmpty() ? peer.toString() : name;
}
