#include "platform/voice/gst/RtcpPacket.h"

#include <algorithm>

namespace voicelink {

namespace {

constexpr size_t HeaderBytes = 4;
constexpr size_t SenderInfoBytes = 20;
constexpr size_t BlockBytes = 24;

void Put32(QByteArray& out, quint32 v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

quint32 Get32(const quint8* p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

void PutHeader(QByteArray& out, int count, int type, size_t bytes)
{
    out.append(char(0x80 | (count & 0x1f))).append(char(type));
    const quint16 words = quint16(bytes / 4 - 1);
    out.append(char(words >> 8)).append(char(words));
}

} // namespace

QByteArray RtcpPacket::Build(const RtcpReport& report, const QByteArray& cname)
{
    const int count = int(std::min<size_t>(report.blocks.size(), MaxBlocks));
    const size_t reportBytes =
        HeaderBytes + 4 + (report.hasSenderInfo ? SenderInfoBytes : 0) + size_t(count) * BlockBytes;
    QByteArray out;
    PutHeader(out, count, report.hasSenderInfo ? SenderReport : ReceiverReport, reportBytes);
    Put32(out, report.ssrc);
    if (report.hasSenderInfo) {
        Put32(out, quint32(report.ntpTime >> 32));
        Put32(out, quint32(report.ntpTime));
        Put32(out, report.rtpTime);
        Put32(out, report.packetCount);
        Put32(out, report.octetCount);
    }
    for (int i = 0; i < count; ++i) {
        const RtcpReportBlock& b = report.blocks[size_t(i)];
        Put32(out, b.ssrc);
        const qint32 lost = std::clamp(b.cumulativeLost, -0x800000, 0x7fffff);
        Put32(out, quint32(b.fractionLost) << 24 | (quint32(lost) & 0xffffff));
        Put32(out, b.highestSequence);
        Put32(out, b.jitter);
        Put32(out, b.lastSenderReport);
        Put32(out, b.delaySinceLastSenderReport);
    }
    // Source description: one chunk with the canonical name, ended by a zero item and padded
    // to whole words.
    const QByteArray name = cname.left(255);
    QByteArray chunk;
    Put32(chunk, report.ssrc);
    chunk.append(char(1)).append(char(name.size())).append(name).append(char(0));
    while (chunk.size() % 4 != 0)
        chunk.append(char(0));
    PutHeader(out, 1, SourceDescription, HeaderBytes + size_t(chunk.size()));
    out.append(chunk);
    return out;
}

std::optional<RtcpReport> RtcpPacket::Parse(const quint8* data, size_t size)
{
    size_t at = 0;
    while (data && at + HeaderBytes <= size) {
        const quint8* p = data + at;
        if ((p[0] >> 6) != 2)
            return std::nullopt;
        const size_t bytes = (size_t(p[2]) << 8 | p[3]) * 4 + 4;
        if (bytes > size - at)
            return std::nullopt;
        const int type = p[1];
        const int count = p[0] & 0x1f;
        if (type == SenderReport || type == ReceiverReport) {
            const bool sender = type == SenderReport;
            const size_t fixed = HeaderBytes + 4 + (sender ? SenderInfoBytes : 0);
            if (fixed + size_t(count) * BlockBytes > bytes)
                return std::nullopt;
            RtcpReport r;
            r.ssrc = Get32(p + 4);
            r.hasSenderInfo = sender;
            if (sender) {
                r.ntpTime = quint64(Get32(p + 8)) << 32 | Get32(p + 12);
                r.rtpTime = Get32(p + 16);
                r.packetCount = Get32(p + 20);
                r.octetCount = Get32(p + 24);
            }
            for (int i = 0; i < count; ++i) {
                const quint8* b = p + fixed + size_t(i) * BlockBytes;
                RtcpReportBlock block;
                block.ssrc = Get32(b);
                block.fractionLost = b[4];
                quint32 lost = Get32(b + 4) & 0xffffff;
                if (lost & 0x800000)
                    lost |= 0xff000000; // 24-bit two's complement
                block.cumulativeLost = qint32(lost);
                block.highestSequence = Get32(b + 8);
                block.jitter = Get32(b + 12);
                block.lastSenderReport = Get32(b + 16);
                block.delaySinceLastSenderReport = Get32(b + 20);
                r.blocks.push_back(block);
            }
            return r;
        }
        at += bytes;
    }
    return std::nullopt;
}

} // namespace voicelink
