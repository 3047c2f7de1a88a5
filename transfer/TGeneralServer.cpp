#include "transfer/TGeneralServer.h"

#include "platform/logging/Logging.h"
#include "transfer/TServeThread.h"
#include "transfer/TServerClients.h"

#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TGeneralServer* AsServer(QObject* owner)
{
    return qobject_cast<TGeneralServer*>(owner);
}

} // namespace

TGeneralServer::TGeneralServer(QObject* owner) : TSockBase(AsServer(owner) ? nullptr : owner)
{
    SilenceLimitMs = ClientSilenceMs;
    if (!AsServer(owner))
        Clients = std::make_unique<TServerClients>();
}

TGeneralServer::~TGeneralServer()
{
    StopClients();
}

std::mutex& TGeneralServer::ServerSection()
{
    static std::mutex section;
    return section;
}

std::unique_ptr<TGeneralServer> TGeneralServer::NewClient()
{
    return std::make_unique<TGeneralServer>(this);
}

void TGeneralServer::Loaded()
{
    if (!Clients)
        return;
    acceptCallback_ = [this] { HandleAccept(); };
    Listen();
}

void TGeneralServer::Abort()
{
    Report(QStringLiteral("Abort"), 8);
    if (Clients)
        Clients->ForEach([](TServeThread& worker) { worker.Client()->Cancel(); });
    else
        Cancel(); // a per-connection component stops its own wait
}

int TGeneralServer::ClientCount() const
{
    return Clients ? Clients->Count() : 0;
}

int TGeneralServer::ClientCountFrom(const QHostAddress& address) const
{
    int count = 0;
    if (Clients)
        Clients->ForEach([&](TServeThread& worker) {
            if (worker.Client()->RemoteAddress.isEqual(address))
                ++count;
        });
    return count;
}

void TGeneralServer::HandleAccept()
{
    {
        std::lock_guard section(ServerSection());
        try {
            EventDone = true;
            const int fd = Accept();
            if (Clients->Count() >= MaxClients) {
                ::close(fd); // with the listener's zero linger: a reset, at once
                qCInfo(lcTransfer).noquote()
                    << "closed a connection from" << RemoteIP() << "at once:" << MaxClients
                    << "connections are being received";
            } else if (ClientCountFrom(RemoteAddress) >= MaxClientsPerSource) {
                ::close(fd);
                qCInfo(lcTransfer).noquote()
                    << "closed a connection from" << RemoteIP() << "at once:" << MaxClientsPerSource
                    << "connections from it are being received";
            } else {
                // Listed before it starts, so a handler counts its own connection too.
                auto worker = std::make_unique<TServeThread>(*this, fd);
                TServeThread* listed = worker.get();
                Clients->Add(std::move(worker));
                try {
                    listed->Start();
                } catch (...) {
                    Clients->Take(listed);
                    throw;
                }
            }
        } catch (const std::exception& e) {
            qCDebug(lcTransfer) << "accepting a connection:" << e.what();
        } catch (...) {
            qCDebug(lcTransfer) << "accepting a connection: an unknown failure";
        }
    }
    if (OnClientContact)
        OnClientContact(this);
}

void TGeneralServer::TakeConnection(TGeneralServer& listening, int fd, TServeThread* thread)
{
    // An accepted socket inherits the listener's zero linger, which would reset the
    // connection on close, possibly under the acknowledgement the peer has yet to read.
    const linger orderly{0, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &orderly, sizeof orderly);
    // The worker waits in poll() on the socket; nothing of it goes through the UI thread.
    SetNotifications(false);
    AdoptSocket(fd);
    Connected = true;
    RemoteAddress = listening.RemoteAddress;
    ServeThread = thread;
    OnConnect = listening.OnConnect;
    OnDisconnect = listening.OnDisconnect;
    SilenceLimitMs = listening.SilenceLimitMs;
    ListeningServer = &listening;
}

void TGeneralServer::ServeConnection()
{
    try {
        Serve();
    } catch (const std::exception& e) {
        qCDebug(lcTransfer) << "serving" << RemoteIP() << ":" << e.what();
    } catch (...) {
        qCDebug(lcTransfer) << "serving" << RemoteIP() << ": an unknown failure";
    }
    // Closed here, without the fresh socket a closed component normally gets: this one is done.
    Connected = false;
    AdoptSocket(-1);
}

void TGeneralServer::ClientFinished(TServeThread* thread)
{
    std::unique_ptr<TServeThread> done;
    {
        std::lock_guard section(ServerSection());
        if (Clients)
            done = Clients->Take(thread);
    }
    if (!done)
        return;
    done->Join();
    TGeneralServer* client = done->Client();
    if (client->OnDisconnect) {
        try {
            client->OnDisconnect(client);
        } catch (const std::exception& e) {
            qCDebug(lcTransfer) << "OnDisconnect:" << e.what();
        } catch (...) {
            qCDebug(lcTransfer) << "OnDisconnect: an unknown failure";
        }
    }
}

void TGeneralServer::StopClients()
{
    if (!Clients)
        return;
    std::vector<std::unique_ptr<TServeThread>> workers;
    {
        std::lock_guard section(ServerSection());
        workers = Clients->TakeAll();
    }
    for (const auto& worker : workers) {
        worker->Client()->Stopping = true;
        worker->Client()->Cancel();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(StopWaitMs);
    for (const auto& worker : workers) {
        if (!worker->WaitFinished(deadline))
            qCWarning(lcTransfer) << "a connection from" << worker->Client()->RemoteIP()
                                  << "still runs its handler; waiting for it";
    }
    workers.clear(); // joins every worker, then its component goes
}
