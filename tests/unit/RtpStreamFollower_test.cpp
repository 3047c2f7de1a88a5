#include "platform/voice/gst/RtpStreamFollower.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

using voicelink::RtpStreamFollower;
using voicelink::RtpStreamPosition;

namespace {

constexpr qint64 kPacketUs = 20000;
constexpr quint32 kPacketTicks = 960; // 20 ms at 48 kHz

// Feeds `count` packets of one stream, 20 ms apart, and returns what was presented.
std::vector<std::optional<RtpStreamPosition>> feed(RtpStreamFollower& f, quint32 ssrc, quint16 seq,
                                                   quint32 ts, qint64& nowUs, int count)
{
    std::vector<std::optional<RtpStreamPosition>> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(f.admit({quint16(seq + i), ts + quint32(i) * kPacketTicks, ssrc}, nowUs));
        nowUs += kPacketUs;
    }
    return out;
}

} // namespace

TEST(RtpStreamFollower, FirstStreamPassesUnchanged)
{
    RtpStreamFollower f(48000);
    qint64 now = 1000000;
    const auto out = feed(f, 7, 65534, 0xfffffc00u, now, 4); // both counters wrap
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(out[i]);
        EXPECT_EQ(out[i]->seq, quint16(65534 + i));
        EXPECT_EQ(out[i]->timestamp, 0xfffffc00u + quint32(i) * kPacketTicks);
        EXPECT_EQ(out[i]->ssrc, 7u);
    }
}

TEST(RtpStreamFollower, StrayStreamIsDroppedWhileTheCallGoesOn)
{
    RtpStreamFollower f(48000);
    qint64 now = 0;
    feed(f, 7, 100, 5000, now, 10);
    EXPECT_FALSE(f.admit({12, 34, 99}, now));
    EXPECT_FALSE(f.admit({13, 35, 99}, now + RtpStreamFollower::kHoldUs - 1 - kPacketUs));
    // The followed stream carries on undisturbed.
    const auto next = f.admit({110, 5000 + 10 * kPacketTicks, 7}, now);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->seq, 110);
}

TEST(RtpStreamFollower, RestartedPeerContinuesTheFirstStream)
{
    RtpStreamFollower f(48000);
    qint64 now = 0;
    feed(f, 7, 100, 5000, now, 10); // newest presented: seq 109 at now - 20 ms
    const qint64 lastUs = now - kPacketUs;
    const quint32 lastTs = 5000 + 9 * kPacketTicks;

    now = lastUs + RtpStreamFollower::kHoldUs; // quiet for exactly the hold time
    const auto out = feed(f, 0xdeadbeef, 40000, 123456789, now, 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(out[i]) << i;
        EXPECT_EQ(out[i]->ssrc, 7u);
        EXPECT_EQ(out[i]->seq, 110 + i);
        EXPECT_EQ(out[i]->timestamp, lastTs + 24000 + quint32(i) * kPacketTicks)
            << "timestamps advance by the 500 ms that passed";
    }
    // The old stream is now the stray one.
    EXPECT_FALSE(f.admit({110, 0, 7}, now));
}

TEST(RtpStreamFollower, ReorderedPacketDoesNotPullTheContinuationBack)
{
    RtpStreamFollower f(48000);
    qint64 now = 0;
    ASSERT_TRUE(f.admit({10, 0, 1}, now));
    ASSERT_TRUE(f.admit({12, 2 * kPacketTicks, 1}, now += kPacketUs));
    ASSERT_TRUE(f.admit({11, kPacketTicks, 1}, now += kPacketUs)); // late, still passed on
    const auto out = f.admit({500, 0, 2}, now + RtpStreamFollower::kHoldUs);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->seq, 13);
}

TEST(RtpStreamFollower, ResetStartsAfresh)
{
    RtpStreamFollower f(48000);
    qint64 now = 0;
    feed(f, 7, 100, 5000, now, 3);
    f.reset();
    const auto out = f.admit({9, 77, 8}, now);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, (RtpStreamPosition{9, 77, 8}));
}

TEST(RtpHeader, PositionRoundTripsThroughTheHeaderBytes)
{
    std::array<quint8, 12> header{0x80, 96, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const RtpStreamPosition p{0xbeef, 0x01020304u, 0xfedcba98u};
    voicelink::writePosition(header.data(), p);
    EXPECT_EQ(header[0], 0x80) << "version byte untouched";
    EXPECT_EQ(header[1], 96) << "payload type untouched";
    EXPECT_EQ(header[2], 0xbe);
    EXPECT_EQ(header[4], 0x01);
    EXPECT_EQ(header[11], 0x98);
    EXPECT_EQ(voicelink::readPosition(header.data()), p);
}
