#include "platform/voice/gst/RtcpPacket.h"
#include "platform/voice/gst/TGstVoiceLink.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TPlayedSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kPortA = 18500;
constexpr int kPortB = 18502;
constexpr size_t kWindow = kRate / 4; // 250 ms; 1000 and 1500 Hz fall on exact bins
constexpr double kToneFloor = 1000.0; // amplitude in S16 units, about 3 % of full scale
constexpr double kDominance = 20.0;   // power ratio target bin / other tone's bin

void pause(int ms)
{
    WaitUntil([] { return false; }, ms);
}

// Amplitude of one frequency in the block (Goertzel), in sample units.
double toneAmplitude(const std::vector<qint16>& block, double freq)
{
    const double w = 2.0 * std::numbers::pi * freq / kRate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (qint16 x : block) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / double(block.size());
}

double rms(const std::vector<qint16>& block)
{
    double sum = 0;
    for (qint16 x : block)
        sum += double(x) * x;
    return block.empty() ? 0.0 : std::sqrt(sum / double(block.size()));
}

struct Heard
{
    double target = 0;
    double other = 0;
    double level = 0;
    bool ok = false; // a full window arrived in time
};

// Listens to the next window of what `played` receives, after skipping `skipMs`.
Heard listen(const TPlayedSound& played, double target, double other, int skipMs = 0)
{
    const size_t from = played.size() + size_t(skipMs) * kRate / 1000;
    Heard h;
    h.ok = WaitUntil([&] { return played.size() >= from + kWindow; }, 4000);
    const std::vector<qint16> block = played.slice(from, kWindow);
    if (!h.ok || block.empty())
        return h;
    h.target = toneAmplitude(block, target);
    h.other = toneAmplitude(block, other);
    h.level = rms(block);
    return h;
}

void expectTone(const Heard& h, const char* who)
{
    ASSERT_TRUE(h.ok) << who << ": no sound arrived";
    EXPECT_GT(h.target, kToneFloor) << who;
    EXPECT_GE(h.target * h.target, kDominance * h.other * h.other)
        << who << " target " << h.target << " other " << h.other;
}

std::unique_ptr<TGstVoiceLink> makeLink(int freq, std::shared_ptr<TPlayedSound> played)
{
    TGstVoiceLink::Options o;
    o.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=sine samplesperbuffer=480 freq=%1")
            .arg(freq);
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    o.playedTap = [played](const QByteArray& pcm) { played->append(pcm); };
    return std::make_unique<TGstVoiceLink>(std::move(o));
}

// These listen for steady tones, which noise suppression rightly takes for noise.
constexpr TVoiceProcessing kPlain{false, false};

TVoiceEndpoint loopback(int local, int remote)
{
    return {QStringLiteral("127.0.0.1"), remote, local};
}

QByteArray rtpPacket(quint8 payloadType, quint16 seq, quint32 ssrc, const QByteArray& payload)
{
    QByteArray p(12, '\0');
    p[0] = char(0x80);
    p[1] = char(payloadType & 0x7f);
    p[2] = char(seq >> 8);
    p[3] = char(seq);
    p[8] = char(ssrc >> 24);
    p[9] = char(ssrc >> 16);
    p[10] = char(ssrc >> 8);
    p[11] = char(ssrc);
    return p + payload;
}

QByteArray randomBytes(std::mt19937& rng, int size)
{
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng() & 0xff);
    return b;
}

// Sends junk to port from the given loopback address: random datagrams, truncated headers,
// a wrong payload type, and well-formed headers carrying random bytes.
int sendJunk(const QString& from, int port, std::mt19937& rng, bool includeOpusType)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(from), 0))
        return -1;
    const QHostAddress to(QStringLiteral("127.0.0.1"));
    int sent = 0;
    auto send = [&](const QByteArray& d) {
        if (socket.writeDatagram(d, to, quint16(port)) == d.size())
            ++sent;
    };
    for (int i = 0; i < 50; ++i) {
        send(randomBytes(rng, 1 + int(rng() % 200)));
        send(rtpPacket(96, quint16(rng()), rng(), {}).left(1 + int(rng() % 11)));
        send(rtpPacket(0, quint16(rng()), rng(), randomBytes(rng, 80)));
        if (includeOpusType)
            send(rtpPacket(96, quint16(rng()), rng(), randomBytes(rng, 1 + int(rng() % 120))));
        QThread::msleep(1);
    }
    return sent;
}

