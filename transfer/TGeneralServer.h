#pragma once

#include "transfer/TSockBase.h"

#include <atomic>
#include <memory>
#include <mutex>

class TServeThread;
class TServerClients;

// A listening server, or one of its per-connection components. The listening component
// (made with an owner that is not a server) listens on Port once Loaded; for each accepted
// connection it makes a component of its own class that adopts the socket, and runs that
// component's Serve on a worker thread of its own. Accepting, OnClientContact and a
// connection's OnDisconnect run on the UI thread; Serve runs on the worker.
class TGeneralServer : public TSockBase
{
    Q_OBJECT
public:
    // Connections received at once, in all and from one address; a further one is closed as
    // soon as it is accepted, so one address can never hold every slot.
    static constexpr int MaxClients = 8;
    static constexpr int MaxClientsPerSource = 3;
    // How long a connection may stay silent while it is being received.
    static constexpr qint64 ClientSilenceMs = 30000;
    // How long the listening component waits for its workers to end when it goes.
    static constexpr int StopWaitMs = 5000;

    // With a server as owner the component is a per-connection one: it has no Clients, never
    // listens, and belongs to its worker (not to the owner as a Qt child).
    explicit TGeneralServer(QObject* owner = nullptr);
    ~TGeneralServer() override;

    // The listening component's connections; null on a per-connection component.
    std::unique_ptr<TServerClients> Clients;
    // Raised on the UI thread after every accepted connection, with the listening component
    // as sender (whose RemoteIP() is the peer); also when the connection could not be served.
    TNotify OnClientContact;
    // On a per-connection component: the listening component that accepted it, and its worker.
    TGeneralServer* ListeningServer = nullptr;
    TServeThread* ServeThread = nullptr;
    // Set when the listening component goes: the connection ends at its next wait.
    std::atomic<bool> Stopping{false};

    // Starts listening on Port (the listening component only).
    void Loaded();
    // A server never connects out.
    void Connect() override {}
    // Cancels every connection being received.
    void Abort() override;
    // Runs on the worker thread of a per-connection component; does nothing here.
    virtual void Serve() {}

    int ClientCount() const;
    // Connections being received from that address.
    int ClientCountFrom(const QHostAddress& address) const;

    // Serialises accepting and setting up a connection against letting a finished one go.
    static std::mutex& ServerSection();

protected:
    // A per-connection component of this component's own class, owned by the caller; every
    // subclass that serves makes its own.
    virtual std::unique_ptr<TGeneralServer> NewClient();
    // Cancels every connection and waits for the workers (a bounded time for the connections
    // to notice, then for a handler that still runs). The most derived destructor calls it, so
    // no worker sees a half-destroyed listening component.
    void StopClients();

private:
    friend class TServeThread;

    void HandleAccept();
    // On the new component: takes the accepted socket and what it copies from the listening one.
    void TakeConnection(TGeneralServer& listening, int fd, TServeThread* thread);
    // On the worker: Serve, then close the socket; never throws.
    void ServeConnection();
    // On the UI thread once a worker is done: OnDisconnect, then the worker and its component go.
    void ClientFinished(TServeThread* thread);
};
