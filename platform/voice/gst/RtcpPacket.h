#pragma once

// RTCP sender and receiver reports (RFC 3550 section 6.4), as both copies exchange them on the
// port above the voice port. Only what the call statistics use is read; other packets of a
// compound datagram are stepped over.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <optional>
#include <vector>

namespace voicelink {

struct RtcpReportBlock
{
    quint32 ssrc = 0;        // the source this block reports on
    quint8 fractionLost = 0; // since the previous report, in 1/256
    qint32 cumulativeLost = 0;
    quint32 highestSequence = 0;            // extended
    quint32 jitter = 0;                     // in RTP timestamp units
    quint32 lastSenderReport = 0;           // middle 32 bits of the NTP time of the last SR heard
    quint32 delaySinceLastSenderReport = 0; // in 1/65536 s
};

struct RtcpReport
{
    quint32 ssrc = 0;
    bool hasSenderInfo = false; // SR rather than RR
    quint64 ntpTime = 0;        // 32.32 fixed point
    quint32 rtpTime = 0;
    quint32 packetCount = 0;
    quint32 octetCount = 0;
    std::vector<RtcpReportBlock> blocks; // at most MaxBlocks
};

class RtcpPacket
{
public:
    static constexpr int MaxBlocks = 31;
    static constexpr int SenderReport = 200;
    static constexpr int ReceiverReport = 201;
    static constexpr int SourceDescription = 202;

    // A compound datagram: the report (SR when it has sender info, else RR; blocks beyond
    // MaxBlocks are left out), then a source description with the canonical name.
    static QByteArray Build(const RtcpReport& report, const QByteArray& cname);
    // The first SR or RR of a compound datagram; nothing when the datagram is not well-formed
    // RTCP or holds no report.
    static std::optional<RtcpReport> Parse(const quint8* data, size_t size);
};

} // namespace voicelink
