#include "transfer/TStrmSocket.h"

#include "platform/crypto/TTlsStream.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <utility>
#include <vector>

TStrmSocket::TStrmSocket(qintptr descriptor, QObject* parent)
    : QObject(parent), fd_(int(descriptor))
{
    if (fd_ < 0)
        return;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        peer_.setAddress(reinterpret_cast<const sockaddr*>(&address));
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0 && !(flags & O_NONBLOCK))
        ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

TStrmSocket::~TStrmSocket()
{
    Close();
}

TStrmSocket* TStrmSocket::ConnectTo(const QHostAddress& address, quint16 port, QObject* parent)
{
    auto* socket = new TStrmSocket(-1, parent);
    socket->peer_ = address;
    socket->connecting_ = true;
    // The wire names IPv4 hosts only.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address.toIPv4Address());
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    bool ok = false;
    if (v4)
        socket->fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket->fd_ >= 0) {
        int r;
        do
            r = ::connect(socket->fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        while (r < 0 && errno == EINTR);
        ok = r == 0 || errno == EINPROGRESS;
    }
    if (ok) {
        // Writable once the connection is made or has failed; SO_ERROR tells which.
        socket->Watch();
        return socket;
    }
    socket->error_ = QString::fromLocal8Bit(std::strerror(v4 ? errno : EAFNOSUPPORT));
    socket->ended_ = true;
    QMetaObject::invokeMethod(
        socket, [socket] { emit socket->ConnectFailed(socket->error_); }, Qt::QueuedConnection);
    return socket;
}

void TStrmSocket::Writable()
{
    if (!connecting_) {
        const bool asked = std::exchange(writing_, false);
        if (handshaking_) {
            Handshake();
            return;
        }
        const bool read = std::exchange(readWaitsWrite_, false);
        Watch();
        if (read && reading_)
            emit ReadyRead();
        if (asked)
            emit ReadyWrite();
        return;
    }
    connecting_ = false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0) {
        Watch();
        emit Connected();
        return;
    }
    error_ = QString::fromLocal8Bit(std::strerror(error));
    ended_ = true;
    Watch();
    emit ConnectFailed(error_);
}

void TStrmSocket::Readable()
{
    if (handshaking_) {
        Handshake();
        return;
    }
    if (std::exchange(writeWaitsRead_, false)) {
        Watch();
        emit ReadyWrite();
    }
    if (reading_)
        emit ReadyRead();
}

void TStrmSocket::StartTls(std::shared_ptr<const TTlsContext> context, bool server)
{
    tls_ = std::make_unique<TTlsStream>(std::move(context), fd_, server);
    handshaking_ = true;
    // The handshake's flights and a call's frames are small writes that wait for an answer:
    // held back for the peer's delayed acknowledgement, each would cost 40 ms.
    const int on = 1;
    if (fd_ >= 0)
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    QMetaObject::invokeMethod(this, &TStrmSocket::Handshake, Qt::QueuedConnection);
}

void TStrmSocket::Handshake()
{
    if (!handshaking_)
        return;
    const int r = AtEnd() ? -1 : tls_->Handshake();
    if (r == 0) {
        Watch();
        return;
    }
    handshaking_ = false;
    if (r < 0) {
        if (error_.isEmpty())
            error_ = tls_->Error();
        ended_ = true;
        Watch();
        emit SecureFailed(error_);
        return;
    }
    Watch();
    emit Secured();
}

void TStrmSocket::Watch()
{
    const bool open = fd_ >= 0 && !ended_;
    const TTlsStream::TWant want = handshaking_ ? tls_->Want() : TTlsStream::TWant::Nothing;
    const bool read =
        open && !connecting_ &&
        (reading_ || writeWaitsRead_ || (handshaking_ && want != TTlsStream::TWant::Write));
    const bool write = open && (connecting_ || writing_ || readWaitsWrite_ ||
                                (handshaking_ && want == TTlsStream::TWant::Write));
    if (!reader_ && read) {
        reader_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Read, this);
        connect(reader_, &QSocketNotifier::activated, this, &TStrmSocket::Readable);
    }
    if (!writer_ && write) {
        writer_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Write, this);
        connect(writer_, &QSocketNotifier::activated, this, &TStrmSocket::Writable);
    }
    if (reader_)
        reader_->setEnabled(read);
    if (writer_)
        writer_->setEnabled(write);
}

qint64 TStrmSocket::TlsOutcome(qint64 n, bool reading)
{
    if (n > 0) {
        // Records already taken from the kernel announce themselves no more.
        if (reading && tls_->Pending() && !std::exchange(pendingPosted_, true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    pendingPosted_ = false;
                    if (reading_ && !AtEnd())
                        emit ReadyRead();
                },
                Qt::QueuedConnection);
        return n;
    }
    if (n < 0) {
        ended_ = true;
        error_ = tls_->Error();
        reset_ = tls_->SystemError() == ECONNRESET || tls_->SystemError() == EPIPE;
    } else if (reading && tls_->Want() == TTlsStream::TWant::Write) {
        readWaitsWrite_ = true;
    } else if (!reading && tls_->Want() == TTlsStream::TWant::Read) {
        writeWaitsRead_ = true;
    }
    Watch();
    return n;
}

int TStrmSocket::PeekFirst()
{
    if (AtEnd())
        return -2;
    unsigned char c = 0;
    ssize_t n;
    do
        n = ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n == 1)
        return c;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : -2;
}

