// What a hostile neighbour can do to the receiving stream server: hold the slots after its
// answer, trickle a body, and hand over files faster than anyone sends them; and what a real
// sender that pauses keeps.
#include "tests/integration/StrmServerProbe.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Sends a byte to every peer still open every stepMs, while the server runs, until none is
// open or the time is up; whether none is.
bool TrickleUntilClosed(std::vector<std::unique_ptr<TRawTcpClient>>& peers, int stepMs, int ms)
{
    const auto open = [&] {
        return std::ranges::any_of(peers, [](const auto& peer) { return !peer->PeerClosed(); });
    };
    QElapsedTimer clock;
    clock.start();
    while (open() && clock.elapsed() < ms) {
        for (auto& peer : peers) {
            if (!peer->PeerClosed())
                peer->Send("z", 100);
        }
        TRawTcpClient::PumpUntil([] { return false; }, stepMs);
    }
    return !open();
}

} // namespace

TEST(StrmServerNeighbours, AnsweredPeersThatDoNotCloseLoseTheirSlotsInTime)
{
    TServerProbe probe;
    probe.SetLimits([](TStrmLimits& l) { l.closeWaitMs = 1000; }); // shortened for the test
    // Three addresses take all eight slots, each with an answered message, then keep talking.
    std::vector<std::unique_ptr<TRawTcpClient>> holders;
    for (int i = 0; i < TStrmServer::MaxClients; ++i) {
        const QByteArray from = "127.0.0." + QByteArray::number(2 + i / 3);
        holders.push_back(std::make_unique<TRawTcpClient>(probe.Port(), 5000, from.constData()));
        ASSERT_TRUE(holders.back()->Send(Frame("held", "")));
        ASSERT_EQ(holders.back()->Read(Ack.size()), Ack) << i;
    }
    ASSERT_EQ(probe.server.ClientCount(), TStrmServer::MaxClients);
    // Bytes every 200 ms never let the silence limit end them; the time to close does.
    EXPECT_TRUE(TrickleUntilClosed(holders, 200, 10000));
    ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return probe.server.ClientCount() == 0; }, 5000));
    EXPECT_EQ(Exchange(probe.Port(), "fourth", QByteArray(200000, 'f')), Ack);
}

TEST(StrmServerNeighbours, APausingSenderKeepsItsFileAndATrickleIsCutOff)
{
    // Every time a tenth of the server's own: 3 s of silence and a 4 s window stand for 30 and
    // 40; the bytes per window stay as they are.
    TServerProbe probe(TStrmServer::ClientSilenceMs / 10);
    probe.SetLimits([](TStrmLimits& l) { l.rateWindowMs /= 10; });
    const QByteArray body(200000, 'b');

    // A sender whose window thread stops for 20 s (2 here) after a good start keeps its file.
    TRawTcpClient paused(probe.Port());
    ASSERT_TRUE(paused.Send(Frame("paused.bin", body).left(14 + 10 + 100000)));
    TRawTcpClient::PumpUntil([] { return false; }, 2000);
    ASSERT_TRUE(paused.Send(body.mid(100000)));
    EXPECT_EQ(paused.Read(Ack.size(), 5000), Ack);
    paused.Close();

    // A byte every 3 s (0.3 here) keeps clear of the silence limit but is far too slow.
    std::vector<std::unique_ptr<TRawTcpClient>> trickle;
    trickle.push_back(std::make_unique<TRawTcpClient>(probe.Port()));
    ASSERT_TRUE(trickle[0]->Send(Frame("trickle.bin", body).left(30)));
    EXPECT_TRUE(TrickleUntilClosed(trickle, 300, 15000));
    ASSERT_TRUE(probe.WaitDisconnects(2));
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].body, body);
    ASSERT_EQ(probe.Failures().size(), 1);
    EXPECT_TRUE(probe.Failures()[0].startsWith("The body came slower than"))
        << probe.Failures()[0].toStdString();
}

TEST(StrmServerNeighbours, FilesFromOneAddressComeAtAPaceAndNoneIsLost)
{
    TServerProbe probe;
    probe.server.SetFilePace({10, std::chrono::milliseconds(100)}); // shortened for the test
    constexpr int Files = 30;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Files; ++i)
        ASSERT_EQ(Exchange(probe.Port(), "empty" + QByteArray::number(i), ""), Ack) << i;
    // Ten at once, then one every 100 ms: however fast the sender, no sooner than that.
    EXPECT_GE(clock.elapsed(), (Files - 10 - 1) * 100);
    ASSERT_TRUE(probe.WaitDisconnects(Files));
    EXPECT_EQ(int(probe.Messages().size()), Files);
}
