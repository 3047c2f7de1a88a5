#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <thread>

// The other end of a stream-message connection, written from the wire format alone: a plain
// blocking socket on loopback, served on a thread of its own by a script.
class TRawTcpPeer
{
public:
    // Runs the script on each accepted connection, one after the other, `connections` times.
    explicit TRawTcpPeer(std::function<void(int fd)> script, int connections = 1, int backlog = 4);
    ~TRawTcpPeer();
    TRawTcpPeer(const TRawTcpPeer&) = delete;
    TRawTcpPeer& operator=(const TRawTcpPeer&) = delete;

    quint16 Port() const { return port_; }
    int Accepted() const { return accepted_; }
    // Waits until every connection has been served (at most `ms`).
    bool Wait(int ms);

    // Script helpers on a blocking socket, each bounded by a 10 s receive time-out.
    static QByteArray ReadExactly(int fd, qsizetype n);
    static QByteArray ReadToEnd(int fd, qsizetype limit = 1 << 26);
    static bool WriteAll(int fd, const QByteArray& bytes);
    // Closes with a reset instead of an orderly close.
    static void Reset(int fd);

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};
