#pragma once

// A listening stream server on a free loopback port that notes every event it raises, for the
// server's integration tests.
#include "tests/support/TRawTcpClient.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmServer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

inline const QByteArray Ack = QByteArrayLiteral("OK              ");

// One message, written out as the wire format gives it ("%.4d", name, "%10d", body).
inline QByteArray Frame(const QByteArray& name, const QByteArray& body)
{
    char nameLength[16];
    char bodyLength[16];
    std::snprintf(nameLength, sizeof nameLength, "%.4d", int(name.size()));
    std::snprintf(bodyLength, sizeof bodyLength, "%10d", int(body.size()));
    return nameLength + name + bodyLength + body;
}

// What OnMSG saw, noted on the worker thread.
struct TSeenMessage
{
    TStrmServer* sender = nullptr;
    TGeneralServer* listening = nullptr;
    QByteArray name;
    QByteArray body;
    qint64 size = 0;
    qint64 received = 0;
    qint64 total = 0;
    qint64 pos = -1;
    bool complete = false;
    bool onUiThread = true;
    int live = 0; // connections being received, as the listening component counted them
};

class TServerProbe
{
    // Above the server, which goes first and waits for its workers, whose handlers note here.
    std::mutex lock_;
    std::vector<TSeenMessage> messages_;
    QStringList events_;
    QStringList failures_;
    std::vector<TStrmServer*> disconnected_;
    int maxLiveAtContact_ = 0;

public:
    // Runs in OnMSG before the message is noted (may throw, as a faulty handler would).
    std::function<void(TStrmServer* sender, TSpooledStream& strm)> Inspect;
    // Whether OnMSG keeps a copy of the body (not for bodies too large to hold).
    bool KeepBody = true;
    TStrmServer server;

    explicit TServerProbe(qint64 silenceMs = TGeneralServer::ClientSilenceMs)
    {
        server.Port = 0;
        server.SilenceLimitMs = silenceMs;
        server.OnClientContact = [this](TSockBase* s) {
            Note(QStringLiteral("contact"), s == &server);
            std::lock_guard guard(lock_);
            maxLiveAtContact_ = qMax(maxLiveAtContact_, server.ClientCount());
        };
        server.OnDisconnect = [this](TSockBase* s) {
            Note(QStringLiteral("disconnect"), s != &server);
            std::lock_guard guard(lock_);
            disconnected_.push_back(static_cast<TStrmServer*>(s));
        };
        server.OnFailed = [this](TStrmServer* s, const QByteArray&, const QString& error) {
            Note(QStringLiteral("failed"), s != &server);
            std::lock_guard guard(lock_);
            failures_ << error;
        };
        server.OnMSG = [this](TStrmServer* s, const QByteArray& name, TSpooledStream& strm) {
            TSeenMessage m;
            m.sender = s;
            m.listening = s->ListeningServer;
            m.name = name;
            m.size = strm.size();
            m.pos = strm.pos();
            m.received = s->ReceivedCount;
            m.total = s->TotalCount;
            m.complete = s->BodyComplete();
            m.onUiThread = QThread::currentThread() == qApp->thread();
            m.live = server.ClientCount();
            Note(QStringLiteral("msg"), s != &server);
            if (Inspect)
                Inspect(s, strm);
            if (KeepBody)
                m.body = strm.readAll();
            std::lock_guard guard(lock_);
            messages_.push_back(m);
            return true;
        };
        server.Loaded();
    }

    quint16 Port() const { return server.LocalPort(); }

    std::vector<TSeenMessage> Messages()
    {
        std::lock_guard guard(lock_);
        return messages_;
    }
    // Event names in order; a name ends in "!" when its sender was the wrong component, and
    // "@worker" when it was raised off the UI thread.
    QStringList Events()
    {
        std::lock_guard guard(lock_);
        return events_;
    }
    // What OnFailed said of each body that did not arrive, in order.
    QStringList Failures()
    {
        std::lock_guard guard(lock_);
        return failures_;
    }
    std::vector<TStrmServer*> Disconnected()
    {
        std::lock_guard guard(lock_);
        return disconnected_;
    }
    int MaxLiveAtContact()
    {
        std::lock_guard guard(lock_);
        return maxLiveAtContact_;
    }
    int Count(const QString& event) { return int(Events().count(event)); }

    // Until n connections have ended and every worker is gone.
    bool WaitDisconnects(int n, int ms = 5000)
    {
        return TRawTcpClient::PumpUntil(
            [&] { return int(Disconnected().size()) >= n && server.ClientCount() == 0; }, ms);
    }

private:
    void Note(const QString& what, bool rightSender)
    {
        QString event = what;
        if (QThread::currentThread() != qApp->thread())
            event += QStringLiteral("@worker");
        if (!rightSender)
            event += QLatin1Char('!');
        std::lock_guard guard(lock_);
        events_ << event;
    }
};

// Sends a whole message, reads the answer, closes; the answer's bytes.
inline QByteArray Exchange(quint16 port, const QByteArray& name, const QByteArray& body)
{
    TRawTcpClient peer(port);
    if (!peer.IsConnected() || !peer.Send(Frame(name, body)))
        return QByteArrayLiteral("<not sent>");
    const QByteArray answer = peer.Read(Ack.size());
    peer.Close();
    return answer;
}
