#include "platform/voice/gst/RtcpSession.h"

#include "platform/voice/gst/SrtpContext.h"

#include "platform/voice/gst/SrtpContext.h"

#include "platform/logging/Logging.h"

#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

#include <memory>

#include <array>

namespace voicelink {

namespace {

quint64 WallClockNtp()
{
    using namespace std::chrono;
    const auto since = duration_cast<microseconds>(system_clock::now().time_since_epoch());
    constexpr quint64 UnixToNtpSeconds = 2208988800ull;
    const quint64 seconds = quint64(since.count() / 1000000) + UnixToNtpSeconds;
    const quint64 fraction = (quint64(since.count() % 1000000) << 32) / 1000000;
    return seconds << 32 | fraction;
}

quint32 Middle(quint64 ntp)
{
    return quint32(ntp >> 16);
}

} // namespace

RtcpSession::RtcpSession(quint32 ssrc, RtpReceiveStats& received,
                         std::function<SenderCounts()> sender, QObject* parent)
    : QObject(parent), ntpNow(WallClockNtp), ssrc_(ssrc), received_(received),
      sender_(std::move(sender))
{}

RtcpSession::~RtcpSession() = default;

bool RtcpSession::Start(quint16 localPort, const QHostAddress& peer, quint16 peerPort)
{
    Stop();
    if (localPort == 0 || peerPort == 0 || peer.isNull())
        return false;
    auto socket = std::make_unique<QUdpSocket>();
    if (!socket->bind(QHostAddress::Any, localPort)) {
        qCWarning(lcVoice).noquote() << QStringLiteral("no call statistics: RTCP port %1: %2")
                                            .arg(localPort)
                                            .arg(socket->errorString());
        return false;
    }
    socket_ = socket.release();
    socket_->setParent(this);
    connect(socket_, &QUdpSocket::readyRead, this, &RtcpSession::Read);
    timer_ = new QTimer(this);
    timer_->setInterval(IntervalMs);
    connect(timer_, &QTimer::timeout, this, &RtcpSession::SendReport);
    timer_->start();
    peer_ = peer;
    peerPort_ = peerPort;
    figures_ = {};
    lastSenderReport_ = 0;
    lastSenderReportArrival_ = 0;
    qCDebug(lcVoice) << "RTCP on port" << localPort << "to" << peer.toString() << peerPort;
    return true;
}

void RtcpSession::Stop()
{
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
        timer_ = nullptr;
    }
    if (socket_) {
        socket_->close();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

bool RtcpSession::Running() const
{
    return socket_ != nullptr;
}

void RtcpSession::SendReport()
{
    if (!socket_)
        return;
    const SenderCounts sent = sender_ ? sender_() : SenderCounts{};
    const quint64 now = ntpNow();
    RtcpReport report;
    report.ssrc = ssrc_;
    report.hasSenderInfo = sent.sending;
    report.ntpTime = now;
    report.rtpTime = sent.rtpTime;
    report.packetCount = sent.packets;
    report.octetCount = sent.octets;
    if (std::optional<RtcpReportBlock> block = received_.NextBlock()) {
        if (lastSenderReport_ != 0) {
            block->lastSenderReport = lastSenderReport_;
            block->delaySinceLastSenderReport = Middle(now - lastSenderReportArrival_);
        }
        report.blocks.push_back(*block);
    }
    static const QByteArray cname =
        QStringLiteral("parlavue@%1").arg(QHostInfo::localHostName()).toUtf8();
    QByteArray packet = RtcpPacket::Build(report, cname);
    if (protect_) {
        const qsizetype plain = packet.size();
        packet.resize(plain + SrtpContext::MaxTrailer);
        const int sealed =
            protect_->ProtectRtcp(reinterpret_cast<unsigned char*>(packet.data()), int(plain));
        if (sealed < 0)
            return;
        packet.resize(sealed);
    }
    socket_->writeDatagram(packet, peer_, peerPort_);
}

void RtcpSession::SetSecurity(std::shared_ptr<SrtpContext> out, std::shared_ptr<SrtpContext> in)
{
    protect_ = std::move(out);
    unprotect_ = std::move(in);
}

void RtcpSession::Read()
{
    std::array<char, MaxDatagram> buffer{};
    for (int i = 0; socket_ && i < MaxReadsPerWake && socket_->hasPendingDatagrams(); ++i) {
        QHostAddress from;
        qint64 size = socket_->readDatagram(buffer.data(), qint64(buffer.size()), &from);
        if (size <= 0)
            continue;
        // One peer per call: reports from anywhere else change nothing.
        if (!from.isEqual(peer_, QHostAddress::TolerantConversion))
            continue;
        if (unprotect_) {
            size = unprotect_->UnprotectRtcp(reinterpret_cast<unsigned char*>(buffer.data()),
                                             int(size));
            if (size < 0)
                continue;
        }
        if (const std::optional<RtcpReport> report =
                RtcpPacket::Parse(reinterpret_cast<const quint8*>(buffer.data()), size_t(size)))
            Handle(*report);
    }
}

void RtcpSession::Handle(const RtcpReport& report)
{
    if (report.ssrc == ssrc_)
        return; // our own, come back
    const quint64 now = ntpNow();
    if (report.hasSenderInfo) {
        lastSenderReport_ = Middle(report.ntpTime);
        lastSenderReportArrival_ = now;
    }
    for (const RtcpReportBlock& block : report.blocks) {
        if (block.ssrc != ssrc_)
            continue;
        figures_.peerReports = true;
        figures_.peerLossPercent = block.fractionLost * 100.0 / 256.0;
        if (block.lastSenderReport == 0)
            continue;
        // RFC 3550 6.4.1: arrival - LSR - DLSR, all in 1/65536 s of our own clock.
        const quint32 rtt = Middle(now) - block.lastSenderReport - block.delaySinceLastSenderReport;
        // A report on an SR from long ago, or a peer's wrong delay, gives nonsense: kept out.
        if (rtt < 10u * 65536u)
            figures_.roundTripMs = rtt * 1000.0 / 65536.0;
    }
}

} // namespace voicelink
