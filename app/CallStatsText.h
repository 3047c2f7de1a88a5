#pragma once

#include "calls/TCallCounters.h"
#include "calls/TVideoSource.h"
#include "platform/voice/TVoiceStats.h"

#include <QString>
#include <QStringList>

#include <optional>

// The call's figures as text: the lines of the statistics overlay and the line logged on
// parlavue.stats once a second during a call.
//
// The logged line keeps this form, so that scripts can read it:
//   stats: rtt <ms> ms, peer loss <pct> %, loss <pct> %, jitter <ms> ms,
//   voice sent <n> received <n>, video sent <n> fps shown <n> fps, out <n> B/s, in <n> B/s,
//   quality <n>, jitter buffer <ms> ms, mouth-to-ear ~<ms> ms, source <what>,
//   encryption <srtp-gcm/video-gcm|none>, key <seen|verified|changed|->, auth failures <n>,
//   replays <n>
// (one line; ", " between fields; new fields only ever come at the end). The source is
// "camera", "screen", "passthrough" (the camera's JPEG as it came) or "-" before any frame. Times
// and shares have one decimal ("0.4"); a voice figure not known yet is "-" in place of the number
// ("rtt - ms"), the unit staying where it is. Mouth-to-ear is an estimate (see TVoiceStats); no
// peer reports one. The overlay writes an unknown figure as "–".
namespace CallStatsText {

// How the call is protected; auth failures and replays sum the voice's and the pictures'.
struct TEncryption
{
    bool on = false;
    QString suite;    // "TLSv1.3 TLS_AES_128_GCM_SHA256"
    QString peerKey;  // its short text
    QString keyState; // "seen", "verified", "changed"
    quint64 authFailures = 0;
    quint64 replays = 0;
};

struct TFigures
{
    TEncryption encryption;
    bool inCall = false;
    TVoiceStats voice;
    TVideoRates video;
    std::optional<int> quality; // of the last frame sent
    TVideoSource source = TVideoSource::None;
};

QStringList OverlayLines(const TFigures& figures);
QString LogLine(const TFigures& figures);

} // namespace CallStatsText
