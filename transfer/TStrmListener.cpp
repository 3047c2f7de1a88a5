#include "transfer/TStrmListener.h"

#include "platform/logging/Logging.h"

#include <QTcpSocket>

TStrmListener::TStrmListener(std::shared_ptr<TStrmShared> shared)
    : shared_(std::move(shared)), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::pendingConnectionAvailable, this, &TStrmListener::Accept);
}

TStrmListener::~TStrmListener()
{
    // The connections go before the server and the counts they hold with them.
    for (auto& [id, entry] : connections_)
        Count(entry, 0, 0);
    shared_->clients -= int(connections_.size());
    connections_.clear();
    // The connections themselves go as children, each waiting for its disk work under way.
}

bool TStrmListener::Listen(quint16 port)
{
    if (server_->listen(QHostAddress::AnyIPv4, port)) {
        qCInfo(lcTransfer) << "listening on TCP port" << server_->serverPort();
        return true;
    }
    qCWarning(lcTransfer) << "cannot listen on TCP port" << port << ":" << server_->errorString();
    return false;
}

int TStrmListener::CountFrom(const QHostAddress& peer) const
{
    int count = 0;
    for (const auto& [id, entry] : connections_)
        count += entry.connection->Peer().isEqual(peer) ? 1 : 0;
    return count;
}

void TStrmListener::Accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const QHostAddress peer = socket->peerAddress();
        if (peer.isNull()) {
            // Reset before it was taken: nobody to answer, and no address to count it under.
            qCDebug(lcTransfer) << "a connection went before it was accepted";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const int limit = int(connections_.size()) >= MaxClients   ? MaxClients
                          : CountFrom(peer) >= MaxClientsPerSource ? MaxClientsPerSource
                                                                   : 0;
        if (limit) {
            // A reset, at once: one address can never hold every slot.
            qCInfo(lcTransfer).noquote()
                << "closed a connection from" << peer.toString() << "at once:" << limit
                << (limit == MaxClients ? "connections are being received"
                                        : "connections from it are being received");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        TStrmLimits limits;
        auto handlers = std::make_shared<TStrmHandlers>();
        {
            std::lock_guard lock(shared_->lock);
            limits = shared_->limits;
            *handlers = shared_->handlers;
        }
        handlers->turn = [this](const QHostAddress& from) {
            TFilePace::TRule rule;
            {
                std::lock_guard lock(shared_->lock);
                rule = shared_->pace;
            }
            return pace_.Take(from, TFilePace::TClock::now(), rule);
        };
        const quint64 id = ++nextId_;
        auto* connection = new TStrmConnection(socket, id, limits, std::move(handlers), this);
        connections_[id].connection = connection;
        ++shared_->clients;
        connect(connection, &TStrmConnection::Progress, this,
                [this, id](qint64 received, qint64 total) {
                    const auto at = connections_.find(id);
                    if (at != connections_.end())
                        Count(at->second, received, total);
                });
        const QString from = peer.toString();
        connect(connection, &TStrmConnection::Failed, this,
                [this, from](const QByteArray& name, const QString& error) {
                    emit Failed(from, name, error);
                });
        connect(connection, &TStrmConnection::Ended, this, [this, id] { Finished(id); });
        emit Contact(id, from);
    }
}

void TStrmListener::Count(TEntry& entry, qint64 received, qint64 total)
{
    shared_->received += received - entry.received;
    shared_->total += total - entry.total;
    entry.received = received;
    entry.total = total;
}

void TStrmListener::Finished(quint64 id)
{
    const auto at = connections_.find(id);
    if (at == connections_.end())
        return;
    TStrmConnection* connection = at->second.connection;
    Count(at->second, 0, 0);
    connections_.erase(at);
    --shared_->clients;
    emit Ended(id, connection->RemoteIP());
    connection->deleteLater();
}

void TStrmListener::GiveFolder(quint64 id, const QString& folder)
{
    const auto at = connections_.find(id);
    if (at != connections_.end())
        at->second.connection->GiveFolder(folder);
}

void TStrmListener::AbortAll()
{
    std::vector<TStrmConnection*> all;
    for (const auto& [id, entry] : connections_)
        all.push_back(entry.connection);
    for (TStrmConnection* c : all)
        c->Cancel();
}
