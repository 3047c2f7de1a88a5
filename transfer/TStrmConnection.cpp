#include "transfer/TStrmConnection.h"

#include "platform/logging/Logging.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmFraming.h"

#include <QTcpSocket>

namespace {

// What one read takes from the wire and one job writes.
constexpr qint64 ReadBlock = 256 * 1024;
// Body bytes read but not yet written: reading stops there, so a slow disk slows the peer
// (TCP holds it back) and memory never follows what it announces.
constexpr qint64 MaxBacklog = 4 * 1024 * 1024;
// What the socket buffers beyond that while reading stops.
constexpr qint64 SocketBuffer = 1024 * 1024;

std::atomic<quint64> arrivals{0};

} // namespace

TStrmConnection::TStrmConnection(QTcpSocket* socket, quint64 id, const TStrmLimits& limits,
                                 std::shared_ptr<const TStrmHandlers> handlers, QObject* parent)
    : QObject(parent), socket_(socket), id_(id), peer_(socket->peerAddress()), limits_(limits),
      handlers_(std::move(handlers)), stop_(std::make_shared<std::atomic<bool>>(false)), work_(this)
{
    socket_->setParent(this);
    socket_->setReadBufferSize(SocketBuffer);
    socket_->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, int(SocketBuffer));
    connect(socket_, &QTcpSocket::readyRead, this, &TStrmConnection::Pump);
    connect(socket_, &QTcpSocket::disconnected, this, &TStrmConnection::PeerClosed);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            qCDebug(lcTransfer) << "connection from" << RemoteIP() << ":" << socket_->errorString();
        PeerClosed();
    });
    silence_.setSingleShot(true);
    silence_.setInterval(int(qMin<qint64>(limits_.silenceMs, INT_MAX)));
    connect(&silence_, &QTimer::timeout, this,
            [this] { Fail(QStringLiteral("10060:Connection timed out")); });
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

TStrmConnection::~TStrmConnection()
{
    *stop_ = true;
    // A message stored as the server goes is still acknowledged, or its sender would take it
    // for lost and send it again.
    work_.Stop();
    if (state_ == TState::Storing && stored_) {
        socket_->write(TStrmFraming::Acknowledgement());
        socket_->flush();
    }
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
        Fail(QStringLiteral("Socket capture aborted"));
}

void TStrmConnection::Pump()
{
    switch (state_) {
    case TState::Header:
        if (ReadHeader())
            Admit();
        return;
    case TState::Body:
        ReadBody();
        return;
    case TState::Answered:
        // Whatever follows the body is no part of it; left unread it would reset the
        // connection under the acknowledgement.
        socket_->skip(socket_->bytesAvailable());
        return;
    default:
        return; // the bytes wait for their turn
    }
}

bool TStrmConnection::TakeField(qint64 size)
{
    const QByteArray got = socket_->read(size - field_.size());
    if (!got.isEmpty())
        HeardPeer();
    field_ += got;
    return field_.size() == size;
}

