#include "platform/voice/gst/RtcpPacket.h"
#include "platform/voice/gst/RtpReceiveStats.h"

#include <gtest/gtest.h>

#include <random>

using namespace voicelink;

namespace {

std::optional<RtcpReport> ParseBytes(const QByteArray& bytes)
{
    return RtcpPacket::Parse(reinterpret_cast<const quint8*>(bytes.constData()),
                             size_t(bytes.size()));
}

RtcpReportBlock Block(quint32 ssrc, qint32 lost)
{
    RtcpReportBlock b;
    b.ssrc = ssrc;
    b.fractionLost = 64;
    b.cumulativeLost = lost;
    b.highestSequence = 0x1ffff;
    b.jitter = 77;
    b.lastSenderReport = 0x12345678;
    b.delaySinceLastSenderReport = 0x10000;
    return b;
}

} // namespace

TEST(RtcpPacket, ReportsComeBackAsTheyWentOut)
{
    RtcpReport sr;
    sr.ssrc = 0xdeadbeef;
    sr.hasSenderInfo = true;
    sr.ntpTime = 0x0123456789abcdefull;
    sr.rtpTime = 4242;
    sr.packetCount = 50;
    sr.octetCount = 4000;
    sr.blocks = {Block(7, -3), Block(8, 0x7fffff)};
    const QByteArray bytes = RtcpPacket::Build(sr, "parlavue@host");
    ASSERT_EQ(bytes.size() % 4, 0);
    const std::optional<RtcpReport> back = ParseBytes(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ssrc, sr.ssrc);
    EXPECT_TRUE(back->hasSenderInfo);
    EXPECT_EQ(back->ntpTime, sr.ntpTime);
    EXPECT_EQ(back->rtpTime, 4242u);
    EXPECT_EQ(back->packetCount, 50u);
    EXPECT_EQ(back->octetCount, 4000u);
    ASSERT_EQ(back->blocks.size(), 2u);
    EXPECT_EQ(back->blocks[0].cumulativeLost, -3); // 24-bit signed
    EXPECT_EQ(back->blocks[1].cumulativeLost, 0x7fffff);
    EXPECT_EQ(back->blocks[0].fractionLost, 64);
    EXPECT_EQ(back->blocks[0].highestSequence, 0x1ffffu);
    EXPECT_EQ(back->blocks[0].lastSenderReport, 0x12345678u);
    EXPECT_EQ(back->blocks[0].delaySinceLastSenderReport, 0x10000u);

    // A receiver report, with more blocks than a packet can carry and a loss beyond 24 bits.
    RtcpReport rr;
    rr.ssrc = 5;
    for (int i = 0; i < 40; ++i)
        rr.blocks.push_back(Block(quint32(i), i == 0 ? 1 << 30 : i));
    const std::optional<RtcpReport> rrBack =
        ParseBytes(RtcpPacket::Build(rr, QByteArray(300, 'n')));
    ASSERT_TRUE(rrBack);
    EXPECT_FALSE(rrBack->hasSenderInfo);
    EXPECT_EQ(rrBack->blocks.size(), size_t(RtcpPacket::MaxBlocks));
    EXPECT_EQ(rrBack->blocks[0].cumulativeLost, 0x7fffff);
}

