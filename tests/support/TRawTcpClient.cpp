#include "tests/support/TRawTcpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <limits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long one turn of a wait sits in poll() before it lets the events run again.
constexpr int TurnMs = 2;

void RunEvents()
{
    if (QCoreApplication::instance() && QThread::currentThread() == qApp->thread())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

TRawTcpClient::TRawTcpClient(quint16 port, int timeoutMs, const char* from)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    if (from) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
            return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        connected_ = true;
        return;
    }
    if (errno != EINPROGRESS)
        return;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, TurnMs) > 0) {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
            connected_ = error == 0;
            return;
        }
        RunEvents();
    }
}

TRawTcpClient::~TRawTcpClient()
{
    Close();
}

void TRawTcpClient::Pump(short events)
{
    pollfd p{fd_, events, 0};
    ::poll(&p, 1, TurnMs);
    RunEvents();
}

bool TRawTcpClient::Send(const QByteArray& bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (fd_ >= 0 && done < bytes.size() && clock.elapsed() < timeoutMs) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        Pump(POLLOUT);
    }
    return done == bytes.size();
}

bool TRawTcpClient::Receive(QByteArray& got, qsizetype n, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    char buffer[65536];
    while (fd_ >= 0 && got.size() < n && clock.elapsed() < timeoutMs) {
        const ssize_t r =
            ::recv(fd_, buffer, size_t(qMin<qsizetype>(n - got.size(), sizeof buffer)), 0);
        if (r > 0) {
            got.append(buffer, r);
            continue;
        }
        if (r == 0)
            return true;
        if (errno == ECONNRESET) {
            reset_ = true;
            return true;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return true;
        Pump(POLLIN);
    }
    return fd_ < 0;
}

QByteArray TRawTcpClient::Read(qsizetype n, int timeoutMs)
{
    QByteArray got;
    Receive(got, n, timeoutMs);
    return got;
}

std::optional<QByteArray> TRawTcpClient::ReadToClose(int timeoutMs)
{
    QByteArray got;
    if (Receive(got, std::numeric_limits<qsizetype>::max(), timeoutMs))
        return got;
    return std::nullopt;
}

bool TRawTcpClient::PeerClosed()
{
    if (fd_ < 0)
        return true;
    char byte = 0;
    const ssize_t r = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (r == 0)
        return true;
    if (r < 0 && errno == ECONNRESET) {
        reset_ = true;
        return true;
    }
    return false;
}

void TRawTcpClient::ShutdownWrite()
{
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_WR);
}

void TRawTcpClient::Reset()
{
    if (fd_ < 0)
        return;
    const linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
}

void TRawTcpClient::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TRawTcpClient::PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs)
            return done();
        // Wakes for the next event, or after a turn at the latest (a worker's change of state
        // raises no event here).
        QTimer turn;
        turn.setSingleShot(true);
        turn.start(TurnMs);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