// Two links talking over loopback: A plays 1000 Hz into its source, B 1500 Hz.
class VoiceLoopback : public ::testing::Test
{
protected:
    void SetUp() override
    {
        a = makeLink(1000, heardAtA);
        b = makeLink(1500, heardAtB);
        ASSERT_TRUE(a->Start(loopback(kPortA, kPortB), kPlain));
        ASSERT_TRUE(b->Start(loopback(kPortB, kPortA), kPlain));
    }

    std::shared_ptr<TPlayedSound> heardAtA = std::make_shared<TPlayedSound>();
    std::shared_ptr<TPlayedSound> heardAtB = std::make_shared<TPlayedSound>();
    std::unique_ptr<TGstVoiceLink> a;
    std::unique_ptr<TGstVoiceLink> b;
};

TEST_F(VoiceLoopback, EachSideHearsTheOther)
{
    const Heard atB = listen(*heardAtB, 1000, 1500, 200);
    const Heard atA = listen(*heardAtA, 1500, 1000, 0);
    expectTone(atB, "B hearing A");
    expectTone(atA, "A hearing B");
    std::printf("[ measure ] B: 1000 Hz amp %.0f, 1500 Hz amp %.1f, power ratio %.0f\n", atB.target,
                atB.other, atB.target * atB.target / std::max(atB.other * atB.other, 1e-9));
    std::printf("[ measure ] A: 1500 Hz amp %.0f, 1000 Hz amp %.1f, power ratio %.0f\n", atA.target,
                atA.other, atA.target * atA.target / std::max(atA.other * atA.other, 1e-9));
    EXPECT_GT(a->PacketsSent(), 0u);
    EXPECT_GT(b->PacketsReceived(), 0u);
}

// Both sides report on the ports above the voice ports: each learns the round trip and that
// nothing was lost; a report from another address changes nothing.
TEST_F(VoiceLoopback, ReportsGiveTheRoundTripAndTheLoss)
{
    auto known = [](const TGstVoiceLink& t) {
        const TVoiceStats s = t.Stats();
        return s.peerReports && s.roundTripMs >= 0 && s.jitterMs >= 0;
    };
    ASSERT_TRUE(WaitUntil([&] { return known(*a) && known(*b); }, 5000));
    for (const TGstVoiceLink* t : {a.get(), b.get()}) {
        const TVoiceStats s = t->Stats();
        std::printf("[ measure ] rtt %.2f ms, peer loss %.1f %%, loss %.1f %%, jitter %.2f ms, "
                    "jitter buffer %.0f ms, mouth-to-ear ~%.1f ms, sent %llu received %llu\n",
                    s.roundTripMs, s.peerLossPercent, s.lossPercent, s.jitterMs, s.jitterBufferMs,
                    s.estimatedDelayMs, static_cast<unsigned long long>(s.packetsSent),
                    static_cast<unsigned long long>(s.packetsReceived));
        EXPECT_LT(s.roundTripMs, 100.0);
        EXPECT_EQ(s.peerLossPercent, 0.0);
        EXPECT_EQ(s.lossPercent, 0.0);
        EXPECT_LT(s.jitterMs, 20.0);
        // The estimate is at least the buffers it counts, and not wildly above them.
        EXPECT_GE(s.estimatedDelayMs, s.jitterBufferMs);
        EXPECT_LT(s.estimatedDelayMs, 200.0);
    }
    // A forged report on A's stream from another address claims heavy loss and a huge delay.
    voicelink::RtcpReport forged;
    forged.ssrc = 0x5151;
    voicelink::RtcpReportBlock block;
    block.fractionLost = 255;
    block.lastSenderReport = 1;
    forged.blocks.push_back(block);
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    forged.blocks[0].ssrc = a->StreamSource();
    for (int i = 0; i < 20; ++i)
        stranger.writeDatagram(voicelink::RtcpPacket::Build(forged, "x"),
                               QHostAddress(QStringLiteral("127.0.0.1")), kPortA + 1);
    pause(300);
    EXPECT_EQ(a->Stats().peerLossPercent, 0.0);
    EXPECT_LT(a->Stats().roundTripMs, 100.0);
}

