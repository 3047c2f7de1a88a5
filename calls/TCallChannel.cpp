#include "calls/TCallChannel.h"

#include "platform/crypto/TChannelFrames.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsStream.h"
#include "platform/logging/Logging.h"
#include "platform/logging/TAddressThrottle.h"
#include "transfer/TStrmSocket.h"

#include <QCryptographicHash>

#include <openssl/crypto.h>

#include <openssl/rand.h>

namespace {

constexpr char Commit = 'C';
constexpr char Nonce = 'N';
constexpr char Reveal = 'R';
constexpr char Signal = 'S';
constexpr int NonceSize = 32;
// A few frames' worth: a peer that sends faster than we read is not buffered without end.
constexpr qsizetype MaxBuffered = 4 * (TChannelFrames::MaxLength + 2);

QByteArray RandomBytes(int n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), n) != 1)
        return {};
    return bytes;
}

QByteArray Commitment(const QByteArray& nonce)
{
    return QCryptographicHash::hash(QByteArrayLiteral("parlavue sas commit") + nonce,
                                    QCryptographicHash::Sha256);
}

} // namespace

TCallChannel::TCallChannel(TStrmSocket* socket, QObject* parent)
    : QObject(parent), socket_(socket), peer_(socket->PeerAddress()), state_(TState::Connecting)
{
    socket_->setParent(this);
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this,
            [this] { Fail(tr("no answer in %1 s").arg(HandshakeLimitMs / 1000)); });
    limit_.start(HandshakeLimitMs);
}

TCallChannel* TCallChannel::Open(const QHostAddress& address, quint16 port,
                                 std::shared_ptr<const TTlsContext> tls, QObject* parent)
{
    auto* channel = new TCallChannel(TStrmSocket::ConnectTo(address, port), parent);
    channel->caller_ = true;
    channel->tls_ = std::move(tls);
    channel->callId_ = RandomBytes(TChannelFrames::CallIdSize);
    channel->Wire();
    connect(channel->socket_, &TStrmSocket::Connected, channel, [channel] {
        channel->state_ = TState::Handshaking;
        channel->socket_->StartTls(channel->tls_, false);
    });
    connect(channel->socket_, &TStrmSocket::ConnectFailed, channel,
            [channel](const QString& error) { channel->Fail(error); });
    return channel;
}

TCallChannel* TCallChannel::Take(TStrmSocket* socket, const QByteArray& callId, QObject* parent)
{
    auto* channel = new TCallChannel(socket, parent);
    channel->callId_ = callId;
    channel->peerKey_ = socket->Tls() ? socket->Tls()->PeerFingerprint() : QByteArray();
    channel->state_ = TState::AwaitingCommit;
    channel->Wire();
    socket->SetReading(true);
    // Frames that came with the hello are waiting already.
    QMetaObject::invokeMethod(channel, &TCallChannel::ReadFrames, Qt::QueuedConnection);
    return channel;
}

void TCallChannel::Wire()
{
    connect(socket_, &TStrmSocket::Secured, this, &TCallChannel::SocketSecured);
    connect(socket_, &TStrmSocket::SecureFailed, this,
            [this](const QString& error) { Fail(error); });
    connect(socket_, &TStrmSocket::ReadyRead, this, &TCallChannel::ReadFrames);
    connect(socket_, &TStrmSocket::ReadyWrite, this, [this] { Write(0, {}); });
}

void TCallChannel::SocketSecured()
{
    if (state_ != TState::Handshaking)
        return;
    peerKey_ = socket_->Tls()->PeerFingerprint();
    suite_ = socket_->Tls()->Suite();
    qCInfo(lcCrypto).noquote() << "call channel to" << peer_.toString() << ", key"
                               << TIdentity::Base32(peerKey_).left(8) << ","
                               << socket_->Tls()->Suite();
    emit Secured();
    if (state_ != TState::Handshaking)
        return; // closed by whoever judged the key
    ourNonce_ = RandomBytes(NonceSize);
    state_ = TState::AwaitingNonce;
    socket_->SetReading(true);
    out_ += TChannelFrames::EncodeHello(TChannelFrames::KindCall, callId_);
    Write(Commit, Commitment(ourNonce_));
}

