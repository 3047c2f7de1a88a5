#include "transfer/TStrmListener.h"

#include "platform/logging/Logging.h"

#include "transfer/TStrmSocket.h"

TStrmListener::TStrmListener(std::shared_ptr<TStrmShared> shared)
    : shared_(std::move(shared)), server_(new TStrmAcceptor(this))
{
    connect(server_, &TStrmAcceptor::Accepted, this, &TStrmListener::Accept);
}

TStrmListener::~TStrmListener()
{
    // The connections go before the server and the counts they hold with them, each on its
    // own thread once that thread's loop has stopped, waiting for its disk work under way.
    for (auto& [id, entry] : connections_) {
        Count(entry, 0, 0);
        entry.connection->deleteLater();
        entry.thread->quit();
    }
    shared_->clients -= int(connections_.size());
    for (auto& [id, entry] : connections_)
        entry.thread->wait();
    for (const std::unique_ptr<QThread>& thread : ending_)
        thread->wait();
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
        count += entry.peer.isEqual(peer) ? 1 : 0;
    return count;
}

void TStrmListener::Accept(qintptr descriptor)
{
    auto socket = std::make_unique<TStrmSocket>(descriptor);
    const QHostAddress peer = socket->PeerAddress();
    if (peer.isNull()) {
        // Reset before it was taken: nobody to answer, and no address to count it under.
        qCDebug(lcTransfer) << "a connection went before it was accepted";
        socket->Close();
        return;
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
        socket->Close();
        return;
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
        std::lock_guard lock(paceLock_);
        return pace_.Take(from, TFilePace::TClock::now(), rule);
    };
    const quint64 id = ++nextId_;
    const bool secure = handlers->tls != nullptr;
    auto* connection = new TStrmConnection(socket.release(), id, limits, std::move(handlers));
    TEntry& entry = connections_[id];
    entry.connection = connection;
    entry.thread = std::make_unique<QThread>();
    entry.thread->setObjectName(QStringLiteral("parlavue-recv"));
    entry.peer = peer;
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
    // Told before anything can come from the connection's thread. A copy that answers secure
    // channels tells once it knows the connection is no call's.
    if (secure)
        connect(connection, &TStrmConnection::Contacted, this,
                [this, id, from](const QByteArray& key) { emit Contact(id, from, key); });
    else
        emit Contact(id, from, {});
    connection->moveToThread(entry.thread.get());
    entry.thread->start();
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
    Count(at->second, 0, 0);
    TEntry entry = std::move(at->second);
    connections_.erase(at);
    --shared_->clients;
    // It goes on its own thread, after whatever that thread was doing; then the thread ends.
    QThread* thread = entry.thread.get();
    connect(thread, &QThread::finished, this, [this, thread] {
        thread->wait();
        std::erase_if(ending_, [thread](const auto& t) { return t.get() == thread; });
    });
    entry.connection->deleteLater();
    thread->quit();
    ending_.push_back(std::move(entry.thread));
    emit Ended(id, entry.peer.toString());
}

void TStrmListener::GiveFolder(quint64 id, const QString& folder)
{
    const auto at = connections_.find(id);
    if (at == connections_.end())
        return;
    TStrmConnection* connection = at->second.connection;
    QMetaObject::invokeMethod(connection, [connection, folder] { connection->GiveFolder(folder); });
}

void TStrmListener::AbortAll()
{
    for (const auto& [id, entry] : connections_) {
        TStrmConnection* connection = entry.connection;
        QMetaObject::invokeMethod(connection, [connection] { connection->Cancel(); });
    }
}
