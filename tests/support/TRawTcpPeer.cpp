#include "tests/support/TRawTcpPeer.h"

#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TRawTcpPeer::TRawTcpPeer(std::function<void(int fd)> script, int connections, int backlog)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
        ::listen(listener_, backlog) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) == 0)
        port_ = ntohs(at.sin_port);
    thread_ = std::thread([this, script = std::move(script), connections] {
        for (int i = 0; i < connections; ++i) {
            pollfd p{listener_, POLLIN, 0};
            // Bounded: a test that never connects does not hold the thread for ever.
            if (::poll(&p, 1, 20000) <= 0)
                break;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                break;
            ++accepted_;
            const timeval limit{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            script(fd);
            ::close(fd);
        }
        done_ = true;
    });
}

TRawTcpPeer::~TRawTcpPeer()
{
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

bool TRawTcpPeer::Wait(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done_ && clock.elapsed() < ms)
        QThread::msleep(5);
    return done_;
}

QByteArray TRawTcpPeer::ReadExactly(int fd, qsizetype n)
{
    QByteArray out(n, '\0');
    qsizetype got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, out.data() + got, size_t(n - got), 0);
        if (r <= 0)
            break;
        got += r;
    }
    out.truncate(got);
    return out;
}

QByteArray TRawTcpPeer::ReadToEnd(int fd, qsizetype limit)
{
    QByteArray out;
    char buffer[65536];
    while (out.size() < limit) {
        const ssize_t r = ::recv(fd, buffer, sizeof buffer, 0);
        if (r <= 0)
            break;
        out.append(buffer, r);
    }
    return out;
}

bool TRawTcpPeer::WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t r =
            ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (r <= 0)
            return false;
        done += r;
    }
    return true;
}

void TRawTcpPeer::Reset(int fd)
{
    const linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}
