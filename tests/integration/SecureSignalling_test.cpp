// A call's signalling through the secure channel between two copies over loopback: the
// request, the answer, the datagrams dropped meanwhile, and the ways the channel is refused.
#include "calls/TSecureSignalling.h"
#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TChannelFrames.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "platform/crypto/TTlsStream.h"
#include "tests/integration/StrmServerProbe.h"
#include "tests/integration/TestKeys.h"
#include "transfer/TStrmSocket.h"

#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

namespace {

using TKeys = TTestKeys;

// Every peer takes a channel and is known by the key given, if any.
class TPeerKeys : public IPeerKeys
{
public:
    QByteArray known;
    bool secure = true;
    std::vector<std::pair<QByteArray, bool>> seen;
    TExpected Expected(const QHostAddress&) const override { return {secure, known, "Beatrice"}; }
    TState Seen(const QHostAddress&, const QByteArray& key, bool accepted) override
    {
        seen.emplace_back(key, accepted);
        return known.isEmpty() ? TState::New : key == known ? TState::Same : TState::Changed;
    }
};

class TPlainSent : public IDatagramSender
{
public:
    QList<QByteArray>* sent;
    explicit TPlainSent(QList<QByteArray>* into) : sent(into) {}
    void SendTo(const QByteArray& payload, const QHostAddress&) override { *sent << payload; }
};

// One end: its signalling, its keys, and what reached it.
struct TEnd
{
    TKeys keys;
    TPeerKeys peers;
    QList<QByteArray> plain;
    QList<QByteArray> texts;
    TSecureSignalling signalling;

    explicit TEnd(quint16 port) : signalling(std::make_unique<TPlainSent>(&plain), port)
    {
        signalling.SetSecurity(keys.tls, &peers);
        QObject::connect(&signalling, &TSecureSignalling::Text, &signalling,
                         [this](const QByteArray& text, const QHostAddress&) { texts << text; });
    }
};

// B's file port, answering secure channels and handing calls to B's signalling.
void Answer(TServerProbe& probe, TEnd& b)
{
    probe.server.SetSecure(b.keys.tls, [&b](TStrmSocket* socket, const QByteArray& callId) {
        QMetaObject::invokeMethod(&b.signalling,
                                  [&b, socket, callId] { b.signalling.Take(socket, callId); });
    });
}

bool Until(const std::function<bool()>& done)
{
    return TRawTcpClient::PumpUntil(done, 5000);
}

const QHostAddress Loopback(QHostAddress::LocalHost);

// A party in between with a key of its own: it ends the caller's TLS, opens its own to the
// callee and passes every byte between the two unchanged (the hello, the commitments, texts).
class TRelay
{
public:
    TKeys own;
    QTcpServer listener;
    TStrmSocket* toA = nullptr;
    TStrmSocket* toB = nullptr;
    QByteArray forB; // what A sent before the way to B was secured

    explicit TRelay(quint16 bPort)
    {
        listener.listen(Loopback, 0);
        QObject::connect(&listener, &QTcpServer::newConnection, &listener, [this, bPort] {
            std::unique_ptr<QTcpSocket> taken(listener.nextPendingConnection());
            toA = new TStrmSocket(::dup(int(taken->socketDescriptor())), &listener);
            toA->StartTls(own.tls, true);
            toB = TStrmSocket::ConnectTo(Loopback, bPort, &listener);
            QObject::connect(toB, &TStrmSocket::Connected, toB,
                             [this] { toB->StartTls(own.tls, false); });
            // What the channel already holds when it is secured is read at once.
            QObject::connect(toB, &TStrmSocket::Secured, toB, [this] {
                toB->SetReading(true);
                toB->Send(forB.constData(), forB.size());
                FromB();
            });
            QObject::connect(toA, &TStrmSocket::Secured, toA, [this] {
                toA->SetReading(true);
                FromA();
            });
            QObject::connect(toA, &TStrmSocket::ReadyRead, toA, [this] { FromA(); });
            QObject::connect(toB, &TStrmSocket::ReadyRead, toB, [this] { FromB(); });
        });
    }
    quint16 Port() const { return listener.serverPort(); }

private:
    void FromA()
    {
        const QByteArray got = toA->Read(65536);
        if (toB->Tls() && toB->Tls()->Secured())
            toB->Send(got.constData(), got.size());
        else
            forB += got;
    }
    void FromB()
    {
        const QByteArray got = toB->Read(65536);
        toA->Send(got.constData(), got.size());
    }
};

} // namespace

