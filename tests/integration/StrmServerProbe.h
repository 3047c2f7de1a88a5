#pragma once

// A listening stream server on a free loopback port that notes every event it raises, for the
// server's integration tests.
#include "tests/support/TRawTcpClient.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
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

// What the message handler saw, noted on the worker thread.
struct TSeenMessage
{
    quint64 id = 0;
    QByteArray name;
    QByteArray body;
    qint64 size = 0;
    qint64 received = 0;
    qint64 total = 0;
    qint64 pos = -1;
    bool complete = false;
    QByteArray peerKey; // of a secure channel
};

class TServerProbe
{
    // Above the server, which goes first and waits for its workers, whose handlers note here.
    std::mutex lock_;
    std::vector<TSeenMessage> messages_;
    QStringList events_;
    QStringList failures_;
    std::vector<quint64> disconnected_;

public:
    // Runs in the handler before the message is noted (may throw, as a faulty handler would).
    std::function<void(TSpooledStream& strm)> Inspect;
    // Whether the handler keeps a copy of the body (not for bodies too large to hold).
    bool KeepBody = true;
    TStrmServer server;

    explicit TServerProbe(qint64 silenceMs = TStrmServer::ClientSilenceMs)
    {
        server.Port = 0;
        SetLimits([&](TStrmLimits& l) { l.silenceMs = silenceMs; });
        QObject::connect(&server, &TStrmServer::ClientContact, &server,
                         [this](const QString&) { Note(QStringLiteral("contact")); });
        QObject::connect(&server, &TStrmServer::Disconnected, &server,
                         [this](quint64 id, const QString&) {
                             Note(QStringLiteral("disconnect"));
                             std::lock_guard guard(lock_);
                             disconnected_.push_back(id);
                         });
        QObject::connect(&server, &TStrmServer::MessageFailed, &server,
                         [this](const QString&, const QByteArray&, const QString& error) {
                             std::lock_guard guard(lock_);
                             failures_ << error;
                         });
        TStrmHandlers handlers;
        handlers.message = [this](const TStrmConnection& c, const QByteArray& name,
                                  TSpooledStream& strm) {
            TSeenMessage m;
            m.id = c.Id();
            m.name = name;
            m.size = strm.size();
            m.pos = strm.pos();
            m.received = c.ReceivedCount();
            m.total = c.TotalCount();
            m.complete = c.BodyComplete();
            m.peerKey = c.PeerKey();
            Note(QStringLiteral("msg"));
            if (Inspect)
                Inspect(strm);
            if (KeepBody)
                m.body = strm.readAll();
            std::lock_guard guard(lock_);
            messages_.push_back(m);
            return true;
        };
        server.SetHandlers(handlers);
        server.Listen();
    }

    // Answers secure channels from now on.
    void Secure(std::shared_ptr<const TTlsContext> tls) { server.SetSecure(std::move(tls), {}); }

    quint16 Port() const { return server.LocalPort(); }

    void SetLimits(const std::function<void(TStrmLimits&)>& change)
    {
        TStrmLimits limits = server.Limits();
        change(limits);
        server.SetLimits(limits);
    }

    std::vector<TSeenMessage> Messages() { return Locked(messages_); }
    // Event names in order; "@worker" when it was raised off the UI thread.
    QStringList Events() { return Locked(events_); }
    // What MessageFailed said of each body that did not arrive, in order.
    QStringList Failures() { return Locked(failures_); }
    std::vector<quint64> Disconnected() { return Locked(disconnected_); }
    int Count(const QString& event) { return int(Events().count(event)); }

    // Until n connections have ended and none is being received.
    bool WaitDisconnects(int n, int ms = 5000)
    {
        return TRawTcpClient::PumpUntil(
            [&] { return int(Disconnected().size()) >= n && server.ClientCount() == 0; }, ms);
    }

private:
    template <class T> T Locked(const T& noted)
    {
        std::lock_guard guard(lock_);
        return noted;
    }
    void Note(const QString& what)
    {
        QString event = what;
        if (QThread::currentThread() != qApp->thread())
            event += QStringLiteral("@worker");
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

// Starts a send and runs the events until it ends: an empty text when the receiver
// acknowledged, the reason it failed, or nothing when it had not ended within the time.
inline std::optional<QString> SendAndWait(TStrmSender& sender, std::shared_ptr<QIODevice> body,
                                          int ms = 10000)
{
    std::optional<QString> outcome;
    const QObject context; // the connections below go with it
    QObject::connect(&sender, &TStrmSender::Done, &context, [&] { outcome = QString(); });
    QObject::connect(&sender, &TStrmSender::Failed, &context,
                     [&](const QString& reason) { outcome = reason; });
    if (sender.Send(std::move(body)))
        TRawTcpClient::PumpUntil([&] { return outcome.has_value(); }, ms);
    return outcome;
}
