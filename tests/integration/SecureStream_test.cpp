// Stream messages through the secure channel between two keys of their own, against the same
// server that still takes plain senders, and hostile openings of the channel.
#include "platform/crypto/TChannelFrames.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "platform/crypto/TTlsStream.h"
#include "tests/integration/StrmServerProbe.h"
#include "tests/integration/TestKeys.h"
#include "transfer/TStrmSocket.h"

#include <QBuffer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TKeys = TTestKeys;

std::shared_ptr<QIODevice> Body(const QByteArray& bytes)
{
    auto stream = std::make_shared<QBuffer>();
    stream->setData(bytes);
    stream->open(QIODevice::ReadOnly);
    return stream;
}

QByteArray Random(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), n / 4);
    return bytes;
}

void Aim(TStrmSender& sender, quint16 port, const TKeys& ours, const QByteArray& expected)
{
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = port;
    sender.FromName = "Anna";
    sender.Tls = ours.tls;
    sender.SecureFor = [expected](const QHostAddress&) {
        return TStrmSender::TSecure{true, expected};
    };
}

} // namespace

TEST(SecureStream, AMessageGoesWholeThroughTheChannelAndEachSideLearnsTheOthersKey)
{
    TKeys a;
    TKeys b;
    TServerProbe probe;
    probe.Secure(b.tls);
    TStrmSender sender;
    Aim(sender, probe.Port(), a, b.identity.Fingerprint());
    // Past the size kept in memory, so the body is spooled from the channel to a file.
    const QByteArray body = Random(3 << 20);
    EXPECT_EQ(SendAndWait(sender, Body(body)), QString());
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].body, body);
    EXPECT_EQ(probe.Messages()[0].name, QByteArray("Anna"));
    EXPECT_EQ(probe.Messages()[0].peerKey, a.identity.Fingerprint());
    EXPECT_EQ(sender.PeerKey(), b.identity.Fingerprint());

    // A copy that speaks only the plain framing still reaches the same server.
    TStrmSender plain;
    plain.Host = QStringLiteral("127.0.0.1");
    plain.Port = probe.Port();
    plain.FromName = "Old";
    EXPECT_EQ(SendAndWait(plain, Body("hello")), QString());
    ASSERT_EQ(probe.Messages().size(), 2u);
    EXPECT_EQ(probe.Messages()[1].body, QByteArray("hello"));
    EXPECT_TRUE(probe.Messages()[1].peerKey.isEmpty());
}

TEST(SecureStream, NothingGoesToAChangedKeyOrPlainToAPeerKnownToEncryptWithoutTheUsersYes)
{
    TKeys a;
    TKeys b;
    TServerProbe probe;
    probe.Secure(b.tls);
    TStrmSender sender;
    Aim(sender, probe.Port(), a, Random(32));
    QByteArray shown;
    sender.OnKeyChanged = [&](const QByteArray& key) {
        shown = key;
        return false;
    };
    EXPECT_EQ(SendAndWait(sender, Body("secret")),
              QString("The receiver's key has changed; nothing was sent."));
    EXPECT_EQ(shown, b.identity.Fingerprint());

    // A receiver that cannot take the channel (as an old copy, or one a relay stands for).
    TServerProbe old;
    Aim(sender, old.Port(), a, {});
    int asked = 0;
    sender.OnInsecure = [&](const QString&) { return ++asked > 1; };
    const std::optional<QString> refused = SendAndWait(sender, Body("secret"));
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->startsWith(QStringLiteral("The secure connection failed (")))
        << refused->toStdString();
    EXPECT_EQ(SendAndWait(sender, Body("now plain")), QString());
    EXPECT_TRUE(probe.WaitDisconnects(1));
    EXPECT_TRUE(probe.Messages().empty());
    ASSERT_EQ(old.Messages().size(), 1u);
    EXPECT_EQ(old.Messages()[0].body, QByteArray("now plain"));

    // Only encrypted: the failed channel is not asked about, and a peer known to take none
    // gets nothing at all.
    sender.EncryptedOnly = true;
    asked = 0;
    EXPECT_TRUE(SendAndWait(sender, Body("secret"))->startsWith("The secure connection failed ("));
    sender.SecureFor = [](const QHostAddress&) { return TStrmSender::TSecure{}; };
    EXPECT_TRUE(SendAndWait(sender, Body("secret"))->startsWith("127.0.0.1 can't receive"));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(old.Messages().size(), 1u);
}

TEST(SecureStream, AChannelThatOpensWithAnythingButAMessagesHelloIsClosedAndNothingStored)
{
    TKeys a;
    TKeys b;
    TServerProbe probe;
    probe.Secure(b.tls);
    const QByteArray message = TChannelFrames::EncodeHello(TChannelFrames::KindMessage) +
                               Frame("x", "should never be stored");
    const QList<QByteArray> openings = {
        QByteArray("\x00\x00", 2) + Frame("x", "y"),           // a length no frame has
        QByteArray("\x20\x02", 2) + QByteArray(8194, 'H'),     // longer than any frame
        TChannelFrames::Encode('S', "Calling|Anna") + message, // a frame before the hello
        QByteArray("\x00\x03H\x02m", 5) + Frame("x", "y"),     // another version
        TChannelFrames::EncodeHello(TChannelFrames::KindCall, QByteArray(16, 'i')) + message,
    };
    for (const QByteArray& opening : openings) {
        std::unique_ptr<TStrmSocket> client(
            TStrmSocket::ConnectTo(QHostAddress::LocalHost, probe.Port()));
        bool secured = false;
        QObject::connect(client.get(), &TStrmSocket::Connected, client.get(),
                         [&] { client->StartTls(a.tls, false); });
        QObject::connect(client.get(), &TStrmSocket::Secured, client.get(),
                         [&] { secured = true; });
        ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return secured; }, 5000));
        EXPECT_EQ(client->Send(opening.constData(), opening.size()), opening.size());
        client->SetReading(true);
        char scrap[64];
        EXPECT_TRUE(
            TRawTcpClient::PumpUntil([&] { return client->Read(scrap, sizeof scrap) < 0; }, 5000))
            << "the server kept a channel open after " << opening.left(8).toHex().toStdString();
    }
    // Garbage that only looks like TLS by its first byte.
    TRawTcpClient raw(probe.Port());
    ASSERT_TRUE(raw.Send(QByteArray("\x16\x03\x01\x00\x05hello", 10) + Frame("x", "y")));
    EXPECT_TRUE(probe.WaitDisconnects(int(openings.size()) + 1));
    EXPECT_TRUE(probe.Messages().empty());
}
