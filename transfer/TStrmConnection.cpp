#include "transfer/TStrmConnection.h"

#include "platform/crypto/TChannelFrames.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsStream.h"
#include "platform/logging/Logging.h"
#include "platform/logging/TAddressThrottle.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSocket.h"

#include <QCoreApplication>

namespace {

// What one read takes from the wire and one write puts on the disk.
constexpr qint64 ReadBlock = 256 * 1024;
// What one turn of the event loop takes at most, so that a cancel and the timers get theirs.
constexpr qint64 TurnBytes = 4 * 1024 * 1024;
// What the kernel holds for the connection while the disk is written.
constexpr int KernelBuffer = 1024 * 1024;

std::atomic<quint64> arrivals{0};

// How long a connection may stay silent before it is told as a contact without its first byte.
constexpr int SilentContactMs = 1000;

} // namespace

TStrmConnection::TStrmConnection(TStrmSocket* socket, quint64 id, const TStrmLimits& limits,
                                 std::shared_ptr<const TStrmHandlers> handlers, QObject* parent)
    : QObject(parent), socket_(socket), id_(id), peer_(socket->PeerAddress()), limits_(limits),
      handlers_(std::move(handlers)), silence_(this), headerTime_(this), rate_(this),
      closeWait_(this), turn_(this)
{
    socket_->setParent(this);
    socket_->SetReceiveBuffer(KernelBuffer);
    connect(socket_, &TStrmSocket::ReadyRead, this, &TStrmConnection::Pump);
    silence_.setSingleShot(true);
    silence_.setInterval(int(qMin<qint64>(limits_.silenceMs, INT_MAX)));
    connect(&silence_, &QTimer::timeout, this, [this] { Fail(tr("10060:Connection timed out")); });
    // Trickling bytes do not stretch this: a peer that holds a slot must say what it sends.
    headerTime_.setSingleShot(true);
    headerTime_.setInterval(int(qMin<qint64>(limits_.headerTimeMs, INT_MAX)));
    connect(&headerTime_, &QTimer::timeout, this, [this] {
        if (state_ == TState::Header)
            End();
    });
    rate_.setInterval(1000);
    connect(&rate_, &QTimer::timeout, this, &TStrmConnection::CheckRate);
    // The slot and the address's share of them are held until then, however it trickles.
    closeWait_.setSingleShot(true);
    closeWait_.setInterval(int(qMin<qint64>(limits_.closeWaitMs, INT_MAX)));
    connect(&closeWait_, &QTimer::timeout, this, [this] { End(); });
    turn_.setSingleShot(true);
    connect(&turn_, &QTimer::timeout, this, &TStrmConnection::Store);
    HeardPeer();
    headerTime_.start();
    QMetaObject::invokeMethod(this, &TStrmConnection::Pump, Qt::QueuedConnection);
}

void TStrmConnection::Contact()
{
    if (!std::exchange(contacted_, true))
        emit Contacted(PeerKey());
}

void TStrmConnection::HandOver(const QByteArray& callId)
{
    if (!handlers_->call) {
        End();
        return;
    }
    disconnect(socket_, nullptr, this, nullptr);
    TStrmSocket* socket = std::exchange(socket_, new TStrmSocket(-1, this));
    socket->setParent(nullptr);
    socket->MoveTo(QCoreApplication::instance()->thread());
    End();
    handlers_->call(socket, callId);
}

void TStrmConnection::HeardPeer()
{
    if (limits_.silenceMs > 0)
        silence_.start();
}

void TStrmConnection::GiveFolder(const QString& folder)
{
    if (hasFolder_)
        return;
    folder_ = folder;
    hasFolder_ = true;
    if (state_ == TState::Admitting)
        Admit();
}

void TStrmConnection::Cancel()
{
    if (state_ != TState::Ended)
        Fail(tr("Socket capture aborted"));
}