bool TStrmConnection::ReadHeader()
{
    while (state_ == TState::Header) {
        if (headerField_ == 0) {
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
    work_.Post([this, handlers = handlers_, length = total_]() -> TSerialWork::TAnswer {
        TStrmAdmission admission;
        try {
            if (handlers->admit)
                admission = handlers->admit(*this, length);
        } catch (const std::exception& e) {
            qCWarning(lcTransfer) << "admitting a body:" << e.what();
            admission.admitted = false;
        }
        return [this, admission] { Admitted(admission); };
    });
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
    while (state_ == TState::Body && received_ < total_ && backlog_ < MaxBacklog) {
        // Never more than was announced: whatever follows is not part of the body.
        const QByteArray block = socket_->read(qMin(total_ - received_, ReadBlock));
        if (block.isEmpty())
            break;
        const qint64 n = block.size();
        received_ += n;
        backlog_ += n;
        HeardPeer();
        emit Progress(received_, total_);
        work_.Post([this, n, block, body = body_, grow = admission_.grow, stop = stop_,
                    receivedNow = received_]() -> TSerialWork::TAnswer {
            if (*stop)
                return {};
            QString error;
            if (grow && !grow(receivedNow))
                error = QStringLiteral("not enough free space");
            else if (body->write(block) != n)
                error = QStringLiteral("The received data cannot be stored: %1")
                            .arg(body->errorString());
            return [this, n, error] { Written(n, error); };
        });
    }
    if (state_ != TState::Body)
        return;
    if (backlog_ >= MaxBacklog && !paused_) {
        // Our disk is behind: the peer is not silent or slow while we do not read.
        paused_ = true;
        silence_.stop();
    }
    if (peerGone_ && received_ < total_ && socket_->bytesAvailable() == 0)
        Fail(QStringLiteral("%1 of %2 bytes arrived").arg(received_).arg(total_));
}

void TStrmConnection::Written(qint64 bytes, const QString& error)
{
    backlog_ -= bytes;
    if (state_ != TState::Body)
        return;
    if (!error.isEmpty()) {
        Fail(error);
        return;
    }
    if (paused_ && backlog_ < MaxBacklog) {
        paused_ = false;
        lastPauseMs_ = bodyClock_.elapsed();
        HeardPeer();
    }
    if (received_ == total_ && backlog_ == 0)
        BodyDone();
    else
        ReadBody();
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
    // The body and its share go with the job: removing a spool file is disk work too.
    work_.Post([this, handlers = handlers_, name = name_, body = std::move(body_),
                hold = std::move(admission_)]() mutable -> TSerialWork::TAnswer {
        bool stored = false;
        try {
            body->seek(0);
            stored = handlers->message && handlers->message(*this, name, *body);
            stored_ = stored;
        } catch (const std::exception& e) {
            qCDebug(lcTransfer) << "storing a body from" << RemoteIP() << ":" << e.what();
        } catch (...) {
            qCDebug(lcTransfer) << "storing a body from" << RemoteIP() << ": an unknown failure";
        }
        body.reset();
        hold = {};
        return [this, stored] { StoreAnswered(stored); };
    });
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
    socket_->write(TStrmFraming::Acknowledgement());
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
    if (peerGone_ || state_ == TState::Ended)
        return;
    peerGone_ = true;
    switch (state_) {
    case TState::Header:
    case TState::Answered:
        End();
        return;
    case TState::Body:
        ReadBody(); // what was buffered, then the loss if it is short
        return;
    default:
        return; // a whole body is still stored; the peer only misses the answer
    }
}

void TStrmConnection::CheckRate()
{
    const qint64 now = bodyClock_.elapsed();
    if (now - marks_.back().first >= 1000)
        marks_.emplace_back(now, received_);
    if (now < limits_.rateWindowMs || paused_ ||
        (lastPauseMs_ >= 0 && now - lastPauseMs_ < limits_.rateWindowMs))
        return;
    // The count a window ago: the newest mark at least that old.
    while (marks_.size() > 1 && marks_[1].first <= now - limits_.rateWindowMs)
        marks_.pop_front();
    if (received_ - marks_.front().second < limits_.minRateBytes)
        Fail(QStringLiteral("The body came slower than %1 bytes in %2 s.")
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
    End(error == QLatin1String("Socket capture aborted"));
}

void TStrmConnection::End(bool reset)
{
    if (state_ == TState::Ended)
        return;
    state_ = TState::Ended;
    *stop_ = true;
    for (QTimer* t : {&silence_, &headerTime_, &rate_, &closeWait_, &turn_})
        t->stop();
    if (reset)
        socket_->abort();
    else
        socket_->close();
    // A body that will not be stored, and its spool file, go on a worker.
    if (body_ || admission_.hold)
        work_.Post([body = std::move(body_), hold = std::move(admission_)]() mutable {
            body.reset();
            hold = {};
            return TSerialWork::TAnswer{};
        });
    emit Ended();
}