void TCallChannel::ReadFrames()
{
    while (state_ != TState::Ended && state_ != TState::Connecting &&
           state_ != TState::Handshaking) {
        char block[4096];
        const qint64 n = in_.size() < MaxBuffered ? socket_->Read(block, sizeof block) : 0;
        if (n > 0)
            in_.append(block, n);
        for (;;) {
            TChannelFrames::TFrame frame;
            const TChannelFrames::TTake took = TChannelFrames::Take(in_, &frame);
            if (took == TChannelFrames::TTake::Bad) {
                Fail(tr("a frame of a length no frame has"));
                return;
            }
            if (took == TChannelFrames::TTake::More)
                break;
            Handle(frame.type, frame.payload);
            if (state_ == TState::Ended)
                return;
        }
        if (n < 0) {
            const bool ready = state_ == TState::Ready;
            qCInfo(lcCrypto).noquote() << "the call channel with" << peer_.toString()
                                       << "closed:" << socket_->ErrorString();
            state_ = TState::Ended;
            socket_->Close();
            if (ready)
                emit Closed();
            else
                emit Failed(tr("closed during the handshake"));
            return;
        }
        if (n == 0)
            return;
    }
}

void TCallChannel::Handle(char type, const QByteArray& payload)
{
    switch (state_) {
    case TState::AwaitingNonce:
        if (type != Nonce || payload.size() != NonceSize)
            return Fail(tr("the callee sent no nonce"));
        peerNonce_ = payload;
        Write(Reveal, ourNonce_);
        BecomeReady();
        return;
    case TState::AwaitingCommit:
        if (type != Commit || payload.size() != NonceSize)
            return Fail(tr("the caller sent no commitment"));
        commitment_ = payload;
        ourNonce_ = RandomBytes(NonceSize);
        state_ = TState::AwaitingReveal;
        Write(Nonce, ourNonce_);
        return;
    case TState::AwaitingReveal:
        if (type != Reveal || payload.size() != NonceSize)
            return Fail(tr("the caller revealed nothing"));
        if (Commitment(payload) != commitment_)
            return Fail(tr("the numbers did not check out"));
        peerNonce_ = payload;
        BecomeReady();
        return;
    case TState::Ready:
        // Kinds of frame a later version may add are passed over.
        if (type == Signal)
            emit Text(payload);
        return;
    default:
        return;
    }
}

void TCallChannel::BecomeReady()
{
    // Both nonces are known now: the keys for voice and pictures, and the numbers.
    QByteArray exported =
        socket_->Tls()->Export(TCallKeys::ExporterLabel, callId_, TCallKeys::ExportSize);
    keys_ = TCallKeys::Cut(exported, caller_);
    OPENSSL_cleanse(exported.data(), size_t(exported.size()));
    if (!keys_)
        return Fail(tr("no keys could be made for the call"));
    numbers_ = caller_ ? TCallKeys::Numbers(keys_->sas, ourNonce_, peerNonce_)
                       : TCallKeys::Numbers(keys_->sas, peerNonce_, ourNonce_);
    state_ = TState::Ready;
    limit_.stop();
    emit Ready();
    for (const QByteArray& text : std::exchange(queued_, {}))
        if (state_ == TState::Ready)
            Write(Signal, text);
}

void TCallChannel::Send(const QByteArray& text)
{
    if (state_ == TState::Ready)
        Write(Signal, text);
    else if (state_ != TState::Ended)
        queued_ << text;
}

void TCallChannel::Write(char type, const QByteArray& payload)
{
    if (state_ == TState::Ended)
        return;
    if (type != 0)
        out_ += TChannelFrames::Encode(type, payload.left(TChannelFrames::MaxLength - 1));
    while (!out_.isEmpty()) {
        const qint64 n = socket_->Send(out_.constData(), out_.size());
        if (n < 0)
            return Fail(socket_->ErrorString());
        if (n == 0) {
            socket_->SetWriting(true);
            return;
        }
        out_.remove(0, n);
    }
}

void TCallChannel::Fail(const QString& reason)
{
    if (state_ == TState::Ended)
        return;
    static TAddressThrottle failures;
    if (failures.Allow(peer_.toIPv4Address()))
        qCWarning(lcCrypto).noquote() << "call channel with" << peer_.toString() << ":" << reason;
    state_ = TState::Ended;
    limit_.stop();
    socket_->Abort();
    emit Failed(reason);
}

void TCallChannel::HoldLimit(bool hold)
{
    if (hold)
        limit_.stop();
    else if (state_ != TState::Ready && state_ != TState::Ended)
        limit_.start(HandshakeLimitMs);
}

void TCallChannel::Close()
{
    if (state_ == TState::Ended)
        return;
    Write(0, {}); // what is left of the last text, as far as the kernel takes it now
    state_ = TState::Ended;
    limit_.stop();
    socket_->Close();
}