TEST(RtcpPacket, MalformedDatagramsGiveNothing)
{
    RtcpReport rr;
    rr.ssrc = 9;
    rr.blocks = {Block(1, 0)};
    const QByteArray good = RtcpPacket::Build(rr, "x");
    EXPECT_FALSE(RtcpPacket::Parse(nullptr, 0));
    EXPECT_FALSE(ParseBytes(QByteArray()));
    // Every truncation that cuts into the report.
    for (int n = 1; n < 32; ++n)
        EXPECT_FALSE(ParseBytes(good.left(n))) << n;
    QByteArray version = good;
    version[0] = char((version[0] & 0x3f) | 0x40);
    EXPECT_FALSE(ParseBytes(version));
    QByteArray longer = good;
    longer[3] = char(0xff); // a length past the datagram
    EXPECT_FALSE(ParseBytes(longer));
    QByteArray moreBlocks = good;
    moreBlocks[0] = char(0x80 | 2); // two blocks announced, one present
    EXPECT_FALSE(ParseBytes(moreBlocks));
    // A report after another packet is still found.
    const QByteArray sdesFirst = good.mid(32) + good.left(32);
    const std::optional<RtcpReport> found = ParseBytes(sdesFirst);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ssrc, 9u);
    // Random bytes never crash and rarely parse.
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        QByteArray junk(int(rng() % 80), '\0');
        for (char& c : junk)
            c = char(rng());
        if (const auto r = ParseBytes(junk)) {
            EXPECT_LE(r->blocks.size(), size_t(RtcpPacket::MaxBlocks));
        }
    }
}

TEST(RtpReceiveStats, CountsLossAcrossTheWrapAndPerInterval)
{
    RtpReceiveStats stats(48000);
    EXPECT_FALSE(stats.NextBlock());
    EXPECT_FALSE(stats.Now().any);
    // 200 packets from 65500 on, 20 ms apart, every tenth missing.
    quint16 seq = 65500;
    quint32 ts = 1000;
    qint64 at = 0;
    int sent = 0, missing = 0;
    for (int i = 0; i < 200; ++i, ++seq, ts += 960, at += 20000) {
        ++sent;
        if (i % 10 == 5) {
            ++missing;
            continue;
        }
        stats.Received(0xabc, seq, ts, at);
    }
    const std::optional<RtcpReportBlock> block = stats.NextBlock();
    ASSERT_TRUE(block);
    EXPECT_EQ(block->ssrc, 0xabcu);
    EXPECT_EQ(block->cumulativeLost, missing);
    EXPECT_EQ(block->highestSequence, 0x10000u + quint16(seq - 1));
    EXPECT_EQ(block->fractionLost, quint8(missing * 256 / sent));
    EXPECT_EQ(block->jitter, 0u) << "evenly spaced packets have no jitter";
    EXPECT_NEAR(stats.Now().lossPercent, 100.0 * missing / sent, 1e-9);
    // The next interval has no loss of its own, and a late duplicate changes no fraction.
    for (int i = 0; i < 20; ++i, ++seq, ts += 960, at += 20000)
        stats.Received(0xabc, seq, ts, at);
    stats.Received(0xabc, quint16(seq - 3), ts - 3 * 960, at);
    EXPECT_EQ(stats.NextBlock()->fractionLost, 0);
}

TEST(RtpReceiveStats, JitterRestartsAndStrays)
{
    RtpReceiveStats stats(48000);
    quint16 seq = 10;
    quint32 ts = 0;
    for (int i = 0; i < 100; ++i, ++seq, ts += 960)
        stats.Received(1, seq, ts, i * 20000 + (i % 2) * 4000); // every other one 4 ms late
    // |D| is 4 ms = 192 units each time; the estimate approaches it.
    EXPECT_NEAR(stats.Now().jitterMs, 4.0, 0.2);
    EXPECT_EQ(stats.Now().lost, 0);
    // One stray far ahead is not a loss of thousands, two in a row are a restart.
    stats.Received(1, quint16(seq + 20000), ts, 3000000);
    EXPECT_EQ(stats.Now().lost, 0);
    EXPECT_EQ(stats.Now().received, 100u);
    stats.Received(1, quint16(seq + 20001), ts + 960, 3020000);
    stats.Received(1, quint16(seq + 20002), ts + 1920, 3040000);
    EXPECT_EQ(stats.Now().received, 2u);
    EXPECT_EQ(stats.Now().lost, 0);
    // Another source starts afresh.
    stats.Received(2, 500, 0, 4000000);
    EXPECT_EQ(stats.Now().ssrc, 2u);
    EXPECT_EQ(stats.Now().received, 1u);
    stats.Reset();
    EXPECT_FALSE(stats.Now().any);
}
