// One direction of an encrypted call's voice: what a forger, a replaying host or the wrong key
// gets past the receiving side.
#include "platform/voice/gst/SrtpContext.h"

#include <gtest/gtest.h>

#include <vector>

using voicelink::SrtpContext;

namespace {

std::vector<unsigned char> Rtp(quint16 seq, int payload)
{
    std::vector<unsigned char> p(12 + payload + SrtpContext::MaxTrailer, 0);
    p[0] = 0x80;
    p[1] = 96;
    p[2] = uchar(seq >> 8);
    p[3] = uchar(seq);
    p[8] = 0x12;
    p[11] = 0x34;
    for (int i = 0; i < payload; ++i)
        p[12 + i] = uchar(i * 5 + 1);
    return p;
}

std::unique_ptr<SrtpContext> Make(unsigned char fill, SrtpContext::Direction d)
{
    unsigned char key[SrtpContext::KeySize];
    std::fill(std::begin(key), std::end(key), fill);
    return SrtpContext::Make(key, d);
}

} // namespace

TEST(Srtp, ForgedDamagedReplayedAndForeignPacketsAreRefusedAndCounted)
{
    auto out = Make(7, SrtpContext::Direction::Outbound);
    auto in = Make(7, SrtpContext::Direction::Inbound);
    auto stranger = Make(8, SrtpContext::Direction::Inbound);
    ASSERT_TRUE(out && in && stranger);
    std::vector<unsigned char> packet = Rtp(1, 40);
    const std::vector<unsigned char> plain(packet.begin(), packet.begin() + 52);
    const int sealed = out->Protect(packet.data(), 52);
    ASSERT_EQ(sealed, 52 + 16);
    EXPECT_FALSE(std::equal(plain.begin() + 12, plain.end(), packet.begin() + 12));
    // Every single-bit change of the protected packet is refused.
    int refused = 0;
    for (int bit = 0; bit < sealed * 8; ++bit) {
        std::vector<unsigned char> changed(packet.begin(), packet.begin() + sealed);
        changed[bit / 8] ^= uchar(1 << (bit % 8));
        refused += in->Unprotect(changed.data(), sealed) < 0;
    }
    EXPECT_EQ(refused, sealed * 8);
    std::vector<unsigned char> copy(packet.begin(), packet.begin() + sealed);
    EXPECT_LT(stranger->Unprotect(copy.data(), sealed), 0);
    copy.assign(packet.begin(), packet.begin() + sealed);
    ASSERT_EQ(in->Unprotect(copy.data(), sealed), 52);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), copy.begin()));
    copy.assign(packet.begin(), packet.begin() + sealed);
    EXPECT_LT(in->Unprotect(copy.data(), sealed), 0);
    EXPECT_EQ(in->Replays(), 1u);
    EXPECT_GE(in->AuthFailures(), quint64(sealed * 8 - 8)) << "header bits may read as replays";
    // A plain RTP packet is no voice either.
    std::vector<unsigned char> unprotected = Rtp(2, 40);
    EXPECT_LT(in->Unprotect(unprotected.data(), 52), 0);

    // Reports the same way: one that verifies, then its replay.
    std::vector<unsigned char> report(8 + SrtpContext::MaxTrailer, 0);
    report[0] = 0x80;
    report[1] = 201; // a receiver report without blocks
    report[3] = 1;
    const int sealedReport = out->ProtectRtcp(report.data(), 8);
    ASSERT_GT(sealedReport, 8);
    std::vector<unsigned char> again = report;
    EXPECT_EQ(in->UnprotectRtcp(report.data(), sealedReport), 8);
    EXPECT_LT(in->UnprotectRtcp(again.data(), sealedReport), 0);
}
