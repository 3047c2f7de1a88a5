#pragma once

#include "transfer/TSockTimer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

#include <memory>

class QIODevice;
class QSocketNotifier;

// A TCP socket component with blocking-style operations (connect, write, read exactly n bytes,
// send a stream, receive into a stream) over a non-blocking socket. Its notifications arrive
// on the thread that owns it, the UI thread; an operation that waits there lets the event loop
// run until the socket is ready, so the window stays alive and nothing spins. On any other
// thread (a server's connection workers) an operation blocks in poll() instead.
class TSockBase : public QObject
{
    Q_OBJECT
public:
    using TNotify = std::function<void(TSockBase* sender)>;

    explicit TSockBase(QObject* owner = nullptr);
    ~TSockBase() override;
    TSockBase(const TSockBase&) = delete;
    TSockBase& operator=(const TSockBase&) = delete;

    // Published properties.
    QString Host;
    int Port = 6711;
    int TimeOut = 0; // milliseconds; 0: none
    int ReportLevel = 0;

    // Events; a missing handler is skipped.
    TNotify OnConnect;
    TNotify OnDisconnect;
    TNotify OnConnectionFailed;
    TNotify OnHostResolved;
    TNotify OnPacketSent;
    TNotify OnPacketRecvd;
    TNotify OnDataArrival; // bytes wait while no operation reads them
    std::function<void(TSockBase* sender, bool& handled)> OnInvalidHost;
    std::function<void(TSockBase* sender, const QString& status)> OnStatus;
    std::function<void(TSockBase* sender, int error, const QString& text)> OnError;

    // State.
    // Counts a worker thread updates and the UI thread may read for progress.
    std::atomic<qint64> SentCount{0};
    std::atomic<qint64> TotalCount{0};
    std::atomic<qint64> ReceivedCount{0};
    int LastError = 0;
    QString Status;
    bool TimedOut = false;
    bool LastSucceeded = true;
    bool EventDone = false;
    QHostAddress RemoteAddress; // the peer; null: none
    std::atomic<bool> Canceled{false};
    std::atomic<bool> Connected{false};
    std::atomic<bool> Destroying{false};

    // Longest silence a read, a capture or a send waits through before it fails with
    // "10060:Connection timed out"; 0: no limit.
    qint64 SilenceLimitMs = 0;
    // A time limit that trickling bytes do not extend: once it passes, a read, a capture or a
    // send fails as timed out. Set it with LimitTime; -1: none.
    void LimitTime(qint64 ms);
    void UnlimitTime() { deadline_ = -1; }
    // The slowest body a capture takes: fewer than MinWindowBytes in any RateWindowMs (after
    // the first) fail it as too slow; 0: any pace.
    qint64 MinWindowBytes = 0;
    qint64 RateWindowMs = 40000;

    virtual void Connect();
    virtual void Disconnect();
    virtual void Abort();
    void Cancel();

    void Write(const QByteArray& text);
    void SendBuffer(const char* data, qint64 length);
    // Exactly n bytes; fewer (none at all included) when the peer closes first.
    QByteArray Read(int n);
    void SendStream(QIODevice& stream);
    // Appends received bytes to the stream until it holds n bytes or the peer closes.
    void CaptureStream(QIODevice& stream, qint64 n);
    // On a worker thread: waits that long, unless the component is cancelled first (then it
    // throws EAbortError as an operation would).
    void Pause(qint64 ms);

    void Listen();
    int Accept();
    void ResolveHost();
    static QString ErrorMessage(int error);
    // Raises ESockError for the last socket error unless it is the expected one or not a
    // socket error at all.
    QString CheckSocketError(int expected);
    void CloseConnection();
    bool DataAvailable() const;
    QString RemoteIP() const;
    void TimerOn();
    void TimerOff();

    // The port the socket is bound to (for a listener on port 0).
    quint16 LocalPort() const;

protected:
    void Report(const QString& text, int level);
    // Makes a fresh socket; the first of a component's life resets its connection on close.
    void NewSocket(bool lingerZero);
    // Takes over an accepted socket, closing the component's own one first.
    void AdoptSocket(int fd);
    // Whether notifications for this component's socket arrive on its owner's thread; off for
    // a connection that a worker thread serves.
    void SetNotifications(bool on);
    void SetErrnoError(int errnoValue);
    [[noreturn]] void ThrowSocketError(int error);

    // Called on an accept notification of a listening socket.
    std::function<void()> acceptCallback_;
    int socket_ = -1;

private:
    enum class TWait
    {
        Ready,
        Canceled,
        TimedOut,
    };
    // Waits until the socket is ready for the poll events, the deadline (a steady-clock time in
    // ms, or -1) passes, or the component is cancelled.
    TWait WaitSocket(short events, qint64 deadline);
    bool OnOwnerThread() const;
    qint64 SilenceDeadline() const;
    void SocketActivated(bool readable);
    void ConnectEvent();
    void TimerTriggered();
    void CloseSocketOnly();

    void UpdateNotifiers();
    void StartTimer(qint64 interval);

    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    bool notifications_ = true;
    bool listening_ = false;
    bool connecting_ = false;
    int waiting_ = 0;
    int wakeFd_ = -1; // an eventfd that wakes a worker's poll() on Cancel
    qint64 timerDeadline_ = -1;
    qint64 deadline_ = -1;
    std::unique_ptr<TSockTimer> timer_;
    QByteArray buffer_;
};
