#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class TStrmSocket;
class TSpooledStream;
class TStrmConnection;
class TTlsContext;

// Whether a body of the announced length may come; asked before any of it is read. hold lives
// until the message is handled (a share of disk space, say); grow, when set, is asked as the
// body arrives, with the bytes received so far, before they are written; a false from it ends
// the body as lost ("not enough free space").
struct TStrmAdmission
{
    bool admitted = true;
    std::shared_ptr<void> hold;
    std::function<bool(qint64 received)> grow;
};

// What a listening server asks about its connections; every one runs on the connection's own
// thread, never the window's.
struct TStrmHandlers
{
    std::function<TStrmAdmission(const TStrmConnection& c, qint64 length)> admit;
    // The whole body arrived: true once the message is stored, and only then is the peer
    // acknowledged. The body goes when the handler returns; one that keeps it moves it.
    std::function<bool(const TStrmConnection& c, const QByteArray& name, TSpooledStream& body)>
        message;
    // How long a file from that address waits for its turn (counted as it is asked).
    std::function<std::chrono::milliseconds(const QHostAddress& from)> turn;
    // Answers connections that open with TLS; without it every connection is read as plain.
    std::shared_ptr<const TTlsContext> tls;
    // A secure channel whose hello named a call, with the call's id: the socket, moved to the
    // application's main thread, is the handler's. Without it such a channel is closed.
    std::function<void(TStrmSocket* socket, const QByteArray& callId)> call;
};

// How long a peer may take, and how slowly it may send.
struct TStrmLimits
{
    qint64 headerTimeMs = 10000; // the name and the body's length, however they trickle
    qint64 silenceMs = 30000;    // the longest silence while anything is awaited from the peer
    qint64 minRateBytes = 40960; // the slowest body: this much in every rateWindowMs
    qint64 rateWindowMs = 40000;
    qint64 closeWaitMs = 5000; // after the acknowledgement, the time the peer has to close
};

// One received stream message: reads the name and the body's length, asks for admission,
// receives the body and spools it, waits for the file's turn, has the message stored, and
// only then writes the 16-byte acknowledgement; then waits for the peer to close. Runs on a
// thread of its own (it may be moved there once made), which does the disk work as well: a
// slow disk holds up this connection alone. Nothing in it waits for the peer.
class TStrmConnection : public QObject
{
    Q_OBJECT
public:
    // Takes the accepted socket. The spool folder comes with GiveFolder; the body is admitted
    // once both it and the header are there.
    TStrmConnection(TStrmSocket* socket, quint64 id, const TStrmLimits& limits,
                    std::shared_ptr<const TStrmHandlers> handlers, QObject* parent = nullptr);

    quint64 Id() const { return id_; }
    QHostAddress Peer() const { return peer_; }
    QString RemoteIP() const { return peer_.toString(); }
    // Stable once the handlers are asked.
    QString SpoolFolder() const { return folder_; }
    // The order in which its body ended among all bodies received, from 1.
    quint64 Arrival() const { return arrival_; }
    qint64 ReceivedCount() const { return received_; }
    qint64 TotalCount() const { return total_; }
    bool BodyComplete() const { return received_ >= total_; }
    // The fingerprint of the key the peer showed in a secure channel; empty when it sent plain.
    QByteArray PeerKey() const { return peerKey_; }

    void GiveFolder(const QString& folder);
    // Ends the connection at once with a reset; a body under way is lost.
    void Cancel();

signals:
    // The connection is for a message: a plain one, a secure one whose hello said so, or one
    // that said nothing for a second. Only with tls in the handlers; without, every connection
    // is one from the start.
    // The peer's key when the connection is a secure channel, else empty.
    void Contacted(const QByteArray& key);
    // Body bytes read from the wire so far, of the length announced.
    void Progress(qint64 received, qint64 total);
    // A framed body did not arrive whole or could not be kept; the peer is not acknowledged.
    void Failed(const QByteArray& name, const QString& error);
    // Stored and acknowledged.
    void Done();
    // The connection is closed; nothing more comes from it.
    void Ended();

private:
    enum class TState
    {
        Header,
        Admitting,
        Body,
        Storing,
        Answered,
        Ended,
    };

    void Pump();
    // Tells a secure channel from the plain framing by the first byte (a plain sender's is a
    // digit) and opens it; true once the header may be read.
    bool Secure();
    void Contact(); // emits Contacted once
    // Gives a call's channel to the phone; the connection ends without it.
    void HandOver(const QByteArray& callId);
    // Restarts the silence limit: bytes came, or we wait for the peer again.
    void HeardPeer();
    // Takes header bytes as they come; false while more are needed or once it has ended.
    bool ReadHeader();
    bool TakeField(qint64 size);
    void Admit();
    void Admitted(const TStrmAdmission& admission);
    void ReadBody();
    void BodyDone();
    void Store();
    void StoreAnswered(bool stored);
    void PeerClosed();
    void CheckRate();
    void Fail(const QString& error);
    void End();

    TStrmSocket* socket_; // a child
    const quint64 id_;
    const QHostAddress peer_;
    const TStrmLimits limits_;
    const std::shared_ptr<const TStrmHandlers> handlers_;
    TState state_ = TState::Header;
    // The channel's hello (its length, the frame), then the name's length, the name, the
    // body's length.
    int headerField_ = 0;
    enum class TChannel
    {
        Undecided,
        Plain,
        Handshaking,
        Open,
    } channel_ = TChannel::Undecided;
    QByteArray peerKey_;
    bool peekTimed_ = false;
    bool contacted_ = false;
    qint32 nameLength_ = 0;
    int frameLength_ = 0;
    QByteArray field_;
    QByteArray name_;
    bool framed_ = false; // the header was read, so a lost body is told
    bool peerGone_ = false;
    QString folder_;
    bool hasFolder_ = false;
    quint64 arrival_ = 0;
    qint64 received_ = 0;
    qint64 total_ = 0;
    QByteArray block_; // what one read takes, written out before the next
    // The spool file's descriptor when the body goes there by pipe; -1 when it does not.
    static constexpr int Undecided = -2;
    int spool_ = Undecided;
    qint64 ourNs_ = 0; // spent writing the body, while the peer waited
    std::shared_ptr<TSpooledStream> body_;
    TStrmAdmission admission_;
    // Children, so that they move with it.
    QTimer silence_;
    QTimer headerTime_;
    QTimer rate_;
    QTimer closeWait_;
    QTimer turn_;
    QElapsedTimer bodyClock_;
    std::deque<std::pair<qint64, qint64>> marks_; // (ms into the body, bytes by then)
};
