#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

// The sending end of a stream-message connection, written from the wire format alone: a plain
// non-blocking socket to a port on loopback. Every wait lets the calling thread's Qt events run
// (a server under test accepts and finishes connections on that thread) and is bounded.
class TRawTcpClient
{
public:
    // Connects; IsConnected() tells whether that worked within the time. from names the
    // loopback address to connect from (127.0.0.2 is another host to the receiver).
    explicit TRawTcpClient(quint16 port, int timeoutMs = 5000, const char* from = nullptr);
    ~TRawTcpClient();
    TRawTcpClient(const TRawTcpClient&) = delete;
    TRawTcpClient& operator=(const TRawTcpClient&) = delete;

    bool IsConnected() const { return connected_; }
    // Sends every byte; false when the connection broke or the time ran out.
    bool Send(const QByteArray& bytes, int timeoutMs = 10000);
    // Up to n bytes: fewer when the other side closes or the time runs out.
    QByteArray Read(qsizetype n, int timeoutMs = 5000);
    // Everything until the other side closes (or resets); nothing when it is still open after
    // the time.
    std::optional<QByteArray> ReadToClose(int timeoutMs = 5000);
    // Whether the other side has closed (or reset), without waiting; unread bytes are kept.
    bool PeerClosed();
    bool WasReset() const { return reset_; }
    // Says that nothing more will be sent; the connection stays open for reading.
    void ShutdownWrite();
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

    // Runs the calling thread's events until done() holds or the time runs out; done()'s last
    // answer.
    static bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

private:
    // Reads until got holds n bytes, the other side closes or the time runs out; whether the
    // other side closed.
    bool Receive(QByteArray& got, qsizetype n, int timeoutMs);
    // Waits for the socket (up to a few milliseconds) and runs pending events once.
    void Pump(short events);

    int fd_ = -1;
    bool connected_ = false;
    bool reset_ = false;
};
