#include "platform/voice/gst/RtpPeerFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

using voicelink::HostAddress;
using voicelink::RtpPeerFilter;
using voicelink::RtpStreamFollower;
using voicelink::RtpStreamPosition;

namespace {

constexpr int kPayloadType = 96;
constexpr qint64 kPacketUs = 20000;

struct Host
{
    int family;
    std::array<quint8, 16> bytes;

    operator HostAddress() const { return {family, bytes}; }
};

const Host kPeer4{AF_INET, {10, 0, 0, 7}};
const Host kPeer6{AF_INET6, {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}};

// An Opus RTP packet with a one-byte payload.
std::vector<quint8> packet(quint16 seq, quint32 ts, quint32 ssrc)
{
    std::vector<quint8> p{0x80, kPayloadType, quint8(seq >> 8), quint8(seq)};
    for (quint32 word : {ts, ssrc})
        for (int shift = 24; shift >= 0; shift -= 8)
            p.push_back(quint8(word >> shift));
    p.push_back(0xf8);
    return p;
}

std::optional<RtpPeerFilter::Admission> offer(RtpPeerFilter& f, const Host& from,
                                              const std::vector<quint8>& p, qint64 nowUs)
{
    return f.admit(from.family, from.bytes, p.data(), p.size(), nowUs);
}

} // namespace

TEST(RtpPeerFilter, AnotherHostIsDroppedEvenWithThePeersOwnStream)
{
    RtpPeerFilter f(kPayloadType, 48000);
    EXPECT_FALSE(offer(f, kPeer4, packet(1, 960, 5), 0)) << "no peer yet";

    f.setPeer(kPeer4);
    Host neighbour = kPeer4;
    neighbour.bytes[3] = 8;
    qint64 now = 1'000'000;
    ASSERT_TRUE(offer(f, kPeer4, packet(1, 960, 5), now));
    EXPECT_FALSE(offer(f, neighbour, packet(2, 1920, 5), now += kPacketUs));
    ASSERT_TRUE(offer(f, kPeer4, packet(2, 1920, 5), now));

    // A neighbour's stream must not take the follower over once the peer falls quiet.
    now += 2 * RtpStreamFollower::kHoldUs;
    EXPECT_FALSE(offer(f, neighbour, packet(900, 4242, 77), now));
    const auto resumed = offer(f, kPeer4, packet(3, 2880, 5), now += kPacketUs);
    ASSERT_TRUE(resumed);
    EXPECT_FALSE(resumed->rewrite);
    EXPECT_EQ(resumed->position, (RtpStreamPosition{3, 2880, 5}));

    // After the peer changes, the old one is a stranger.
    f.setPeer(neighbour);
    EXPECT_FALSE(offer(f, kPeer4, packet(4, 3840, 5), now += kPacketUs));
    EXPECT_TRUE(offer(f, neighbour, packet(5, 4800, 5), now += kPacketUs));
}

TEST(RtpPeerFilter, AddressFamiliesNeverMatch)
{
    // The IPv4 peer's bytes as an IPv6 sender, and the IPv6 peer's leading bytes as IPv4.
    const Host v6LikePeer4{AF_INET6, kPeer4.bytes};
    Host v4LikePeer6{AF_INET, {}};
    std::copy_n(kPeer6.bytes.begin(), 4, v4LikePeer6.bytes.begin());

    RtpPeerFilter to4(kPayloadType, 48000);
    to4.setPeer(kPeer4);
    EXPECT_FALSE(offer(to4, v6LikePeer4, packet(1, 960, 5), 0));
    EXPECT_TRUE(offer(to4, kPeer4, packet(1, 960, 5), 0));

    RtpPeerFilter to6(kPayloadType, 48000);
    to6.setPeer(kPeer6);
    EXPECT_FALSE(offer(to6, v4LikePeer6, packet(1, 960, 5), 0));
    Host otherV6 = kPeer6;
    otherV6.bytes[15] = 8; // differs only past the first four bytes
    EXPECT_FALSE(offer(to6, otherV6, packet(1, 960, 5), 0));
    EXPECT_TRUE(offer(to6, kPeer6, packet(1, 960, 5), 0));
}

TEST(RtpPeerFilter, MalformedPacketsAreDroppedAndLeaveTheStreamAlone)
{
    const std::vector<quint8> good = packet(10, 9600, 5);
    auto with = [&](auto change) {
        std::vector<quint8> p = good;
        change(p);
        return p;
    };
    std::vector<std::pair<const char*, std::vector<quint8>>> bad{
        {"empty", {}},
        {"short header", std::vector<quint8>(good.begin(), good.begin() + 11)},
        {"header only", std::vector<quint8>(good.begin(), good.begin() + 12)},
        {"version 1", with([](auto& p) { p[0] = 0x40; })},
        {"other payload type", with([](auto& p) { p[1] = kPayloadType + 1; })},
        {"CSRCs past the end", with([](auto& p) { p[0] |= 0x01; })},
        {"extension header cut", with([](auto& p) { p[0] |= 0x10; })},
        {"extension past the end", with([](auto& p) {
             p[0] |= 0x10;
             p.insert(p.begin() + 12, {0xbe, 0xde, 0, 2, 1, 2, 3, 4});
         })},
        {"padding eats the payload", with([](auto& p) {
             p[0] |= 0x20;
             p.back() = 1;
         })},
    };

    RtpPeerFilter f(kPayloadType, 48000);
    f.setPeer(kPeer4);
    qint64 now = 1'000'000;
    ASSERT_TRUE(offer(f, kPeer4, good, now));
    // All of them carry another SSRC long after the last packet: were any taken for voice, the
    // follower would move to it and drop the good stream below.
    now += 2 * RtpStreamFollower::kHoldUs;
    for (auto& [what, p] : bad) {
        if (p.size() >= 12)
            p[11] ^= 0x40;
        EXPECT_FALSE(offer(f, kPeer4, p, now)) << what;
    }
    EXPECT_TRUE(offer(f, kPeer4, packet(11, 10560, 5), now));

    // The same header parts within the datagram are fine.
    const auto extended = with([](auto& p) {
        p[0] |= 0x31; // a CSRC, an extension, padding
        p.insert(p.begin() + 12, {0, 0, 0, 9, 0xbe, 0xde, 0, 1, 1, 2, 3, 4});
        p.insert(p.end(), {0, 2});
    });
    EXPECT_TRUE(offer(f, kPeer4, extended, now));
}

TEST(RtpPeerFilter, AskForARewriteExactlyWhenTheHeaderChanges)
{
    RtpPeerFilter f(kPayloadType, 48000);
    f.setPeer(kPeer4);
    qint64 now = 1'000'000;
    const auto first = offer(f, kPeer4, packet(100, 5000, 1), now);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->rewrite);
    EXPECT_EQ(first->position, (RtpStreamPosition{100, 5000, 1}));

    // A restarted sender is passed on as the continuation of the first stream.
    now += RtpStreamFollower::kHoldUs;
    const auto restarted = offer(f, kPeer4, packet(7, 70, 2), now);
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(restarted->rewrite);
    EXPECT_EQ(restarted->position.ssrc, 1u);
    EXPECT_EQ(restarted->position.seq, 101);

    // A new receive session takes the next stream up as it is.
    f.restart();
    const auto fresh = offer(f, kPeer4, packet(7, 70, 3), now += kPacketUs);
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->rewrite);
    EXPECT_EQ(fresh->position, (RtpStreamPosition{7, 70, 3}));
}
