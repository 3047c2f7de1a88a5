#pragma once

// The RTCP side of a voice call: every second a report goes to the port above the peer's voice
// port (a sender report while we send, with a block on what we receive from the peer), and the
// peer's reports are read on the port above ours. From them come the round trip and the share
// of our packets the peer lost. Lives on the UI thread. A peer that sends no RTCP only leaves
// those figures unknown.
#include "platform/voice/gst/RtpReceiveStats.h"

#include <QHostAddress>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

class QTimer;
class QUdpSocket;

namespace voicelink {

class SrtpContext;

class RtcpSession : public QObject
{
    Q_OBJECT

public:
    struct SenderCounts
    {
        bool sending = false;
        quint32 packets = 0;
        quint32 octets = 0;
        quint32 rtpTime = 0;
    };
    struct Figures
    {
        bool peerReports = false;
        double roundTripMs = -1;
        double peerLossPercent = -1;
    };

    static constexpr int IntervalMs = 1000;
    static constexpr int MaxDatagram = 1500;
    // Datagrams read per wake-up; more wait for the next one.
    static constexpr int MaxReadsPerWake = 64;

    RtcpSession(quint32 ssrc, RtpReceiveStats& received, std::function<SenderCounts()> sender,
                QObject* parent = nullptr);
    ~RtcpSession() override;

    // Listens on localPort and reports to peer:peerPort; false when the port cannot be had
    // (the call goes on without RTCP).
    bool Start(quint16 localPort, const QHostAddress& peer, quint16 peerPort);
    void Stop();
    bool Running() const;

    Figures Now() const { return figures_; }
    // An encrypted call's: reports go as SRTCP, and only those that verify are read.
    void SetSecurity(std::shared_ptr<SrtpContext> out, std::shared_ptr<SrtpContext> in);

    // Sends one report at once (the timer does it every second).
    void SendReport();

    // NTP time of the wall clock, 32.32 fixed point; tests put their own clock here.
    std::function<quint64()> ntpNow;

private:
    void Read();
    void Handle(const RtcpReport& report);

    const quint32 ssrc_;
    RtpReceiveStats& received_;
    std::function<SenderCounts()> sender_;
    QUdpSocket* socket_ = nullptr;
    std::shared_ptr<SrtpContext> protect_;
    std::shared_ptr<SrtpContext> unprotect_;
    QTimer* timer_ = nullptr;
    QHostAddress peer_;
    quint16 peerPort_ = 0;
    Figures figures_;
    // The peer's last sender report: the middle of its NTP time, and when it came (our NTP).
    quint32 lastSenderReport_ = 0;
    quint64 lastSenderReportArrival_ = 0;
};

} // namespace voicelink