void TStrmConnection::Pump()
{
    switch (state_) {
    case TState::Header:
        socket_->SetReading(true);
        if (Secure() && ReadHeader())
            Admit();
        return;
    case TState::Body:
        ReadBody();
        return;
    case TState::Answered:
        // Whatever follows the body is no part of it; left unread it would reset the
        // connection under the acknowledgement.
        socket_->SetReading(true);
        if (!socket_->Discard())
            PeerClosed();
        return;
    case TState::Ended:
        return;
    default:
        // The bytes wait in the kernel for their turn.
        socket_->SetReading(false);
        return;
    }
}

bool TStrmConnection::Secure()
{
    if (channel_ == TChannel::Plain || channel_ == TChannel::Open)
        return true;
    if (channel_ == TChannel::Handshaking)
        return false;
    const int first = socket_->PeekFirst();
    if (first == -1) {
        // A peer that says nothing is a contact all the same, told a moment later.
        if (!std::exchange(peekTimed_, true))
            QTimer::singleShot(SilentContactMs, this, [this] {
                if (channel_ == TChannel::Undecided)
                    Contact();
            });
        return false;
    }
    if (first != 0x16 || !handlers_->tls) {
        channel_ = TChannel::Plain;
        Contact();
        return true;
    }
    channel_ = TChannel::Handshaking;
    connect(socket_, &TStrmSocket::Secured, this, [this] {
        channel_ = TChannel::Open;
        peerKey_ = socket_->Tls()->PeerFingerprint();
        qCInfo(lcCrypto).noquote()
            << "secure channel from" << RemoteIP() << ", key" << TIdentity::Base32(peerKey_).left(8)
            << "," << socket_->Tls()->Suite();
        headerField_ = -2;
        Pump();
    });
    connect(socket_, &TStrmSocket::SecureFailed, this, [this](const QString& error) {
        static TAddressThrottle failures;
        if (failures.Allow(peer_.toIPv4Address()))
            qCWarning(lcCrypto).noquote() << "no secure channel from" << RemoteIP() << ":" << error;
        End();
    });
    socket_->StartTls(handlers_->tls, true);
    return false;
}

bool TStrmConnection::TakeField(qint64 size)
{
    const QByteArray got = socket_->Read(size - field_.size());
    if (got.isEmpty()) {
        if (socket_->AtEnd())
            PeerClosed();
        return false;
    }
    HeardPeer();
    field_ += got;
    return field_.size() == size;
}

bool TStrmConnection::ReadHeader()
{
    while (state_ == TState::Header) {
        if (headerField_ == -2) {
            if (!TakeField(2))
                return false;
            const std::optional<int> length = TChannelFrames::Length(field_);
            if (!length) {
                End();
                return false;
            }
            frameLength_ = *length;
            field_.clear();
            headerField_ = -1;
        } else if (headerField_ == -1) {
            if (!TakeField(frameLength_))
                return false;
            // Only a message comes this way; the rest of the stream is the plain framing.
            const TChannelFrames::TFrame hello{field_.at(0), field_.mid(1)};
            const auto parsed = TChannelFrames::ParseHello(hello);
            if (parsed && parsed->kind == TChannelFrames::KindCall) {
                HandOver(parsed->callId);
                return false;
            }
            if (!parsed) {
                qCDebug(lcCrypto) << "a channel from" << RemoteIP() << "opened with no hello";
                End();
                return false;
            }
            Contact();
            field_.clear();
            headerField_ = 0;
        } else if (headerField_ == 0) {
            if (!TakeField(TStrmFraming::NameLengthSize))
                return false;
            const std::optional<qint32> n = TStrmFraming::ParseLength(field_);
            if (!n) {
                End();
                return false;
            }
            field_.clear();
            nameLength_ = *n;
            headerField_ = *n > 0 ? 1 : 2;
        } else if (headerField_ == 1) {
            if (!TakeField(nameLength_))
                return false;
            name_ = field_;
            field_.clear();
            headerField_ = 2;
        } else {
            if (!TakeField(TStrmFraming::BodyLengthSize))
                return false;
            const std::optional<qint32> length = TStrmFraming::ParseLength(field_);
            if (!length) {
                End();
                return false;
            }
            field_ = QByteArray();
            total_ = *length;
            received_ = 0;
            framed_ = true;
            headerTime_.stop();
            state_ = TState::Admitting;
            return true;
        }
    }
    return false;
}

