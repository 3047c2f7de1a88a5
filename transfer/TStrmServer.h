#pragma once

#include "transfer/TFilePace.h"
#include "transfer/TGeneralServer.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TSpooledStream;

// Receives one stream message per connection: the name and the body's length (within
// HeaderTimeMs), the admission of that length (OnAdmit), the body (spooled to SpoolFolder once
// it passes 1 MiB, at no less than MinRateBytes a RateWindowMs), its turn in the pace of files
// from its address, then OnMSG of the listening component, and the 16-byte acknowledgement
// only once OnMSG says the message is stored; then CloseWaitMs at most for the peer to close.
class TStrmServer : public TGeneralServer
{
    Q_OBJECT
public:
    // The time the name and the body's length must arrive in, and the slowest body taken
    // (MinRateBytes in every RateWindowMs: 1 KiB/s over 40 s, so a sender whose window thread
    // stops for up to the 30 s of silence keeps its file, while a trickle is cut off).
    // Copied to each connection when it is accepted.
    qint64 HeaderTimeMs = 10000;
    qint64 MinRateBytes = 40960;
    // After the acknowledgement, the time the peer has to close, however it trickles.
    qint64 CloseWaitMs = 5000;
    // How fast one address may hand over files (read by the workers; set it before Loaded).
    TFilePace::TRule FilePace;

    // Raised on the connection's worker thread once the whole body arrived, with the
    // per-connection component as sender, the name as it came from the wire and the body
    // positioned at 0. True when the message is stored: only then is the peer acknowledged,
    // so a sender never reports a file that was refused or lost as sent. The body goes when
    // the handler returns; a handler that keeps it moves it (TSpooledStream::MoveToFree). What
    // the handler shows in a window it posts to the UI thread; it must not wait for it.
    using TStrmEvent =
        std::function<bool(TStrmServer* sender, const QByteArray& sFrom, TSpooledStream& strm)>;

    // Raised on the worker thread instead of OnMSG when a framed message's body could not be
    // received (a reset, cut short, too slow, a full disk), with the failure's text. The peer
    // is not acknowledged.
    using TFailEvent =
        std::function<void(TStrmServer* sender, const QByteArray& sFrom, const QString& error)>;

    // Whether a body of the announced length may come; asked on the worker thread before any
    // of it is read. A refused one is not read and not acknowledged: the connection closes.
    // hold lives until the message is handled (a share of disk space, say); grow, when set, is
    // asked as the body arrives with the bytes received so far, and a false from it ends the
    // body as lost ("not enough free space").
    struct TAdmission
    {
        bool admitted = true;
        std::shared_ptr<void> hold;
        std::function<bool(qint64 received)> grow;
    };
    using TAdmitEvent = std::function<TAdmission(TStrmServer* sender, qint64 length)>;

    explicit TStrmServer(QObject* owner = nullptr);
    ~TStrmServer() override;

    // Read from the listening component on the worker; set it before Loaded.
    TStrmEvent OnMSG;
    TFailEvent OnFailed;
    TAdmitEvent OnAdmit;
    // Where bodies over 1 MiB are spooled; a portal chooses its receive folder, so that a
    // finished file is renamed into place. Copied to each connection when it is accepted, or
    // read then from SpoolFolderNow when that is set (on the UI thread), so that a folder the
    // user has just chosen applies to the next connection at once.
    QString SpoolFolder = QDir::tempPath();
    std::function<QString()> SpoolFolderNow;

    // On a per-connection component: the order in which its body ended among all bodies
    // received, from 1; handlers run concurrently, so a handler may run after a later one.
    quint64 Arrival = 0;

    // Whether the whole announced body arrived (a peer that closed early delivers less).
    bool BodyComplete() const { return ReceivedCount >= TotalCount; }

    void Serve() override;

    // A received name fit for a log line: control characters replaced, at most 256 characters.
    static QString LogName(const QByteArray& name);

protected:
    std::unique_ptr<TGeneralServer> NewClient() override;

private:
    // Reads the name and the body's length within HeaderTimeMs; nothing when a length field is
    // not a number or the name ends early.
    std::optional<qint64> ReceiveHeader(QByteArray& name);
    // A length field of that many bytes as a number; nothing when it is not one.
    std::optional<qint32> ReadLength(int size);
    // Reads and drops whatever comes until the peer closes, CloseWaitMs at most.
    void AwaitPeerClose();
    // On the listening component: how long a file from that address waits for its turn.
    qint64 TakeFileTurn(const QHostAddress& from);
    void ReceiveBody(TSpooledStream& body, qint64 length, const TAdmission& admission);

    std::mutex paceLock_;
    TFilePace pace_;
};
