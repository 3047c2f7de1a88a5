#pragma once

#include "transfer/TFilePace.h"
#include "transfer/TStrmAcceptor.h"
#include "transfer/TStrmConnection.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// What a stream server's window side and its network thread share: settings the window may
// change at any time, read as each connection is accepted, and counts the window reads.
struct TStrmShared
{
    std::mutex lock;
    TStrmLimits limits;
    TFilePace::TRule pace;
    TStrmHandlers handlers;
    std::atomic<int> clients{0};
    std::atomic<qint64> received{0}; // body bytes of the connections under way
    std::atomic<qint64> total{0};    // and their announced lengths
};

// The network side of a stream server: listens, accepts within the limits (8 connections,
// 3 per address), and gives each connection a thread of its own. Lives on the server's network
// thread; whatever the window must learn leaves as signals.
class TStrmListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxClients = 8;
    static constexpr int MaxClientsPerSource = 3;

    explicit TStrmListener(std::shared_ptr<TStrmShared> shared);
    ~TStrmListener() override;

    bool Listen(quint16 port);
    quint16 Port() const { return server_->serverPort(); }
    void GiveFolder(quint64 id, const QString& folder);
    void AbortAll();

signals:
    void Contact(quint64 id, const QString& peer, const QByteArray& key);
    void Failed(const QString& peer, const QByteArray& name, const QString& error);
    void Ended(quint64 id, const QString& peer);

private:
    struct TEntry
    {
        TStrmConnection* connection = nullptr; // lives on thread
        std::unique_ptr<QThread> thread;
        QHostAddress peer;
        qint64 received = 0;
        qint64 total = 0;
    };

    void Accept(qintptr descriptor);
    int CountFrom(const QHostAddress& peer) const;
    void Count(TEntry& entry, qint64 received, qint64 total);
    void Finished(quint64 id);

    std::shared_ptr<TStrmShared> shared_;
    TStrmAcceptor* server_; // a child, so that it moves to the network thread with its owner
    std::map<quint64, TEntry> connections_;
    // Threads of ended connections, until they have finished.
    std::vector<std::unique_ptr<QThread>> ending_;
    std::mutex paceLock_; // the connections ask for their turns from their own threads
    TFilePace pace_;
    quint64 nextId_ = 0;
};