void TStrmConnection::Admit()
{
    // The time the admission takes is ours, not the peer's.
    silence_.stop();
    if (!hasFolder_ || state_ != TState::Admitting)
        return;
    TStrmAdmission admission;
    try {
        if (handlers_->admit)
            admission = handlers_->admit(*this, total_);
    } catch (const std::exception& e) {
        qCWarning(lcTransfer) << "admitting a body:" << e.what();
        admission.admitted = false;
    }
    Admitted(admission);
}

void TStrmConnection::Admitted(const TStrmAdmission& admission)
{
    if (state_ != TState::Admitting)
        return;
    if (!admission.admitted) {
        framed_ = false; // the admission said why
        End();
        return;
    }
    admission_ = admission;
    body_ = std::make_shared<TSpooledStream>(folder_);
    spool_ = Undecided;
    state_ = TState::Body;
    emit Progress(0, total_);
    if (total_ == 0) {
        BodyDone();
        return;
    }
    bodyClock_.start();
    marks_ = {{0, 0}};
    if (limits_.minRateBytes > 0)
        rate_.start();
    HeardPeer();
    ReadBody();
}

void TStrmConnection::ReadBody()
{
    socket_->SetReading(true);
    // A body bound for a file goes from the socket to it through a pipe, never through our
    // memory; a small one, or where the system gives no pipe, is read into a block.
    if (spool_ == Undecided)
        spool_ = total_ > TSpooledStream::MemoryLimit && socket_->CanSplice() ? body_->SpoolHandle()
                                                                              : -1;
    if (spool_ < 0 && block_.isEmpty())
        block_ = QByteArray(ReadBlock, Qt::Uninitialized);
    for (qint64 turn = 0; state_ == TState::Body && received_ < total_ && turn < TurnBytes;) {
        // Never more than was announced: whatever follows is not part of the body.
        const qint64 want = qMin(total_ - received_, ReadBlock);
        // A secure channel gives a record (16 KiB) a read: the block is filled before the disk
        // and the progress hear of it.
        qint64 n = spool_ >= 0 ? socket_->ReadToPipe(want) : socket_->Read(block_.data(), want);
        while (spool_ < 0 && n > 0 && n < want) {
            const qint64 more = socket_->Read(block_.data() + n, want - n);
            if (more <= 0)
                break; // an end is seen on the next read
            n += more;
        }
        if (n <= 0) {
            peerGone_ = peerGone_ || n < 0;
            break;
        }
        const qint64 at = received_;
        received_ += n;
        turn += n;
        // Written here, on the connection's own thread: a slow disk holds up this connection
        // alone, and the bytes go from the kernel to the disk without changing threads.
        QElapsedTimer disk;
        disk.start();
        QString error;
        QString why;
        if (admission_.grow && !admission_.grow(received_))
            error = tr("not enough free space");
        else if (spool_ >= 0 ? !socket_->PipeTo(spool_, at, n, &why)
                             : body_->write(block_.constData(), n) != n)
            error = tr("The received data cannot be stored: %1")
                        .arg(spool_ >= 0 ? why : body_->errorString());
        ourNs_ += disk.nsecsElapsed(); // the peer waited for us meanwhile
        HeardPeer();
        emit Progress(received_, total_);
        if (!error.isEmpty()) {
            Fail(error);
            return;
        }
    }
    if (state_ != TState::Body)
        return;
    if (received_ == total_) {
        if (spool_ >= 0)
            body_->seek(received_);
        BodyDone();
    } else if (peerGone_)
        Fail(tr("%1 of %2 bytes arrived").arg(received_).arg(total_));
}

