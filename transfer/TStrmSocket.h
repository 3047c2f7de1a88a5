#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
class QThread;
class TTlsContext;
class TTlsStream;

// One TCP connection, accepted or made, used straight on its descriptor: a body goes from the
// kernel to the disk, or from the caller's memory to the kernel, with no socket buffer and no
// copy in between; while reading is off the bytes wait in the kernel, which holds the peer
// back. Used on one thread at a time; nothing in it waits.
class TStrmSocket : public QObject
{
    Q_OBJECT
public:
    // Takes the descriptor of a connected socket; a negative one makes a socket that has ended.
    explicit TStrmSocket(qintptr descriptor, QObject* parent = nullptr);
    ~TStrmSocket() override;
    // Starts connecting to address:port; Connected or ConnectFailed follows, never before the
    // call has returned.
    static TStrmSocket* ConnectTo(const QHostAddress& address, quint16 port,
                                  QObject* parent = nullptr);

    // Null when the peer went before it could be asked.
    QHostAddress PeerAddress() const { return peer_; }
    // Goes on in TLS from here: every byte read or sent afterwards is the channel's plain text.
    // Secured or SecureFailed follows, never before the call has returned.
    void StartTls(std::shared_ptr<const TTlsContext> context, bool server);
    // The channel once StartTls was called; null on a plain connection.
    const TTlsStream* Tls() const { return tls_.get(); }
    // The first byte that came, left for the next read; -1 while none has, -2 once none will.
    int PeekFirst();
    // Up to max bytes the kernel has; 0 when none are there now; -1 once the peer has closed
    // or the connection failed (ErrorString says which).
    qint64 Read(char* data, qint64 max);
    QByteArray Read(qint64 max);
    // As Read, but the bytes go into a pipe of the socket's own without being copied, to be
    // written out with PipeTo; false from CanSplice when the system gives no pipe.
    bool CanSplice();
    qint64 ReadToPipe(qint64 max);
    // Writes the n bytes ReadToPipe took to fd at offset; false with the reason in *error.
    bool PipeTo(int fd, qint64 offset, qint64 n, QString* error);
    // Reads and drops what has come, up to a bound per call; false once the stream has ended.
    bool Discard();
    bool AtEnd() const { return fd_ < 0 || ended_; }
    QString ErrorString() const { return error_; }
    // ReadyRead comes only while reading is on; off, the kernel keeps what comes.
    void SetReading(bool on);
    // Up to n bytes into the kernel: what it took, 0 when it has no room now, -1 once the
    // connection failed (PeerReset tells whether the peer closed or reset it).
    qint64 Send(const char* data, qint64 n);
    bool PeerReset() const { return reset_; }
    // ReadyWrite comes once while writing is on and the kernel has room again.
    void SetWriting(bool on);
    void SetSendBuffer(int bytes);
    // A few bytes into an idle connection (the acknowledgement): the kernel takes them at
    // once, or the connection has failed.
    bool Write(const QByteArray& data);
    void SetReceiveBuffer(int bytes);
    // Closes; bytes left unread make the kernel reset the connection, so a peer still sending
    // learns at once that nothing more is taken.
    void Close();
    // To be used on another thread from now on; called on the socket's own thread.
    void MoveTo(QThread* thread);
    // Closes with a reset: the peer learns at once that what it was sent is not whole.
    void Abort();

signals:
    void ReadyRead();
    void ReadyWrite();
    void Connected();
    void ConnectFailed(const QString& error);
    void Secured();
    void SecureFailed(const QString& error);

private:
    // One non-blocking read, splice or send: the bytes moved, 0 when the kernel has none or no
    // room now, -1 once the stream has ended or failed.
    template <class Take> qint64 Taken(qint64 max, Take take);
    void Readable();
    void Writable();
    void Handshake();
    // Watches for what the owner asked and what the channel waits for.
    void Watch();
    // The channel could not go on until the socket was ready the other way.
    qint64 TlsOutcome(qint64 n, bool reading);

    int fd_ = -1;
    int pipe_[2] = {-1, -1};
    bool noPipe_ = false;
    QHostAddress peer_;
    bool ended_ = false;
    bool connecting_ = false;
    bool reset_ = false;
    bool reading_ = false; // asked by the owner
    bool writing_ = false;
    std::unique_ptr<TTlsStream> tls_;
    bool handshaking_ = false;
    bool readWaitsWrite_ = false; // a read of the channel waits for a writable socket
    bool writeWaitsRead_ = false;
    bool pendingPosted_ = false;
    QString error_;
    // Made on first use, on the thread that uses the socket, which may have been moved.
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
};
