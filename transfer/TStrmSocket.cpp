#include "transfer/TStrmSocket.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

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

qint64 TStrmSocket::Read(char* data, qint64 max)
{
    if (AtEnd())
        return -1;
    for (;;) {
        const ssize_t n = ::recv(fd_, data, size_t(max), MSG_DONTWAIT);
        if (n > 0 || max <= 0)
            return qMax<qint64>(n, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        if (n < 0)
            error_ = QString::fromLocal8Bit(std::strerror(errno));
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
    if (reader_)
        reader_->setEnabled(false);
    ::close(fd_);
    fd_ = -1;
}
