#include "transfer/TStrmSender.h"

#include "platform/crypto/TChannelFrames.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsStream.h"
#include "platform/logging/Logging.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSocket.h"

#include <QFileDevice>
#include <QHostInfo>
#include <QIODevice>
#include <QPointer>

#include <cerrno>
#include <sys/uio.h>

namespace {

// What one read of the body takes, and how far a worker's reading runs ahead of the socket.
constexpr qint64 ReadBlock = 256 * 1024;
constexpr int ReadAheadBlocks = 4;
// What the kernel holds for the connection: room for a few blocks, so each turn of the event
// loop hands over blocks, not the few kilobytes a fresh connection's buffer takes.
constexpr int KernelBuffer = 1024 * 1024;
// What one turn of the event loop hands over at most, so the window and the timers get theirs.
constexpr qint64 TurnBytes = 1024 * 1024;
// How long a peer known to take a secure channel has to complete the handshake.
constexpr int HandshakeLimitMs = 5000;

const char* const NotAcknowledged = QT_TRANSLATE_NOOP(
    "TStrmSender", "The receiver closed the connection without acknowledging the message.");

} // namespace

TStrmSender::TStrmSender(QObject* parent)
    : QObject(parent), stop_(std::make_shared<std::atomic<bool>>(false)), work_(this)
{
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        switch (state_) {
        case TState::Resolving:
            Finish(tr("Host Lookup Timed Out"));
            return;
        case TState::Connecting:
            ConnectFailed(tr("Connection Timed out"));
            return;
        case TState::Securing:
            SecureFailed(tr("no answer in %1 s").arg(HandshakeLimitMs / 1000));
            return;
        default:
            Finish(tr("10060:Connection timed out"));
        }
    });
}

TStrmSender::~TStrmSender()
{
    *stop_ = true;
    if (lookup_ >= 0)
        QHostInfo::abortHostLookup(lookup_);
    if (socket_)
        disconnect(socket_, nullptr, this, nullptr);
}

bool TStrmSender::Send(std::shared_ptr<QIODevice> body)
{
    if (Busy() || !body)
        return false;
    body_ = std::move(body);
    stop_ = std::make_shared<std::atomic<bool>>(false);
    state_ = TState::Resolving;
    askedHost_ = false;
    total_ = sent_ = readAt_ = 0;
    peerKey_.clear();
    plainChosen_ = false;
    readFailed_ = false;
    readNow_ = true;
    missed_ = false;
    blocks_.clear();
    taken_ = 0;
    reply_.clear();
    QMetaObject::invokeMethod(this, &TStrmSender::Start, Qt::QueuedConnection);
    return true;
}

void TStrmSender::Cancel()
{
    switch (state_) {
    case TState::Resolving:
    case TState::Connecting:
    case TState::Securing:
        ConnectFailed(tr("Connection Canceled"));
        return;
    case TState::Sending:
    case TState::Awaiting:
        Finish(tr("Socket send aborted"));
        return;
    default:
        return;
    }
}

void TStrmSender::Start()
{
    if (state_ != TState::Resolving)
        return;
    // What the wire format cannot carry is refused before anything goes out.
    total_ = body_->size();
    if (total_ > TStrmFraming::MaxBody) {
        Finish(tr("Files of 2 GB or more cannot be sent."));
        return;
    }
    if (FromName.size() > TStrmFraming::MaxName) {
        Finish(tr("The name is longer than 9999 bytes and cannot be sent."));
        return;
    }
    limit_.start(int(qMin<qint64>(ConnectLimitMs, INT_MAX)));
    QHostAddress dotted;
    if (dotted.setAddress(Host.trimmed()) && dotted.protocol() == QAbstractSocket::IPv4Protocol) {
        Connect(dotted);
        return;
    }
    lookup_ = QHostInfo::lookupHost(Host.trimmed(), this, [this](const QHostInfo& info) {
        lookup_ = -1;
        Resolved(info.addresses());
    });
}