TEST(SecureSignalling, ACallGoesThroughTheChannelAndPlainDatagramsFromThePeerAreDropped)
{
    TServerProbe probe;
    TEnd a(probe.Port());
    TEnd b(0);
    Answer(probe, b);
    a.peers.known = b.keys.identity.Fingerprint();

    a.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !b.texts.isEmpty(); }));
    EXPECT_EQ(b.texts, QList<QByteArray>{"Calling|Anna"});
    b.signalling.SendTo("Accept", Loopback);
    ASSERT_TRUE(Until([&] { return !a.texts.isEmpty(); }));
    EXPECT_EQ(a.texts, QList<QByteArray>{"Accept"});
    EXPECT_TRUE(a.plain.isEmpty() && b.plain.isEmpty()) << "nothing of the call goes plain";
    EXPECT_TRUE(a.signalling.Encrypted(Loopback) && b.signalling.Encrypted(Loopback));
    // Both ends made the same numbers, and each sends with the key the other receives with.
    const QString numbers = a.signalling.Numbers(Loopback);
    EXPECT_TRUE(QRegularExpression("^\\d{3} \\d{3}$").match(numbers).hasMatch())
        << numbers.toStdString();
    EXPECT_EQ(b.signalling.Numbers(Loopback), numbers);
    const TCallKeys* ka = a.signalling.Keys(Loopback);
    const TCallKeys* kb = b.signalling.Keys(Loopback);
    ASSERT_TRUE(ka && kb);
    EXPECT_TRUE(ka->srtpOut == kb->srtpIn && ka->videoIn == kb->videoOut && ka->sas == kb->sas);
    EXPECT_NE(ka->videoOut, ka->videoIn);
    // Each learnt the other's real key.
    ASSERT_FALSE(b.peers.seen.empty());
    EXPECT_EQ(b.peers.seen.back().first, a.keys.identity.Fingerprint());
    EXPECT_EQ(a.peers.seen.back().first, b.keys.identity.Fingerprint());
    // A forged "Cancel" from the peer's address on the plain port is not taken.
    EXPECT_FALSE(b.signalling.AdmitPlain(Loopback));
    EXPECT_EQ(b.signalling.DroppedPlain(), 1);
    EXPECT_TRUE(b.signalling.AdmitPlain(QHostAddress("169.254.7.7")));
    // No portal for a call: the transfer window is never told of the contact.
    EXPECT_EQ(probe.Count(QStringLiteral("contact")), 0);

    // The call ends on A's side: the channel goes, and plain datagrams count again.
    a.signalling.Settle(false, QHostAddress());
    EXPECT_TRUE(a.signalling.AdmitPlain(Loopback));
}

TEST(SecureSignalling, NothingRingsForAChangedKeyOrGoesPlainToAPeerKnownToEncryptWithoutYes)
{
    TServerProbe probe;
    TEnd a(probe.Port());
    TEnd b(0);
    Answer(probe, b);
    a.peers.known = QByteArray(32, 'k');
    a.signalling.OnKeyChanged = [](const QString&) { return false; };
    a.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !a.texts.isEmpty(); }));
    EXPECT_EQ(a.texts.first(), QByteArray("The call was not placed: Beatrice's key has changed"));
    EXPECT_TRUE(b.texts.isEmpty());

    // A peer whose port takes no channel (an old copy, or a relay that strips it).
    TServerProbe old;
    TEnd c(old.Port());
    QString reason;
    c.signalling.OnInsecure = [&](const QString&, const QString& why) {
        reason = why;
        return false;
    };
    c.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !c.texts.isEmpty(); }));
    EXPECT_TRUE(c.texts.first().startsWith("The secure connection failed ("));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(c.plain.isEmpty());
    // Asked again and answered yes: the same request goes plain, once.
    c.texts.clear();
    c.signalling.OnInsecure = [](const QString&, const QString&) { return true; };
    c.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !c.plain.isEmpty(); }));
    EXPECT_EQ(c.plain, QList<QByteArray>{"Calling|Anna"});
    EXPECT_TRUE(old.Messages().empty());
}

