#include "transfer/TStrmSocket.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
        socket->writer_ = new QSocketNotifier(qintptr(socket->fd_), QSocketNotifier::Write, socket);
        connect(socket->writer_, &QSocketNotifier::activated, socket, &TStrmSocket::Writable);
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
    writer_->setEnabled(false);
    if (!connecting_) {
        emit ReadyWrite();
        return;
    }
    connecting_ = false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0) {
        emit Connected();
        return;
    }
    error_ = QString::fromLocal8Bit(std::strerror(error));
    ended_ = true;
    emit ConnectFailed(error_);
}

qint64 TStrmSocket::Send(const char* data, qint64 n)
{
    if (AtEnd() || connecting_)
        return AtEnd() ? -1 : 0;
    return Taken(n, [&] { return ::send(fd_, data, size_t(n), MSG_DONTWAIT | MSG_NOSIGNAL); });
}

void TStrmSocket::SetWriting(bool on)
{
    on = on && !AtEnd();
    if (!writer_ && on) {
        writer_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Write, this);
        connect(writer_, &QSocketNotifier::activated, this, &TStrmSocket::Writable);
    }
    if (writer_ && !connecting_)
        writer_->setEnabled(on);
}

void TStrmSocket::SetSendBuffer(int bytes)
{
    if (fd_ >= 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void TStrmSocket::Abort()
{
    if (fd_ >= 0) {
        const linger reset{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    Close();
}

qint64 TStrmSocket::Read(char* data, qint64 max)
{
    if (AtEnd())
        return -1;
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
    on = on && !AtEnd();
    if (!reader_ && on) {
        reader_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Read, this);
        connect(reader_, &QSocketNotifier::activated, this, &TStrmSocket::ReadyRead);
    }
    if (reader_)
        reader_->setEnabled(on);
}

bool TStrmSocket::Write(const QByteArray& data)
{
    if (fd_ < 0)
        return false;
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
    ::close(fd_);
    fd_ = -1;
    for (int& end : pipe_)
        if (end >= 0)
            ::close(std::exchange(end, -1));
}