void TStrmSender::Resolved(const QList<QHostAddress>& addresses)
{
    if (state_ != TState::Resolving)
        return;
    for (const QHostAddress& a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            Connect(a);
            return;
        }
    }
    if (askedHost_ || !OnInvalidHost) {
        Finish(tr("Null Remote Address"));
        return;
    }
    // The user gets one chance to name another host.
    askedHost_ = true;
    const auto asked = Ask<std::optional<QString>>([this] { return OnInvalidHost(); });
    if (!asked)
        return;
    const std::optional<QString>& host = *asked;
    if (!host) {
        Finish(tr("Null Remote Address"));
        return;
    }
    Host = *host;
    Start();
}

template <class Answer>
std::optional<Answer> TStrmSender::Ask(const std::function<Answer()>& question)
{
    // The question is a dialog of its own: whatever happens meanwhile (a cancel, the sender
    // going) is looked at after it, and the time limits wait for the user.
    const TState asked = state_;
    limit_.stop();
    const QPointer<TStrmSender> self(this);
    const auto attempt = stop_;
    Answer answer = question();
    if (!self || stop_ != attempt || state_ != asked)
        return std::nullopt;
    return answer;
}

void TStrmSender::Connect(const QHostAddress& address)
{
    state_ = TState::Connecting;
    secure_ = Tls && SecureFor && !plainChosen_ ? SecureFor(address) : TSecure{};
    address_ = address;
    if (EncryptedOnly && !secure_.secure) {
        qCInfo(lcCrypto).noquote() << "nothing sent to" << Host << ": it takes no secure channel";
        Finish(tr("%1 can't receive encrypted files, and only encrypted ones are sent").arg(Host));
        return;
    }
    socket_ = TStrmSocket::ConnectTo(address, quint16(Port), this);
    connect(socket_, &TStrmSocket::Connected, this, &TStrmSender::SocketConnected);
    connect(socket_, &TStrmSocket::ConnectFailed, this, [this](const QString& error) {
        qCDebug(lcTransfer) << "connecting to" << Host << ":" << error;
        if (state_ == TState::Connecting)
            ConnectFailed(tr("Connection Failed"));
    });
    connect(socket_, &TStrmSocket::ReadyWrite, this, &TStrmSender::Fill);
    connect(socket_, &TStrmSocket::ReadyRead, this, &TStrmSender::ReadReply);
}

void TStrmSender::SocketConnected()
{
    if (state_ != TState::Connecting)
        return;
    socket_->SetSendBuffer(KernelBuffer);
    if (!secure_.secure) {
        StartSending();
        return;
    }
    state_ = TState::Securing;
    limit_.start(HandshakeLimitMs);
    connect(socket_, &TStrmSocket::Secured, this, &TStrmSender::SocketSecured);
    connect(socket_, &TStrmSocket::SecureFailed, this, &TStrmSender::SecureFailed);
    socket_->StartTls(Tls, false);
}

void TStrmSender::SocketSecured()
{
    if (state_ != TState::Securing)
        return;
    peerKey_ = socket_->Tls()->PeerFingerprint();
    qCInfo(lcCrypto).noquote() << "secure channel to" << Host << ", key"
                               << TIdentity::Base32(peerKey_).left(8) << ","
                               << socket_->Tls()->Suite();
    if (!secure_.key.isEmpty() && peerKey_ != secure_.key) {
        qCInfo(lcCrypto).noquote()
            << "the key of" << Host << "changed from" << TIdentity::Base32(secure_.key).left(8);
        const std::optional<bool> anyway =
            Ask<bool>([this] { return OnKeyChanged && OnKeyChanged(peerKey_); });
        if (!anyway)
            return;
        if (!*anyway) {
            Finish(tr("The receiver's key has changed; nothing was sent."));
            return;
        }
    }
    StartSending();
}

