// libFuzzer target for the voice receive filter. An input is a run of datagrams reaching the
// voice port, each from the call's peer or from another host and some time after the one
// before. Whatever arrives, exactly the peer's well-formed packets of the stream being followed
// (or of a new one after the hold time) get through, and what goes downstream looks like one
// unbroken stream; anything else aborts.
//
// Input layout:
//   byte 0    bit 0: the peer is IPv6; bits 1-2: how the other host differs (0, 3: one bit of
//             an address byte; 1: the other family; 2: another family number); bits 3-6: which
//             address byte
//   records   a byte: bit 7 from the other host, bit 6 raw bytes follow, bits 0-5 time since
//             the previous datagram in 20 ms steps; then
//             raw:  a length byte and that many bytes (fewer at the end of the input)
//             made: 4 bytes: flags (bits 0-1 stream, 2 wrong payload type, 3 marker, 4 a CSRC,
//                   5 an extension, 6 padding), sequence number (2), payload length (0-63)

#include "platform/voice/gst/RtpPeerFilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

using voicelink::HostAddress;
using voicelink::RtpPeerFilter;
using voicelink::RtpStreamFollower;
using voicelink::RtpStreamPosition;

namespace {

constexpr int kPayloadType = 96;
constexpr int kClockRate = 48000;
constexpr size_t kMaxPackets = 512;
constexpr qint64 kStepUs = 20000;
constexpr std::array<quint32, 4> kSsrcs{0x11111111u, 0x22222222u, 0xdeadbeefu, 0u};
constexpr std::array<quint32, 4> kTimestampBases{0u, 0x7ffffc00u, 0xfffff000u, 12345u};

void check(bool ok)
{
    if (!ok)
        std::abort();
}

class Input
{
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    quint8 byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::vector<quint8> bytes(size_t n)
    {
        n = std::min(n, size_ - std::min(at_, size_));
        std::vector<quint8> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Sender
{
    int family;
    std::array<quint8, 16> bytes;
};

HostAddress peerFor(bool v6)
{
    HostAddress peer;
    peer.family = v6 ? AF_INET6 : AF_INET;
    if (v6)
        peer.bytes = {0xfd, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20};
    else
        peer.bytes = {192, 168, 1, 20};
    return peer;
}

// Another host that is easily mistaken for the peer.
Sender strangerFor(const HostAddress& peer, quint8 setup)
{
    Sender s{peer.family, peer.bytes};
    const size_t length = peer.family == AF_INET ? 4 : 16;
    switch ((setup >> 1) & 3) {
    case 0: // one address bit off, at either end of a byte
    case 3:
        s.bytes[((setup >> 3) & 15) % length] ^= ((setup >> 1) & 3) == 0 ? 0x01 : 0x80;
        break;
    case 1: // the peer's leading bytes under the other family
        s.family = peer.family == AF_INET ? AF_INET6 : AF_INET;
        if (s.family == AF_INET)
            std::fill(s.bytes.begin() + 4, s.bytes.end(), 0);
        break;
    case 2:
        s.family = AF_UNIX;
        break;
    }
    return s;
}

std::vector<quint8> madePacket(Input& in)
{
    const quint8 flags = in.byte();
    const auto seq = quint16((in.byte() << 8) | in.byte());
    const size_t payload = in.byte() & 63;
    const int stream = flags & 3;
    const quint32 ts = kTimestampBases[stream] + quint32(seq) * 960u;
    const quint32 ssrc = kSsrcs[stream];

    std::vector<quint8> p{quint8(0x80 | ((flags & 0x10) ? 1 : 0) | ((flags & 0x20) ? 0x10 : 0) |
                                 ((flags & 0x40) ? 0x20 : 0)),
                          quint8(((flags & 0x08) ? 0x80 : 0) | (kPayloadType + ((flags >> 2) & 1))),
                          quint8(seq >> 8), quint8(seq)};
    for (quint32 word : {ts, ssrc})
        for (int shift = 24; shift >= 0; shift -= 8)
            p.push_back(quint8(word >> shift));
    if (flags & 0x10)
        p.insert(p.end(), {0xca, 0xfe, 0xba, 0xbe});
    if (flags & 0x20)
        p.insert(p.end(), {0xbe, 0xde, 0, 1, 1, 2, 3, 4});
    p.insert(p.end(), payload, 0xf8);
    if (flags & 0x40)
        p.insert(p.end(), {0, 2});
    return p;
}

// Written apart from plausibleRtp on purpose: a fixed header of version 2 and our payload
// type, CSRCs and an extension within the datagram, and a payload besides any padding.
bool wellFormed(const std::vector<quint8>& p)
{
    if (p.size() < 12 || p[0] >> 6 != 2 || (p[1] & 0x7f) != kPayloadType)
        return false;
    size_t used = 12 + 4 * size_t(p[0] & 0x0f);
    if ((p[0] & 0x10) && used + 4 <= p.size())
        used += 4 + 4 * size_t((p[used + 2] << 8) | p[used + 3]);
    else if (p[0] & 0x10)
        return false;
    const size_t padding = (p[0] & 0x20) ? p.back() : 0;
    return used < p.size() && p.size() - used > padding;
}

quint32 wordAt(const std::vector<quint8>& p, size_t at)
{
    return (quint32(p[at]) << 24) | (quint32(p[at + 1]) << 16) | (quint32(p[at + 2]) << 8) |
           p[at + 3];
}

// What downstream must have seen so far.
struct Presented
{
    std::optional<quint32> ssrc;     // the one SSRC downstream ever sees
    std::optional<quint32> followed; // the sender's SSRC being passed on
    qint64 lastAdmittedUs = 0;
    quint16 seqShift = 0; // presented minus own, constant within one followed stream
    quint32 timestampShift = 0;
    quint16 newestSeq = 0;
    quint32 newestTimestamp = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    const quint8 setup = in.byte();
    const HostAddress peer = peerFor(setup & 1);
    const Sender fromPeer{peer.family, peer.bytes};
    const Sender stranger = strangerFor(peer, setup);
    check(!peer.sameHost(stranger.family, stranger.bytes));

    RtpPeerFilter filter(kPayloadType, kClockRate);
    filter.setPeer(peer);
    Presented seen;
    qint64 nowUs = 1'000'000'000'000;

    for (size_t n = 0; n < kMaxPackets && !in.empty(); ++n) {
        const quint8 head = in.byte();
        const bool foreign = head & 0x80;
        nowUs += (head & 0x3f) * kStepUs;
        // An exact-size heap copy, so a read past the datagram is caught.
        const std::vector<quint8> packet = (head & 0x40) ? in.bytes(in.byte()) : madePacket(in);
        const Sender& sender = foreign ? stranger : fromPeer;

        const std::optional<RtpPeerFilter::Admission> out =
            filter.admit(sender.family, sender.bytes, packet.data(), packet.size(), nowUs);

        const bool voice = !foreign && wellFormed(packet);
        const bool takesOver = voice && seen.followed && *seen.followed != wordAt(packet, 8) &&
                               nowUs - seen.lastAdmittedUs >= RtpStreamFollower::kHoldUs;
        const bool sameStream = voice && (!seen.followed || *seen.followed == wordAt(packet, 8));
        check(out.has_value() == (sameStream || takesOver));
        if (!out)
            continue;

        const RtpStreamPosition own{quint16((packet[2] << 8) | packet[3]), wordAt(packet, 4),
                                    wordAt(packet, 8)};
        const RtpStreamPosition& shown = out->position;
        check(out->rewrite == (shown != own));
        if (!seen.ssrc) {
            check(!out->rewrite); // the first stream goes through as it is
            seen.ssrc = own.ssrc;
        }
        check(shown.ssrc == *seen.ssrc);

        if (takesOver) {
            // The new stream continues the newest packet presented, as far on as time went.
            const auto elapsed = quint32((nowUs - seen.lastAdmittedUs) * kClockRate / 1000000);
            check(shown.seq == quint16(seen.newestSeq + 1));
            check(shown.timestamp == seen.newestTimestamp + elapsed);
        }
        const bool newStream = !seen.followed || takesOver;
        if (newStream) {
            seen.seqShift = quint16(shown.seq - own.seq);
            seen.timestampShift = shown.timestamp - own.timestamp;
        } else {
            check(quint16(shown.seq - own.seq) == seen.seqShift);
            check(shown.timestamp - own.timestamp == seen.timestampShift);
        }
        if (newStream || qint16(shown.seq - seen.newestSeq) > 0) {
            seen.newestSeq = shown.seq;
            seen.newestTimestamp = shown.timestamp;
        }
        seen.followed = own.ssrc;
        seen.lastAdmittedUs = nowUs;
    }
    return 0;
}
