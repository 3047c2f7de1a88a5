#pragma once

#include "transfer/TFilePace.h"
#include "transfer/TStrmConnection.h"
#include "transfer/TStrmListener.h"

#include <QByteArray>
#include <QDir>
#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

// Receives stream messages on a network thread of its own, so a large arrival never competes
// with the window: one connection per message, each the state machine of TStrmConnection (the
// name and the body's length within the header time, the admission, the body at no less than
// the slowest pace, its file's turn, storing, and the 16-byte acknowledgement only once
// stored). At most MaxClients connections at once, MaxClientsPerSource from one address.
// Made and used on the window's thread; its signals arrive there.
class TStrmServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxClients = TStrmListener::MaxClients;
    static constexpr int MaxClientsPerSource = TStrmListener::MaxClientsPerSource;
    static constexpr qint64 ClientSilenceMs = 30000;

    using TAdmission = TStrmAdmission;

    explicit TStrmServer(QObject* parent = nullptr);
    ~TStrmServer() override; // every connection ends, each after its disk work under way

    int Port = 6711;
    // Where a connection's body is spooled (once past 1 MiB) and stored, asked on this thread
    // as each connection is accepted, so that a folder the user has just chosen applies to the
    // next one at once; without SpoolFolderNow, SpoolFolder.
    QString SpoolFolder = QDir::tempPath();
    std::function<QString()> SpoolFolderNow;

    // Read as each connection is accepted.
    TStrmLimits Limits() const;
    void SetLimits(const TStrmLimits& limits);
    void SetFilePace(const TFilePace::TRule& rule);
    // Asked on the connections' threads; set at any time, used from the next connection on.
    void SetHandlers(const TStrmHandlers& handlers);
    // Answers secure channels from the next connection on (null reads every one as plain), and
    // hands those opened for a call to call (see TStrmHandlers). Kept apart from SetHandlers.
    void SetSecure(std::shared_ptr<const TTlsContext> tls,
                   std::function<void(TStrmSocket*, const QByteArray&)> call);

    // Starts listening on Port; false (logged) when the port cannot be had.
    bool Listen();
    quint16 LocalPort() const { return port_; }
    // Connections being received now; safe from any thread.
    int ClientCount() const;
    // Body bytes received so far, and announced, by the connections under way.
    qint64 ReceivedCount() const;
    qint64 TotalCount() const;
    // Ends every connection being received.
    void Abort();

    // A received name fit for a log line: control characters replaced, at most 256 characters.
    static QString LogName(const QByteArray& name);

signals:
    // A connection was accepted from that address.
    // key: the peer's, when it came through a secure channel.
    void ClientContact(const QString& peer, const QByteArray& key);
    // A framed body from that address was lost (cut short, too slow, no room to keep it).
    void MessageFailed(const QString& peer, const QByteArray& name, const QString& error);
    // A connection ended; id is the one its handlers saw.
    void Disconnected(quint64 id, const QString& peer);

private:
    void Contact(quint64 id, const QString& peer, const QByteArray& key);

    std::shared_ptr<TStrmShared> shared_;
    QThread network_;
    TStrmListener* listener_ = nullptr; // lives on network_
    quint16 port_ = 0;
};
