// libFuzzer target for the call as a whole: any mix of datagrams from four addresses and of
// what the user does never crashes the phone, and never gives the call away. Whatever happens,
// "Accept" goes only to the caller that rang, the voice only ever runs towards the call's peer,
// a call that is up has that peer and its voice, and no address gets more than one busy or
// unanswered reply a second.
//
// Input: a sequence of steps. A step's first byte chooses what happens: a datagram from one of
// four addresses (its own text, a length byte and that many bytes, or a fixed message), a user
// action, or time passing.
#include "calls/TCallSession.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

void Check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

const char* const Addresses[] = {"192.0.2.1", "192.0.2.2", "192.0.2.3", "192.0.2.4"};
const char* const Messages[] = {"Calling|Anna", "Accept", "Cancel", "Not now", "Calling", "|"};

struct TWorld
{
    QString voicePeer;  // where the running voice goes; empty when none runs
    QString lastRinger; // the address the last ring or auto-answer was for
    std::map<QString, std::vector<qint64>> replies; // when each busy or unanswered reply went
    qint64 nowMs = 0;
    QString replyText;
};

class Sender : public IDatagramSender
{
public:
    explicit Sender(TWorld& world) : world_(world) {}
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        const QString text = QString::fromUtf8(payload);
        if (text == QLatin1String("Accept"))
            Check(to.toString() == world_.lastRinger, "Accept goes to the caller that rang");
        else if (text == world_.replyText)
            world_.replies[to.toString()].push_back(world_.nowMs);
    }

private:
    TWorld& world_;
};

class Lookup : public QObject, public IHostLookup
{
public:
    int Start(const QString& host, Done done) override
    {
        const int id = ++next_;
        QHostAddress address(host);
        QTimer::singleShot(0, this, [this, id, address, done] {
            if (pending_.remove(id))
                done(address.isNull() ? QList<QHostAddress>{} : QList<QHostAddress>{address},
                     QStringLiteral("not found"));
        });
        pending_.insert(id, true);
        return id;
    }
    void Abort(int id) override { pending_.remove(id); }

private:
    int next_ = 0;
    QHash<int, bool> pending_;
};

class Link : public IVoiceLink
{
public:
    explicit Link(TWorld& world) : world_(world) {}
    bool Start(const TVoiceEndpoint& to, const TVoiceProcessing&) override
    {
        world_.voicePeer = to.host;
        return true;
    }
    void Stop() override { world_.voicePeer.clear(); }
    bool Running() const override { return !world_.voicePeer.isEmpty(); }
    void SetMicLevel(int) override {}
    void SetSpeakerLevel(int) override {}
    void SetDevices(const QString&, const QString&) override {}
    TVoiceStats Stats() const override { return {}; }
    void SetDeviceNoticeHandler(DeviceNoticeHandler) override {}

private:
    TWorld& world_;
};

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "CallSession_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("parlavue.*=false"));
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    App();
    TWorld world;
    TCallSettings settings;
    settings.CallerID = QStringLiteral("Anna");
    settings.Message = world.replyText = QStringLiteral("Not now");
    settings.RingTimeMs = 1000000; // rings out only when the input says so
    TCallPorts ports;
    ports.signallingListen = 0;
    TCallSession session(settings, ports);
    session.SetSender(std::make_unique<Sender>(world));
    session.SetLookup(std::make_unique<Lookup>());
    session.SetVoiceLink(std::make_shared<Link>(world));
    const auto start = TCallSession::TClock::now();
    session.SetClock([&] { return start + std::chrono::milliseconds(world.nowMs); });
    QObject::connect(&session, &TCallSession::incomingCall,
                     [&](const QString&, const QString& from, bool) { world.lastRinger = from; });
    QString placedTo;

    size_t i = 0;
    int steps = 0;
    while (i < size && steps++ < 64) {
        // Low four bits: what happens; the next two: the address; the top two: a detail.
        const uint8_t op = data[i++];
        const QString from = QString::fromLatin1(Addresses[(op >> 4) & 3]);
        const int detail = op >> 6;
        switch (op & 15) {
        case 0: // a text of the input's own
        {
            const size_t wanted = i < size ? data[i++] : 0;
            const size_t n = std::min(wanted, size - i);
            session.Receive(QByteArray(reinterpret_cast<const char*>(data + i), int(n)), from);
            i += n;
            break;
        }
        case 1:
        case 2:
        case 3:
            session.Receive(Messages[(detail + 4 * ((op & 15) - 1)) % std::size(Messages)], from);
            break;
        case 4:
            placedTo = from;
            session.Place(from);
            break;
        case 5:
            try {
                session.Answer();
            } catch (const std::exception&) {
            }
            break;
        case 6:
            session.End();
            break;
        case 7:
            session.CancelPlacing();
            break;
        case 8:
            session.AbandonPlacing();
            break;
        case 9:
            world.nowMs += 250 * (detail + 1);
            break;
        case 10:
            settings.AutoAnswer = !settings.AutoAnswer;
            break;
        case 11:
            QCoreApplication::processEvents();
            break;
        case 12:
            try {
                session.MakeOrAnswer(from);
            } catch (const std::exception&) {
            }
            break;
        default:
            break;
        }
        // The call's peer holds its voice, and an answer only ever went to the caller that rang.
        if (session.Connected()) {
            Check(session.HasVoice(), "a call that is up has its voice");
            Check(!session.Peer().isEmpty(), "a call that is up has its peer");
        }
        if (!world.voicePeer.isEmpty())
            Check(world.voicePeer == session.Peer(), "the voice goes to the peer");
        for (const auto& [to, times] : world.replies)
            for (size_t k = 1; k < times.size(); ++k)
                Check(times[k] - times[k - 1] >= 1000, "one reply a second to an address");
    }
    session.End();
    return 0;
}
