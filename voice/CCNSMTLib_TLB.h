#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The sound devices a voice session opens.
enum class TVoiceDevice
{
    Microphone,
    Speaker
};

// How the voice of a call fares, from the terminal's own counters and the RTCP reports of the
// two sides. A figure not known yet is negative.
struct TVoiceStats
{
    quint64 packetsSent = 0;
    quint64 packetsReceived = 0;
    // From the peer's reports on what we send: whether any came, the round trip, and the share
    // of our packets the peer lost (percent, over the last report interval).
    bool peerReports = false;
    double roundTripMs = -1;
    double peerLossPercent = -1;
    // Measured here on what the peer sends: the share lost (percent, over the whole call so far)
    // and the interarrival jitter.
    double lossPercent = -1;
    double jitterMs = -1;
};

// The media terminal's interface: the operations a voice session calls, by their place in the
// terminal's method table. Results follow the HRESULT convention (0 = S_OK) and are never
// examined by the callers.
class ICCNMediaTerm
{
public:
    virtual ~ICCNMediaTerm() = default;

    virtual qint32 InitializeTerminal() = 0;                                     // 1
    virtual qint32 UninitializeTerminal() = 0;                                   // 2
    virtual qint32 ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d) = 0; // 8
    virtual qint32 ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d, qint32 e,
                                     qint32 f) = 0;                        // 9
    virtual qint32 SetRemoteAddress(const QString& host, qint32 port) = 0; // 10
    virtual qint32 SetLocalPort(qint32 port) = 0;                          // 11
    virtual qint32 StartTransmit(qint32 mode) = 0;                         // 17
    virtual qint32 StopTransmit() = 0;                                     // 18
    virtual qint32 StartReceive(qint32 mode) = 0;                          // 19
    virtual qint32 StopReceive() = 0;                                      // 20
    virtual qint32 SetReceiveVolume(qint32 channel, qint32 level) = 0;     // 21
    virtual qint32 SetTransmitVolume(qint32 channel, qint32 level) = 0;    // 22

    // The terminal's notice that it cannot open a sound device, raised on the UI thread with
    // the device and the reason; the other direction goes on. Terminals that never fail to
    // open one need not raise it.
    using DeviceErrorHandler = std::function<void(TVoiceDevice device, const QString& detail)>;
    virtual void SetDeviceErrorHandler(DeviceErrorHandler handler) { (void)handler; }
    // The call's voice figures so far; terminals without any give the empty record.
    virtual TVoiceStats VoiceStats() const { return {}; }
};
