#include "app/CallStatsText.h"

namespace CallStatsText {
namespace {

QString Decimal(double value, const QString& unknown)
{
    return value < 0 ? unknown : QString::number(value, 'f', 1);
}

QString SourceName(TVideoSource source, const QString& none)
{
    switch (source) {
    case TVideoSource::Camera:
        return QStringLiteral("camera");
    case TVideoSource::Screen:
        return QStringLiteral("screen");
    case TVideoSource::Passthrough:
        return QStringLiteral("passthrough");
    case TVideoSource::None:
        break;
    }
    return none;
}

} // namespace

QStringList OverlayLines(const TFigures& f)
{
    const QString dash = QStringLiteral("\u2013");
    QStringList lines;
    if (f.inCall) {
        const TVoiceStats& v = f.voice;
        lines
            << QStringLiteral("Round trip:  %1 ms").arg(Decimal(v.roundTripMs, dash))
            << QStringLiteral("Peer loss:   %1 %").arg(Decimal(v.peerLossPercent, dash))
            << QStringLiteral("Jitter:      %1 ms").arg(Decimal(v.jitterMs, dash))
            << QStringLiteral("Loss:        %1 %").arg(Decimal(v.lossPercent, dash))
            << QStringLiteral("Voice:       %1 sent, %2 received")
                   .arg(v.packetsSent)
                   .arg(v.packetsReceived)
            << QStringLiteral("Jitter buf:  %1 ms").arg(Decimal(v.jitterBufferMs, dash))
            << QStringLiteral("Mouth-ear:   ~%1 ms (est.)").arg(Decimal(v.estimatedDelayMs, dash));
    } else {
        lines << QStringLiteral("No call");
    }
    const TVideoRates& r = f.video;
    lines << QStringLiteral("Video:       %1 fps sent, %2 fps shown")
                 .arg(r.framesSent)
                 .arg(r.framesShown)
          << QStringLiteral("Video data:  %1 B/s out, %2 B/s in")
                 .arg(r.bytesSent)
                 .arg(r.bytesReceived)
          << QStringLiteral("Quality:     %1 (JPEG)")
                 .arg(f.quality ? QString::number(*f.quality) : dash);
    if (f.inCall) {
        const QString source = SourceName(f.source, dash);
        lines << QStringLiteral("Source:      %1")
                     .arg(f.source == TVideoSource::Passthrough
                              ? QStringLiteral("camera's JPEG, as it came")
                              : source);
        const TEncryption& e = f.encryption;
        if (!e.on) {
            lines << QStringLiteral("Encryption:  none");
        } else {
            lines << QStringLiteral("Encryption:  %1").arg(e.suite)
                  << QStringLiteral("             voice SRTP AES-128-GCM, video AES-128-GCM")
                  << QStringLiteral("Peer key:    %1%2")
                         .arg(e.peerKey, e.keyState == QLatin1String("changed")
                                             ? QStringLiteral(" KEY CHANGED")
                                         : e.keyState == QLatin1String("verified")
                                             ? QStringLiteral(" verified")
                                             : QStringLiteral(" not verified"))
                  << QStringLiteral("Refused:     %1 auth failures, %2 replays")
                         .arg(e.authFailures)
                         .arg(e.replays);
        }
    }
    return lines;
}

QString LogLine(const TFigures& f)
{
    const QString dash = QStringLiteral("-");
    const TVoiceStats& v = f.voice;
    const TVideoRates& r = f.video;
    return QStringLiteral(
               "stats: rtt %1 ms, peer loss %2 %, loss %3 %, jitter %4 ms, voice sent "
               "%5 received %6, video sent %7 fps shown %8 fps, out %9 B/s, in %10 "
               "B/s, quality %11, jitter buffer %12 ms, mouth-to-ear ~%13 ms, source %14")
               .arg(Decimal(v.roundTripMs, dash), Decimal(v.peerLossPercent, dash),
                    Decimal(v.lossPercent, dash), Decimal(v.jitterMs, dash))
               .arg(v.packetsSent)
               .arg(v.packetsReceived)
               .arg(r.framesSent)
               .arg(r.framesShown)
               .arg(r.bytesSent)
               .arg(r.bytesReceived)
               .arg(f.quality ? QString::number(*f.quality) : dash)
               .arg(Decimal(v.jitterBufferMs, dash), Decimal(v.estimatedDelayMs, dash),
                    SourceName(f.source, dash)) +
           QStringLiteral(", encryption %1, key %2, auth failures %3, replays %4")
               .arg(f.encryption.on ? QStringLiteral("srtp-gcm/video-gcm") : QStringLiteral("none"),
                    f.encryption.on ? f.encryption.keyState : dash)
               .arg(f.encryption.authFailures)
               .arg(f.encryption.replays);
}

} // namespace CallStatsText