void TStrmSender::SecureFailed(const QString& reason)
{
    if (state_ != TState::Securing)
        return;
    qCWarning(lcCrypto).noquote() << "no secure channel to" << Host << ":" << reason;
    // Never plain to a peer known to encrypt without the user's yes: the failure may be made.
    const std::optional<bool> plain =
        Ask<bool>([this, reason] { return !EncryptedOnly && OnInsecure && OnInsecure(reason); });
    if (!plain)
        return;
    if (!*plain) {
        Finish(tr("The secure connection failed (%1)").arg(reason));
        return;
    }
    qCInfo(lcCrypto).noquote() << "sending to" << Host << "unencrypted, as the user chose";
    disconnect(socket_, nullptr, this, nullptr);
    socket_->Abort();
    socket_->deleteLater();
    plainChosen_ = true;
    limit_.start(int(qMin<qint64>(ConnectLimitMs, INT_MAX)));
    Connect(address_);
}

void TStrmSender::StartSending()
{
    state_ = TState::Sending;
    if (SilenceMs > 0)
        limit_.start(int(qMin<qint64>(SilenceMs, INT_MAX)));
    else
        limit_.stop();
    emit Connected();
    if (state_ != TState::Sending)
        return;
    header_ = TStrmFraming::NameHeader(FromName) + TStrmFraming::BodyLength(total_);
    if (secure_.secure)
        header_.prepend(TChannelFrames::EncodeHello(TChannelFrames::KindMessage));
    Fill();
}

void TStrmSender::ReadAhead()
{
    while (state_ == TState::Sending && !readFailed_ && readAt_ < total_ &&
           int(blocks_.size()) + reading_ < ReadAheadBlocks) {
        const qint64 offset = readAt_;
        const qint64 n = qMin(ReadBlock, total_ - offset);
        readAt_ += n;
        ++reading_;
        work_.Post([this, body = body_, offset, n, stop = stop_,
                    block = TakeSpare()]() mutable -> TSerialWork::TAnswer {
            if (*stop)
                return [this] { --reading_; };
            block.resize(n);
            const qint64 got = body->seek(offset) ? body->read(block.data(), n) : -1;
            QString error;
            if (got != n)
                error = tr("The stream cannot be read: %1")
                            .arg(got < 0 ? body->errorString() : tr("it ended before its size"));
            return [this, block = std::move(block), error] {
                --reading_;
                if (state_ != TState::Sending)
                    return;
                if (!error.isEmpty()) {
                    readFailed_ = true;
                    Finish(error);
                    return;
                }
                blocks_.push_back(block);
                Fill();
            };
        });
    }
}

bool TStrmSender::ReadNow()
{
    if (!readNow_ || reading_ > 0 || readFailed_ || readAt_ >= total_)
        return false;
    const auto* file = qobject_cast<const QFileDevice*>(body_.get());
    if (!file || file->handle() < 0) {
        readNow_ = false;
        return false;
    }
    const qint64 n = qMin(ReadBlock, total_ - readAt_);
    QByteArray block = TakeSpare();
    block.resize(n);
    iovec part{block.data(), size_t(n)};
    const ssize_t got = ::preadv2(file->handle(), &part, 1, readAt_, RWF_NOWAIT);
    if (got != n) {
        // Not all in the page cache: the disk would have to be waited for, so a worker reads
        // it. A kernel or file system that cannot say leaves every read to the workers.
        if (got < 0 && errno != EAGAIN)
            readNow_ = false;
        missed_ = true;
        spare_.push_back(std::move(block));
        return false;
    }
    missed_ = false;
    readAt_ += n;
    blocks_.push_back(std::move(block));
    return true;
}

QByteArray TStrmSender::TakeSpare()
{
    if (spare_.empty())
        return {};
    QByteArray block = std::move(spare_.back());
    spare_.pop_back();
    return block;
}

void TStrmSender::HeardPeer()
{
    if (SilenceMs > 0)
        limit_.start();
}