TEST_F(VoiceLoopback, NothingFlowsAfterStop)
{
    ASSERT_TRUE(
        WaitUntil([&] { return b->PacketsReceived() > 10 && a->PacketsReceived() > 10; }, 3000));
    a->Stop();
    EXPECT_FALSE(a->Running());
    pause(300);
    const quint64 atA = a->PacketsReceived(), atB = b->PacketsReceived();
    const quint64 sentA = a->PacketsSent();
    pause(500);
    EXPECT_EQ(a->PacketsReceived(), atA) << "a stopped link receives nothing";
    EXPECT_EQ(b->PacketsReceived(), atB) << "a stopped link sends nothing";
    EXPECT_EQ(a->PacketsSent(), sentA);

    // Playing stops too: once B is stopped nothing more reaches its output.
    ASSERT_TRUE(a->Start(loopback(kPortA, kPortB), kPlain));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const Heard h = listen(*heardAtB, 1000, 1500, 0);
            return h.ok && h.target > kToneFloor;
        },
        4000));
    b->Stop();
    const size_t played = heardAtB->size();
    pause(300);
    EXPECT_EQ(heardAtB->size(), played);
}

TEST_F(VoiceLoopback, TransmitLevelActsAtOnce)
{
    const Heard before = listen(*heardAtB, 1000, 1500, 200);
    expectTone(before, "before muting");

    a->SetMicLevel(0);
    const Heard muted = listen(*heardAtB, 1000, 1500, 150);
    ASSERT_TRUE(muted.ok) << "muting must not stop the stream";
    EXPECT_LT(muted.level, before.level / 100) << "rms " << muted.level << " vs " << before.level;
    EXPECT_LT(muted.target, 50.0);

    a->SetMicLevel(100);
    expectTone(listen(*heardAtB, 1000, 1500, 150), "after unmuting");

    // The speaker level scales what is played on this side.
    b->SetSpeakerLevel(25);
    const Heard quarter = listen(*heardAtB, 1000, 1500, 150);
    EXPECT_NEAR(quarter.target / before.target, 0.25, 0.05);
    std::printf("[ measure ] rms at B: %.0f, muted %.1f; 25%% level ratio %.3f\n", before.level,
                muted.level, quarter.target / before.target);
}

TEST_F(VoiceLoopback, JunkAndForeignPacketsAreIgnored)
{
    std::mt19937 rng(20261207);
    ASSERT_TRUE(listen(*heardAtB, 1000, 1500, 200).ok);

    // With A quiet, only well-formed packets from A's address may count as received.
    a->Stop();
    pause(200);
    const quint64 quiet = b->PacketsReceived();
    EXPECT_GT(sendJunk(QStringLiteral("127.0.0.1"), kPortB, rng, false), 0);
    EXPECT_GT(sendJunk(QStringLiteral("127.0.0.2"), kPortB, rng, true), 0);
    pause(200);
    EXPECT_EQ(b->PacketsReceived(), quiet) << "junk or a foreign sender got through";

    // The filter does let the peer's own well-formed packets through, once A's stream is over.
    pause(400);
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    for (quint16 i = 0; i < 5; ++i)
        peer.writeDatagram(rtpPacket(96, i, 42, QByteArray(1, char(0xf8))),
                           QHostAddress(QStringLiteral("127.0.0.1")), kPortB);
    EXPECT_TRUE(WaitUntil([&] { return b->PacketsReceived() >= quiet + 5; }, 1000));

    // A call in progress survives a burst of everything, including undecodable Opus.
    ASSERT_TRUE(a->Start(loopback(kPortA, kPortB), kPlain));
    // A's new stream is taken up only once the test stream above has been quiet for a while.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const Heard h = listen(*heardAtB, 1000, 1500, 0);
            return h.ok && h.target > kToneFloor;
        },
        4000));
    EXPECT_GT(sendJunk(QStringLiteral("127.0.0.1"), kPortB, rng, true), 0);
    EXPECT_GT(sendJunk(QStringLiteral("127.0.0.2"), kPortB, rng, true), 0);
    expectTone(listen(*heardAtB, 1000, 1500, 300), "B after junk");
    expectTone(listen(*heardAtA, 1500, 1000, 0), "A after junk");
}

