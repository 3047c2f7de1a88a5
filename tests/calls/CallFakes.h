#pragma once

// Stand-ins for what a call reaches outside itself, all writing into one ordered journal.

#include "calls/IDatagramSender.h"
#include "calls/IHostLookup.h"
#include "calls/TCallSession.h"
#include "platform/player/IMediaPlayer.h"
#include "tests/support/TFakeVoiceLink.h"

#include <QHash>
#include <QTimer>

struct Journal
{
    QStringList events;
    QStringList Matching(const QString& prefix) const { return events.filter(prefix); }
};

// Records what is sent instead of sending it.
class JournalSender : public IDatagramSender
{
public:
    explicit JournalSender(Journal& journal) : journal_(journal) {}
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        journal_.events << QString("send %1 -> %2").arg(QString::fromUtf8(payload), to.toString());
    }

private:
    Journal& journal_;
};

// Names the tests know: "peer.example" has two addresses, "silent.example" is never answered,
// every other name is not found; a dotted address stands for itself. Answers come from the
// event loop, as a resolver's do.
class FakeLookup : public QObject, public IHostLookup
{
public:
    int started = 0;
    int aborted = 0;

    int Start(const QString& host, Done done) override
    {
        const int id = ++started;
        pending_.insert(id, std::move(done));
        QHostAddress dotted;
        QList<QHostAddress> found;
        if (dotted.setAddress(host.trimmed()))
            found = {dotted};
        else if (host == "peer.example")
            found = {QHostAddress("192.0.2.20"), QHostAddress("192.0.2.21")};
        else if (host == "silent.example")
            return id;
        QTimer::singleShot(0, this, [this, id, found] {
            if (const Done done = pending_.take(id))
                done(found, found.isEmpty() ? "Socket Error # 11001\nHost not found." : QString());
        });
        return id;
    }
    void Abort(int id) override
    {
        if (pending_.remove(id))
            ++aborted;
    }
    qsizetype Pending() const { return pending_.size(); }

private:
    QHash<int, Done> pending_;
};

class JournalPlayer : public IMediaPlayer
{
public:
    explicit JournalPlayer(Journal& journal) : journal_(journal) {}
    bool playing = false;
    void Close() override {}
    bool Open(const QString&) override { return true; }
    void Play() override
    {
        journal_.events << "tone started";
        playing = true;
    }
    void Stop() override
    {
        journal_.events << "tone stopped";
        playing = false;
    }
    bool Playing() override { return playing; }

private:
    Journal& journal_;
};

// The voice link's starts and stops, in the journal.
inline std::shared_ptr<TFakeVoiceLink> JournalVoiceLink(Journal& journal)
{
    auto link = std::make_shared<TFakeVoiceLink>();
    link->onEvent = [&journal](const QString& event) { journal.events << event; };
    return link;
}

// A session whose sends, lookups, ring and voice all go to the journal; the voice link is returned.
inline std::shared_ptr<TFakeVoiceLink> UseJournalFakes(TCallSession& session, Journal& journal)
{
    auto link = JournalVoiceLink(journal);
    session.SetVoiceLink(link);
    session.SetSender(std::make_unique<JournalSender>(journal));
    session.SetLookup(std::make_unique<FakeLookup>());
    session.SetRingPlayer(std::make_unique<JournalPlayer>(journal));
    return link;
}