void TStrmSender::Fill()
{
    // Each block goes from our memory straight into the kernel. What the page cache has is
    // read here, just before it is sent, while it is still in the processor's cache; the rest
    // comes from the workers. Progress is told per block and per turn, not per write: through
    // a secure channel a write takes one record of 16 KiB.
    qint64 told = sent_;
    qint64 turn = 0;
    auto tell = [&] {
        if (turn > 0)
            HeardPeer();
        if (sent_ != told && state_ == TState::Sending)
            emit Progress(told = sent_, total_);
    };
    while (state_ == TState::Sending) {
        const bool header = !header_.isEmpty();
        if (!header && blocks_.empty() && !ReadNow())
            break;
        if (turn >= TurnBytes) {
            socket_->SetWriting(true); // the rest after the window's turn
            tell();
            return;
        }
        const QByteArray& from = header ? header_ : blocks_.front();
        const qint64 n = socket_->Send(from.constData() + taken_, from.size() - taken_);
        if (n < 0) {
            Finish(socket_->PeerReset() ? tr("10054:Connection reset by peer")
                                        : socket_->ErrorString());
            return;
        }
        if (n == 0) {
            socket_->SetWriting(true);
            tell();
            return;
        }
        turn += n;
        taken_ += n;
        if (!header)
            sent_ += n;
        if (taken_ == from.size()) {
            taken_ = 0;
            if (header) {
                header_.clear();
            } else {
                spare_.push_back(std::move(blocks_.front())); // read into again
                blocks_.pop_front();
                tell();
            }
        }
    }
    tell();
    if (state_ == TState::Sending && header_.isEmpty() && sent_ == total_) {
        state_ = TState::Awaiting;
        socket_->SetReading(true);
        emit MessageSent();
        ReadReply();
        return;
    }
    if (state_ == TState::Sending && (!readNow_ || missed_))
        ReadAhead();
}

void TStrmSender::ReadReply()
{
    if (state_ != TState::Awaiting)
        return;
    const QByteArray got = socket_->Read(TStrmFraming::Acknowledgement().size() - reply_.size());
    if (got.isEmpty()) {
        // A receiver that closed without answering has not taken the message.
        if (socket_->AtEnd())
            Finish(tr(NotAcknowledged));
        return;
    }
    HeardPeer();
    reply_ += got;
    if (reply_.size() < TStrmFraming::Acknowledgement().size())
        return;
    Finish(reply_ == TStrmFraming::Acknowledgement() ? QString() : tr(NotAcknowledged));
}

void TStrmSender::ConnectFailed(const QString& reason)
{
    emit ConnectionFailed();
    Finish(reason);
}

void TStrmSender::Finish(const QString& reason)
{
    if (state_ == TState::Idle || state_ == TState::Ending)
        return;
    const bool connected = state_ == TState::Sending || state_ == TState::Awaiting;
    if (!reason.isEmpty() && secure_.secure)
        qCInfo(lcCrypto).noquote() << "secure send to" << Host << "failed:" << reason;
    state_ = TState::Ending;
    limit_.stop();
    *stop_ = true;
    if (lookup_ >= 0)
        QHostInfo::abortHostLookup(std::exchange(lookup_, -1));
    if (socket_) {
        disconnect(socket_, nullptr, this, nullptr);
        // An acknowledged send closes in order; anything else resets, so the receiver
        // drops the body at once.
        if (reason.isEmpty())
            socket_->Close();
        else
            socket_->Abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    blocks_.clear();
    spare_.clear();
    if (reason.isEmpty())
        qCDebug(lcTransfer) << "sent" << FromName << "," << total_ << "bytes, to" << Host;
    // Told once the worker has let go of the body, so its owner may close it at once.
    work_.Post([this, reason, connected]() -> TSerialWork::TAnswer {
        return [this, reason, connected] {
            state_ = TState::Idle;
            body_.reset();
            if (connected)
                emit Disconnected();
            if (reason.isEmpty())
                emit Done();
            else
                emit Failed(reason);
        };
    });
}