// An encrypted call's voice: each side hears the other only through the keys, the reports go
// too, a side without the keys hears no tone, and plain packets from the peer's address count
// as failures, never as voice.
TEST(VoiceLinkSecure, TheVoiceIsHeardOnlyThroughItsKeys)
{
    auto keys = [](char out, char in) {
        auto k = std::make_shared<TVoiceKeys>();
        std::fill(std::begin(k->out), std::end(k->out), out);
        std::fill(std::begin(k->in), std::end(k->in), in);
        return k;
    };
    auto heardAtA = std::make_shared<TPlayedSound>();
    auto heardAtB = std::make_shared<TPlayedSound>();
    auto a = makeLink(1000, heardAtA);
    auto b = makeLink(1500, heardAtB);
    const std::shared_ptr<const TVoiceKeys> keysA = keys('a', 'b');
    ASSERT_TRUE(a->Start({"127.0.0.1", kPortB, kPortA, keysA}, kPlain));
    ASSERT_TRUE(b->Start({"127.0.0.1", kPortA, kPortB, keys('b', 'a')}, kPlain));
    expectTone(listen(*heardAtB, 1000, 1500, 200), "B hearing A");
    expectTone(listen(*heardAtA, 1500, 1000, 0), "A hearing B");
    ASSERT_TRUE(WaitUntil([&] { return b->Stats().peerReports; }, 5000)) << "no SRTCP report";
    EXPECT_TRUE(b->Stats().encrypted);
    EXPECT_EQ(b->Stats().authFailures, 0u);

    // B without the keys gets A's packets and plays no tone of them.
    ASSERT_TRUE(b->Start(loopback(kPortB, kPortA), kPlain));
    const Heard garbled = listen(*heardAtB, 1000, 1500, 300);
    EXPECT_LT(garbled.target, kToneFloor) << "the voice went plain";

    // Plain packets from the peer's address during an encrypted call are failures, not voice.
    ASSERT_TRUE(b->Start({"127.0.0.1", kPortA, kPortB, keys('b', 'a')}, kPlain));
    a->Stop();
    // Until what A sent last has come in.
    quint64 quiet = b->PacketsReceived();
    for (int i = 0; i < 10; ++i) {
        pause(200);
        const quint64 now = b->PacketsReceived();
        if (now == quiet)
            break;
        quiet = now;
    }
    QUdpSocket forger;
    ASSERT_TRUE(forger.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    for (quint16 i = 0; i < 5; ++i)
        forger.writeDatagram(rtpPacket(96, i, 42, QByteArray(20, char(0xf8))),
                             QHostAddress(QStringLiteral("127.0.0.1")), kPortB);
    EXPECT_TRUE(WaitUntil([&] { return b->Stats().authFailures >= 5; }, 2000));
    EXPECT_EQ(b->PacketsReceived(), quiet);
}

TEST(VoiceLinkLifecycle, BadEndpointsFailAndAStartedLinkCanBeStartedAgain)
{
    auto played = std::make_shared<TPlayedSound>();
    auto t = makeLink(1000, played);
    t->Stop(); // nothing running: nothing happens
    EXPECT_FALSE(t->Running());
    for (const TVoiceEndpoint& bad :
         {TVoiceEndpoint{QStringLiteral("127.0.0.1"), 18504, 0},
          TVoiceEndpoint{QStringLiteral("127.0.0.1"), 18504, 70000},
          TVoiceEndpoint{QStringLiteral("127.0.0.1"), 0, 18504},
          TVoiceEndpoint{QStringLiteral("  "), 18504, 18504},
          TVoiceEndpoint{QStringLiteral("no-such-host.invalid"), 18504, 18504}}) {
        EXPECT_FALSE(t->Start(bad, kPlain)) << bad.host.toStdString() << " " << bad.localPort;
        EXPECT_FALSE(t->Running());
    }
    EXPECT_EQ(t->PacketsSent(), 0u);

    // A name is resolved; talking to oneself through it works.
    ASSERT_TRUE(t->Start({QStringLiteral("localhost"), 18504, 18504}, kPlain));
    expectTone(listen(*played, 1000, 1500, 200), "own voice");

    // The port is taken: a second link cannot receive on it, but it still sends.
    auto other = makeLink(1500, std::make_shared<TPlayedSound>());
    EXPECT_TRUE(other->Start(loopback(18504, 18530), kPlain));
    EXPECT_TRUE(other->Sending() && !other->Receiving());

    t->Stop();
    const quint64 sent = t->PacketsSent();
    pause(100);
    EXPECT_EQ(t->PacketsSent(), sent);
    other->Stop();
    ASSERT_TRUE(other->Start(loopback(18504, 18530), kPlain));
    pause(100);
    EXPECT_TRUE(t->Start(loopback(18506, 18506), kPlain)) << "the port is free again";

    // Started again while running, then destroyed while running.
    EXPECT_TRUE(t->Start(loopback(18506, 18506), kPlain));
    t.reset();
}

TEST(VoiceLinkLifecycle, BadElementDescriptionsFailCleanly)
{
    TGstVoiceLink::Options o;
    o.sourceDescription = QStringLiteral("no-such-element-here");
    o.sinkDescription = QStringLiteral("audiotestsrc ! ! !");
    TGstVoiceLink t(o);
    EXPECT_FALSE(t.Start(loopback(18508, 18508), kPlain));
    EXPECT_FALSE(t.Running());
    t.Stop();
    EXPECT_EQ(t.PacketsSent(), 0u);
}

// A sound device that cannot be opened is reported once, on the UI thread, with the device
// and the reason; the other direction is not held up by it.
TEST(VoiceLinkLifecycle, DevicesThatCannotBeOpenedAreReportedOnce)
{
    struct Report
    {
        TVoiceDevice device;
        QString detail;
        bool onUiThread;
    };
    for (const TVoiceDevice failing : {TVoiceDevice::Microphone, TVoiceDevice::Speaker}) {
        const bool mic = failing == TVoiceDevice::Microphone;
        const QString absent = QStringLiteral("server=unix:/nonexistent/parlavue/native");
        TGstVoiceLink::Options o;
        o.sourceDescription =
            mic ? "pulsesrc " + absent : QStringLiteral("audiotestsrc is-live=true");
        o.sinkDescription = mic ? QStringLiteral("fakesink sync=true") : "pulsesink " + absent;
        TGstVoiceLink t(o);
        std::vector<Report> reports;
        t.SetDeviceNoticeHandler([&](const TVoiceDeviceNotice& n) {
            EXPECT_FALSE(n.fellBack) << "no device was chosen, there is nothing to fall back to";
            reports.push_back({n.device, n.detail,
                               QThread::currentThread() == QCoreApplication::instance()->thread()});
        });
        EXPECT_TRUE(t.Start(loopback(18510, 18510), kPlain)) << "the other direction starts";
        ASSERT_TRUE(WaitUntil([&] { return !reports.empty(); }, 5000));
        pause(300);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].device, failing);
        EXPECT_FALSE(reports[0].detail.isEmpty());
        EXPECT_TRUE(reports[0].onUiThread);
        // Stopped and started again, the direction may report again: it is a new attempt.
        t.Stop();
        t.Start(loopback(18510, 18510), kPlain);
        ASSERT_TRUE(WaitUntil([&] { return reports.size() == 2; }, 5000));
        // A handler taken away hears nothing more.
        t.SetDeviceNoticeHandler({});
        t.Stop();
        t.Start(loopback(18510, 18510), kPlain);
        pause(500);
        EXPECT_EQ(reports.size(), 2u);
    }
}

} // namespace

