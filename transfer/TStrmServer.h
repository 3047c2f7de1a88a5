#pragma once

#include "transfer/TGeneralServer.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <functional>
#include <optional>

class TSpooledStream;

// Receives one stream message per connection: the name, the body (spooled to SpoolFolder once
// it passes 1 MiB), the 16-byte acknowledgement, then OnMSG of the listening component.
class TStrmServer : public TGeneralServer
{
    Q_OBJECT
public:
    // Raised on the connection's worker thread after the acknowledgement was written, with the
    // per-connection component as sender, the name as it came from the wire and the body
    // positioned at 0. The body goes when the handler returns; a handler that keeps it moves
    // it (TSpooledStream::MoveTo). What the handler shows in a window it posts to the UI
    // thread; it must not wait for the UI thread.
    using TStrmEvent =
        std::function<void(TStrmServer* sender, const QByteArray& sFrom, TSpooledStream& strm)>;

    // Raised on the worker thread instead of OnMSG when a framed message's body could not be
    // received or stored (a reset, the silence limit, a full disk), with the failure's text.
    // The peer has been answered all the same, so its sender reports success; the receiving
    // user learns of the loss from this.
    using TFailEvent =
        std::function<void(TStrmServer* sender, const QByteArray& sFrom, const QString& error)>;

    explicit TStrmServer(QObject* owner = nullptr);
    ~TStrmServer() override;

    // Read from the listening component on the worker; set it before Loaded.
    TStrmEvent OnMSG;
    TFailEvent OnFailed;
    // Where bodies over 1 MiB are spooled; a portal chooses its receive folder, so that a
    // finished file is renamed into place. Copied to each connection when it is accepted.
    QString SpoolFolder = QDir::tempPath();

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
    // Reads the message and writes the acknowledgement. False when a length field is not a
    // number or the name ends early (nothing is answered); throws when the body cannot be
    // received or the acknowledgement written.
    // framed is set once both length fields were read.
    bool Receive(QByteArray& name, TSpooledStream& body, bool& framed);
    // A length field of that many bytes as a number; nothing when it is not one.
    std::optional<qint32> ReadLength(int size);
    // Reads and drops whatever comes until the peer closes.
    void AwaitPeerClose();
};
