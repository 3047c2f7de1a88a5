#include "app/CallStatsText.h"

#include <QCoreApplication>

namespace CallStatsText {
namespace {

// The overlay is read by the user, in the user's language; the logged line stays English.
QString T(const char* noop)
{
    return QCoreApplication::translate("CallStatsText", noop);
}

QString Decimal(double value, const QString& unknown)
{
    return value < 0 ? unknown : QString::number(value, 'f', 1);
}

const char* SourceWord(TVideoSource source)
{
    switch (source) {
    case TVideoSource::Camera:
        return QT_TRANSLATE_NOOP("CallStatsText", "camera");
    case TVideoSource::Screen:
        return QT_TRANSLATE_NOOP("CallStatsText", "screen");
    case TVideoSource::Passthrough:
        return QT_TRANSLATE_NOOP("CallStatsText", "passthrough");
    case TVideoSource::None:
        break;
    }
    return nullptr;
}

QString SourceName(TVideoSource source, const QString& none)
{
    const char* word = SourceWord(source);
    return word ? QString::fromLatin1(word) : none;
}

} // namespace

QStringList OverlayLines(const TFigures& f)
{
    const QString dash = QStringLiteral("\u2013");
    QStringList lines;
    if (f.inCall) {
        const TVoiceStats& v = f.voice;
        lines << QCoreApplication::translate("CallStatsText", "Round trip:  %1 ms")
                     .arg(Decimal(v.roundTripMs, dash))
              << QCoreApplication::translate("CallStatsText", "Peer loss:   %1 %")
                     .arg(Decimal(v.peerLossPercent, dash))
              << QCoreApplication::translate("CallStatsText", "Jitter:      %1 ms")
                     .arg(Decimal(v.jitterMs, dash))
              << QCoreApplication::translate("CallStatsText", "Loss:        %1 %")
                     .arg(Decimal(v.lossPercent, dash))
              << QCoreApplication::translate("CallStatsText", "Voice:       %1 sent, %2 received")
                     .arg(v.packetsSent)
                     .arg(v.packetsReceived)
              << QCoreApplication::translate("CallStatsText", "Jitter buf:  %1 ms")
                     .arg(Decimal(v.jitterBufferMs, dash))
              << QCoreApplication::translate("CallStatsText", "Mouth-ear:   ~%1 ms (est.)")
                     .arg(Decimal(v.estimatedDelayMs, dash));
    } else {
        lines << QCoreApplication::translate("CallStatsText", "No call");
    }
    const TVideoRates& r = f.video;
    lines << QCoreApplication::translate("CallStatsText", "Video:       %1 fps sent, %2 fps shown")
                 .arg(r.framesSent)
                 .arg(r.framesShown)
          << QCoreApplication::translate("CallStatsText", "Video data:  %1 B/s out, %2 B/s in")
                 .arg(r.bytesSent)
                 .arg(r.bytesReceived)
          << QCoreApplication::translate("CallStatsText", "Quality:     %1 (JPEG)")
                 .arg(f.quality ? QString::number(*f.quality) : dash);
    if (f.inCall) {
        const char* source = SourceWord(f.source);
        lines << QCoreApplication::translate("CallStatsText", "Source:      %1")
                     .arg(f.source == TVideoSource::Passthrough
                              ? QCoreApplication::translate("CallStatsText",
                                                            "camera's JPEG, as it came")
                          : source ? T(source)
                                   : dash);
        const TEncryption& e = f.encryption;
        if (!e.on) {
            lines << QCoreApplication::translate("CallStatsText", "Encryption:  none");
        } else {
            lines << QCoreApplication::translate("CallStatsText", "Encryption:  %1").arg(e.suite)
                  << QCoreApplication::translate(
                         "CallStatsText", "             voice SRTP AES-128-GCM, video AES-128-GCM")
                  << QCoreApplication::translate("CallStatsText", "Peer key:    %1%2")
                         .arg(e.peerKey,
                              e.keyState == QLatin1String("changed")
                                  ? QCoreApplication::translate("CallStatsText", " KEY CHANGED")
                              : e.keyState == QLatin1String("verified")
                                  ? QCoreApplication::translate("CallStatsText", " verified")
                                  : QCoreApplication::translate("CallStatsText", " not verified"))
                  << QCoreApplication::translate("CallStatsText",
                                                 "Refused:     %1 auth failures, %2 replays")
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