// What the microphone path applies is what each start asks for, and echo cancellation needs
// the speaker's probe: without a running receive side there is none.
TEST(VoiceLinkLifecycle, ProcessingFollowsEachStartAndNeedsTheSpeaker)
{
    TGstVoiceLink::Options o;
    o.sourceDescription = QStringLiteral("audiotestsrc is-live=true samplesperbuffer=480");
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    TGstVoiceLink t(std::move(o));
    auto active = [&t] {
        const TVoiceProcessing p = t.ActiveProcessing();
        return std::pair{p.echoCancellation, p.noiseSuppression};
    };
    EXPECT_EQ(active(), std::pair(false, false)); // nothing runs yet

    // The receive port is held elsewhere: the microphone runs without a speaker.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, kPortA));
    ASSERT_TRUE(t.Start(loopback(kPortA, kPortB), TVoiceProcessing{true, true}));
    EXPECT_EQ(active(), std::pair(false, true)) << "no speaker, nothing to cancel";
    holder.close();
    t.Stop();

    const std::pair<bool, bool> cases[] = {
        {true, true}, {true, false}, {false, true}, {false, false}};
    for (const auto& [echo, noise] : cases) {
        ASSERT_TRUE(t.Start(loopback(kPortA, kPortB), TVoiceProcessing{echo, noise}));
        EXPECT_EQ(active(), std::pair(echo, noise));
        const quint64 before = t.PacketsSent();
        EXPECT_TRUE(WaitUntil([&] { return t.PacketsSent() > before + 5; }, 3000))
            << "voice flows with echo " << echo << " noise " << noise;
    }
    t.Stop();
    EXPECT_EQ(active(), std::pair(false, false));
}
