#pragma once

#include "transfer/TSerialWork.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class TStrmSocket;
class TTlsContext;

// Sends one stream message per connection, as a state machine on the thread that owns it:
// looks the host up, connects, writes the name header and the length field, streams the body
// (read here only what the page cache holds, the rest on a worker, so a slow disk never
// stalls the window), and waits for the receiver's 16-byte acknowledgement. Every outcome arrives
// as a signal, after the call that started it has returned; Cancel ends a send at any moment.
class TStrmSender : public QObject
{
    Q_OBJECT
public:
    explicit TStrmSender(QObject* parent = nullptr);
    ~TStrmSender() override; // a send under way ends without a word

    QString Host;
    int Port = 6711;
    QByteArray FromName;
    // How long the receiver may stay silent, the acknowledgement after the last body byte
    // included, before the send fails.
    qint64 SilenceMs = 30000;
    // How long the host lookup and the connect may take together.
    qint64 ConnectLimitMs = 15000;
    // Asked once when Host has no address: another host to try, or nothing to give up.
    std::function<std::optional<QString>()> OnInvalidHost;

    // Whether the peer at an address is known to take a secure channel, and the key it is
    // known by (empty when any key will do). Asked once the address is known; without Tls
    // every send is plain.
    struct TSecure
    {
        bool secure = false;
        QByteArray key;
    };
    std::shared_ptr<const TTlsContext> Tls;
    std::function<TSecure(const QHostAddress& address)> SecureFor;
    // Asked when the peer showed another key than the one it is known by: true sends anyway.
    std::function<bool(const QByteArray& key)> OnKeyChanged;
    // Asked when no secure channel could be had to a peer known to take one: true sends plain.
    // Without it nothing is sent plain to such a peer.
    std::function<bool(const QString& reason)> OnInsecure;
    // Nothing goes plain: a peer that cannot take a secure channel gets nothing, unasked.
    bool EncryptedOnly = false;

    // Sends body from its start under FromName to Host:Port. False (nothing starts) while a
    // send is under way. The body is read on workers until the send has ended.
    bool Send(std::shared_ptr<QIODevice> body);
    bool Busy() const { return state_ != TState::Idle; }
    void Cancel();

    // Body bytes the socket has taken, and the body's size, of the send under way or the last.
    qint64 SentCount() const { return sent_; }
    qint64 TotalCount() const { return total_; }
    // The key the receiver showed in the secure channel of the send under way or the last;
    // empty when it went plain.
    QByteArray PeerKey() const { return peerKey_; }
    // The address the send under way or the last went to; null before one was known.
    QHostAddress Address() const { return address_; }

signals:
    void Connected();
    // Body bytes the kernel has taken: after each block, and before the window gets its turn.
    void Progress(qint64 sent, qint64 total);
    // The kernel has taken the last body byte; the acknowledgement is still to come.
    void MessageSent();
    // Connecting failed (refused, timed out, cancelled), just before Failed.
    void ConnectionFailed();
    // The connection is closed, before Done or Failed.
    void Disconnected();
    // The receiver acknowledged: the message is stored there.
    void Done();
    void Failed(const QString& reason);

private:
    enum class TState
    {
        Idle,
        Resolving,
        Connecting,
        Securing,
        Sending,
        Awaiting,
        Ending,
    };

    void Start();
    // Asks the user; nothing when the send ended or changed meanwhile (or the sender went).
    template <class Answer> std::optional<Answer> Ask(const std::function<Answer()>& question);
    void Resolved(const QList<QHostAddress>& addresses);
    void Connect(const QHostAddress& address);
    void SocketConnected();
    void SocketSecured();
    void SecureFailed(const QString& reason);
    // The header, then the body.
    void StartSending();
    void Fill();
    // Restarts the silence limit: the receiver has taken or sent bytes.
    void HeardPeer();
    // Reads on workers until ReadAheadBlocks wait.
    void ReadAhead();
    // The next block, read on this thread if the page cache has it whole; false otherwise.
    bool ReadNow();
    QByteArray TakeSpare();
    void ReadReply();
    void ConnectFailed(const QString& reason);
    // Closes the connection and reports once the worker has let go of the body.
    void Finish(const QString& reason);

    TState state_ = TState::Idle;
    TStrmSocket* socket_ = nullptr;
    std::shared_ptr<QIODevice> body_;
    std::shared_ptr<std::atomic<bool>> stop_;
    bool askedHost_ = false;
    QHostAddress address_;
    TSecure secure_;
    bool plainChosen_ = false; // the user let this send go plain
    QByteArray peerKey_;
    int lookup_ = -1;
    qint64 total_ = 0;
    qint64 sent_ = 0;
    QByteArray header_; // what the kernel has yet to take of the name and the length
    qint64 taken_ = 0;  // of the header, or else of the first block
    qint64 readAt_ = 0; // body bytes asked of the worker
    int reading_ = 0;   // reads under way
    bool readFailed_ = false;
    bool readNow_ = true; // the body is a file, and the kernel can tell a read that would wait
    bool missed_ = false; // the last block was not all in the page cache
    std::deque<QByteArray> blocks_; // read, not yet all taken by the kernel
    // Blocks read into again: fresh ones would each cost the kernel a round of page faults.
    std::vector<QByteArray> spare_;
    QByteArray reply_;
    QTimer limit_;
    // Last: it waits for a read under way, which uses the body above.
    TSerialWork work_;
};