qint64 TStrmSocket::Send(const char* data, qint64 n)
{
    if (AtEnd() || connecting_)
        return AtEnd() ? -1 : 0;
    // Nothing to send is no failure (the channel would take a write of nothing for one).
    if (n <= 0)
        return 0;
    if (tls_)
        return handshaking_ ? 0 : TlsOutcome(tls_->Write(data, n), false);
    return Taken(n, [&] { return ::send(fd_, data, size_t(n), MSG_DONTWAIT | MSG_NOSIGNAL); });
}

void TStrmSocket::SetWriting(bool on)
{
    writing_ = on;
    Watch();
}

void TStrmSocket::SetSendBuffer(int bytes)
{
    if (fd_ >= 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void TStrmSocket::MoveTo(QThread* thread)
{
    // Notifiers watch for the thread that made them; new ones are made there as needed.
    for (QSocketNotifier** n : {&reader_, &writer_})
        std::unique_ptr<QSocketNotifier>(std::exchange(*n, nullptr)).reset();
    moveToThread(thread);
}

void TStrmSocket::Abort()
{
    if (fd_ >= 0) {
        const linger reset{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    tls_.reset();
    Close();
}

qint64 TStrmSocket::Read(char* data, qint64 max)
{
    if (AtEnd())
        return -1;
    if (tls_)
        return handshaking_ ? 0 : TlsOutcome(tls_->Read(data, max), true);
    return Taken(max, [&] { return ::recv(fd_, data, size_t(max), MSG_DONTWAIT); });
}

template <class Take> qint64 TStrmSocket::Taken(qint64 max, Take take)
{
    for (;;) {
        const ssize_t n = take();
        if (n > 0 || max <= 0)
            return qMax<qint64>(n, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        if (n < 0) {
            error_ = QString::fromLocal8Bit(std::strerror(errno));
            reset_ = errno == ECONNRESET || errno == EPIPE;
        }
        ended_ = true;
        return -1;
    }
}

QByteArray TStrmSocket::Read(qint64 max)
{
    QByteArray got(max, Qt::Uninitialized);
    got.truncate(qMax<qint64>(Read(got.data(), max), 0));
    return got;
}

bool TStrmSocket::CanSplice()
{
    if (tls_)
        return false;
    if (pipe_[0] >= 0)
        return true;
    if (noPipe_ || ::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        noPipe_ = true;
        pipe_[0] = pipe_[1] = -1;
        return false;
    }
    // A pipe as large as a read; the system may keep it smaller, which only shortens reads.
    ::fcntl(pipe_[1], F_SETPIPE_SZ, 1 << 20);
    return true;
}

qint64 TStrmSocket::ReadToPipe(qint64 max)
{
    if (AtEnd())
        return -1;
    if (!CanSplice())
        return 0;
    return Taken(max, [&] {
        return ::splice(fd_, nullptr, pipe_[1], nullptr, size_t(max),
                        SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    });
}

bool TStrmSocket::PipeTo(int fd, qint64 offset, qint64 n, QString* error)
{
    loff_t at = offset;
    bool copy = false; // a file system that takes no splice gets the bytes by write
    std::vector<char> scrap;
    while (n > 0) {
        ssize_t moved;
        if (!copy) {
            moved = ::splice(pipe_[0], nullptr, fd, &at, size_t(n), SPLICE_F_MOVE);
            if (moved < 0 && errno == EINVAL) {
                copy = true;
                scrap.resize(65536);
                continue;
            }
        } else {
            moved = ::read(pipe_[0], scrap.data(), size_t(qMin<qint64>(n, qint64(scrap.size()))));
            for (ssize_t done = 0; moved > 0 && done < moved;) {
                const ssize_t w = ::pwrite(fd, scrap.data() + done, size_t(moved - done), at);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    moved = -1;
                    break;
                }
                done += w;
                at += w;
            }
        }
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0) {
            *error = moved < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                               : QStringLiteral("the file took nothing");
            return false;
        }
        n -= moved;
    }
    return true;
}

bool TStrmSocket::Discard()
{
    // A peer that keeps sending cannot keep the thread to itself.
    char scrap[16384];
    for (int i = 0; i < 64; ++i)
        if (const qint64 n = Read(scrap, sizeof scrap); n <= 0)
            return n == 0;
    return true;
}

void TStrmSocket::SetReading(bool on)
{
    reading_ = on;
    Watch();
}

bool TStrmSocket::Write(const QByteArray& data)
{
    if (fd_ < 0)
        return false;
    if (tls_)
        return !handshaking_ &&
               TlsOutcome(tls_->Write(data.constData(), data.size()), false) == data.size();
    ssize_t n;
    do
        n = ::send(fd_, data.constData(), size_t(data.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == data.size();
}

void TStrmSocket::SetReceiveBuffer(int bytes)
{
    if (fd_ >= 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void TStrmSocket::Close()
{
    if (fd_ < 0)
        return;
    // The notifier stops watching before the descriptor goes; it goes with this object.
    for (QSocketNotifier* n : {reader_, writer_})
        if (n)
            n->setEnabled(false);
    // The peer learns that the channel ended here, not that it was cut.
    if (tls_ && tls_->Secured() && !ended_)
        tls_->Shutdown();
    tls_.reset();
    handshaking_ = false;
    ::close(fd_);
    fd_ = -1;
    for (int& end : pipe_)
        if (end >= 0)
            ::close(std::exchange(end, -1));
}