TEST(SecureSignalling, OnlyEncryptedSendsNoRequestPlainAndAsksNothing)
{
    TServerProbe old; // a port that takes no channel
    TEnd c(old.Port());
    c.signalling.SetEncryptedOnly(true);
    bool asked = false;
    c.signalling.OnInsecure = [&](const QString&, const QString&) { return asked = true; };
    c.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !c.texts.isEmpty(); }));
    EXPECT_TRUE(c.texts.first().startsWith("The secure connection failed ("))
        << c.texts.first().toStdString();
    EXPECT_FALSE(asked);
    // A peer not known to encrypt is not even tried.
    c.texts.clear();
    c.peers.secure = false;
    c.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !c.texts.isEmpty(); }));
    EXPECT_TRUE(c.texts.first().startsWith("The call was not placed: Beatrice can't take"));
    // Nor does the Cancel of the call that never went out.
    c.signalling.SendTo("Cancel", Loopback);
    EXPECT_TRUE(c.plain.isEmpty());
    // The reply to a plain request (the unanswered message) still goes.
    EXPECT_TRUE(c.signalling.AdmitPlain(Loopback));
    c.signalling.SendTo("Not now", Loopback);
    EXPECT_EQ(c.plain, QList<QByteArray>{"Not now"});
}

TEST(SecureSignalling, APartyInBetweenIsToldByTheNumbersAndTheMediaKeys)
{
    TServerProbe probe;
    TEnd b(0);
    Answer(probe, b);
    TRelay relay(probe.Port());
    TEnd a(relay.Port());
    a.signalling.SendTo("Calling|Anna", Loopback);
    ASSERT_TRUE(Until([&] { return !b.texts.isEmpty(); })) << "the relay passed nothing on";
    b.signalling.SendTo("Accept", Loopback);
    ASSERT_TRUE(Until([&] { return !a.texts.isEmpty(); }));
    // Each end met the relay's key, not the other's, and the two pairs of keys differ: the
    // numbers the users read to each other, and so the pictures each sends.
    EXPECT_EQ(a.peers.seen.back().first, relay.own.identity.Fingerprint());
    EXPECT_EQ(b.peers.seen.back().first, relay.own.identity.Fingerprint());
    ASSERT_FALSE(a.signalling.Numbers(Loopback).isEmpty());
    EXPECT_NE(a.signalling.Numbers(Loopback), b.signalling.Numbers(Loopback));
    const TCallKeys* ka = a.signalling.Keys(Loopback);
    const TCallKeys* kb = b.signalling.Keys(Loopback);
    ASSERT_TRUE(ka && kb);
    TVideoSealer fromA(ka->videoOut);
    TVideoOpener atB(kb->videoIn);
    EXPECT_FALSE(atB.Open(fromA.Seal(QByteArray(100, 'j'))));
    EXPECT_EQ(atB.AuthFailures(), 1);
}

TEST(SecureSignalling, ARevealThatDoesNotMatchTheCommitmentRingsNothing)
{
    TServerProbe probe;
    TEnd b(0);
    Answer(probe, b);
    TKeys intruder;
    std::unique_ptr<TStrmSocket> client(TStrmSocket::ConnectTo(Loopback, probe.Port()));
    bool secured = false;
    QObject::connect(client.get(), &TStrmSocket::Connected, client.get(),
                     [&] { client->StartTls(intruder.tls, false); });
    QObject::connect(client.get(), &TStrmSocket::Secured, client.get(), [&] { secured = true; });
    ASSERT_TRUE(Until([&] { return secured; }));
    const QByteArray committed = QCryptographicHash::hash(
        QByteArrayLiteral("parlavue sas commit") + QByteArray(32, 'a'), QCryptographicHash::Sha256);
    const QByteArray opening =
        TChannelFrames::EncodeHello(TChannelFrames::KindCall, QByteArray(16, 'i')) +
        TChannelFrames::Encode('C', committed);
    ASSERT_EQ(client->Send(opening.constData(), opening.size()), opening.size());
    // The callee's nonce comes; the reveal is another nonce than the one committed to.
    client->SetReading(true);
    QByteArray in;
    ASSERT_TRUE(Until([&] {
        char block[256];
        const qint64 n = client->Read(block, sizeof block);
        if (n > 0)
            in.append(block, n);
        return in.size() >= 2 + 33;
    }));
    const QByteArray rest =
        TChannelFrames::Encode('R', QByteArray(32, 'b')) + TChannelFrames::Encode('S', "Calling|X");
    ASSERT_EQ(client->Send(rest.constData(), rest.size()), rest.size());
    EXPECT_TRUE(Until([&] {
        char scrap[64];
        return client->Read(scrap, sizeof scrap) < 0;
    })) << "the callee kept the channel open";
    EXPECT_TRUE(b.texts.isEmpty());
    EXPECT_TRUE(b.signalling.AdmitPlain(Loopback)) << "the failed channel is gone";
}