void TStrmConnection::BodyDone()
{
    rate_.stop();
    silence_.stop();
    state_ = TState::Storing;
    // Files from one address are taken at a pace, empty ones as well; one over it waits.
    const std::chrono::milliseconds wait =
        handlers_->turn ? handlers_->turn(peer_) : std::chrono::milliseconds(0);
    if (wait.count() > 0) {
        turn_.start(int(qMin<qint64>(wait.count(), INT_MAX)));
        return;
    }
    Store();
}

void TStrmConnection::Store()
{
    if (state_ != TState::Storing)
        return;
    // Numbered as the body is taken, so a sender's next message is always numbered later.
    arrival_ = ++arrivals;
    bool stored = false;
    try {
        body_->seek(0);
        stored = handlers_->message && handlers_->message(*this, name_, *body_);
    } catch (const std::exception& e) {
        qCDebug(lcTransfer) << "storing a body from" << RemoteIP() << ":" << e.what();
    } catch (...) {
        qCDebug(lcTransfer) << "storing a body from" << RemoteIP() << ": an unknown failure";
    }
    // A body the handler did not move takes its spool file with it, and its share of the disk.
    body_.reset();
    admission_ = {};
    StoreAnswered(stored);
}

void TStrmConnection::StoreAnswered(bool stored)
{
    if (state_ != TState::Storing)
        return;
    framed_ = false; // delivered: what the handler did is its own affair
    if (!stored) {
        End();
        return;
    }
    if (!socket_->Write(TStrmFraming::Acknowledgement()))
        qCDebug(lcTransfer) << "the acknowledgement to" << RemoteIP() << "could not be sent";
    state_ = TState::Answered;
    emit Done();
    // An answered peer closes once it has read the acknowledgement; closing before that could
    // reset the connection under it.
    if (peerGone_) {
        End();
        return;
    }
    closeWait_.start();
    Pump();
}

void TStrmConnection::PeerClosed()
{
    if (state_ == TState::Ended)
        return;
    if (!socket_->ErrorString().isEmpty())
        qCDebug(lcTransfer) << "connection from" << RemoteIP() << ":" << socket_->ErrorString();
    peerGone_ = true;
    switch (state_) {
    case TState::Header:
    case TState::Answered:
        End();
        return;
    case TState::Body:
        ReadBody(); // the loss, if it is short
        return;
    default:
        return; // a whole body is still stored; the peer only misses the answer
    }
}

void TStrmConnection::CheckRate()
{
    // The peer's time: what our disk took is not counted against its pace.
    const qint64 now = bodyClock_.elapsed() - ourNs_ / 1000000;
    if (now - marks_.back().first >= 1000)
        marks_.emplace_back(now, received_);
    if (now < limits_.rateWindowMs)
        return;
    // The count a window ago: the newest mark at least that old.
    while (marks_.size() > 1 && marks_[1].first <= now - limits_.rateWindowMs)
        marks_.pop_front();
    if (received_ - marks_.front().second < limits_.minRateBytes)
        Fail(tr("The body came slower than %1 bytes in %2 s.")
                 .arg(limits_.minRateBytes)
                 .arg(limits_.rateWindowMs / 1000));
}

void TStrmConnection::Fail(const QString& error)
{
    if (state_ == TState::Ended)
        return;
    qCDebug(lcTransfer) << "receiving from" << RemoteIP() << ":" << error;
    if (std::exchange(framed_, false))
        emit Failed(name_, error);
    End();
}

void TStrmConnection::End()
{
    if (state_ == TState::Ended)
        return;
    state_ = TState::Ended;
    for (QTimer* t : {&silence_, &headerTime_, &rate_, &closeWait_, &turn_})
        t->stop();
    socket_->Close();
    // A body that will not be stored goes, and its spool file with it.
    body_.reset();
    admission_ = {};
    emit Ended();
}
