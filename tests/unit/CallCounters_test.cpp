#include "app/CallStatsText.h"
#include "calls/TCallCounters.h"
#include "calls/TRateWindow.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace std::chrono_literals;

namespace {

// A fixed origin; only differences from it matter to the counters.
const TRateWindow::TTime T0 = TRateWindow::TTime{} + 1000h;

} // namespace

TEST(RateWindow, CountsOnlyTheLastSecond)
{
    TRateWindow w;
    EXPECT_EQ(w.Count(T0), 0);
    w.Add(T0, 100);
    w.Add(T0 + 400ms, 50);
    w.Add(T0 + 900ms, 7);
    EXPECT_EQ(w.Count(T0 + 900ms), 3);
    EXPECT_EQ(w.Amount(T0 + 900ms), 157);
    // Exactly one second old is out of the window, a moment younger is still in.
    EXPECT_EQ(w.Count(T0 + 999ms), 3);
    EXPECT_EQ(w.Count(T0 + 1000ms), 2);
    EXPECT_EQ(w.Amount(T0 + 1000ms), 57);
    EXPECT_EQ(w.Count(T0 + 1400ms), 1);
    EXPECT_EQ(w.Amount(T0 + 1400ms), 7);
    EXPECT_EQ(w.Count(T0 + 5s), 0);
    EXPECT_EQ(w.Amount(T0 + 5s), 0);
}

TEST(RateWindow, EventsAfterTheAskedTimeAreNotCountedYet)
{
    TRateWindow w;
    w.Add(T0, 10);
    w.Add(T0 + 500ms, 20);
    EXPECT_EQ(w.Count(T0 + 100ms), 1);
    EXPECT_EQ(w.Amount(T0 + 100ms), 10);
    EXPECT_EQ(w.Count(T0 + 500ms), 2);
    EXPECT_EQ(w.Amount(T0 + 500ms), 30);
}

TEST(RateWindow, AFloodKeepsTheNewestAndClearEmpties)
{
    TRateWindow w;
    const std::size_t n = TRateWindow::MaxEvents + 5;
    for (std::size_t i = 0; i < n; ++i)
        w.Add(T0, qint64(i));
    EXPECT_EQ(w.Count(T0), qint64(TRateWindow::MaxEvents));
    // The five oldest (amounts 0..4) went.
    const qint64 all = qint64(n) * qint64(n - 1) / 2;
    EXPECT_EQ(w.Amount(T0), all - (0 + 1 + 2 + 3 + 4));
    w.Clear();
    EXPECT_EQ(w.Count(T0), 0);
    EXPECT_EQ(w.Amount(T0), 0);
    w.Add(T0 + 1ms, 3);
    EXPECT_EQ(w.Amount(T0 + 1ms), 3);
}

TEST(CallCounters, RatesPerSecondOfEachKind)
{
    TCallCounters c;
    // Every 100 ms a frame of 1200 bytes goes out; up to 900 ms one of 900 bytes comes in,
    // up to 700 ms one is shown. Events and questions come in time order, as in the window.
    auto feed = [&](int fromMs, int toMs) {
        for (int ms = fromMs; ms <= toMs; ms += 100) {
            const auto t = T0 + std::chrono::milliseconds(ms);
            c.FrameSent(t, 1200);
            if (ms <= 900)
                c.DatagramReceived(t, 900);
            if (ms <= 700)
                c.FrameShown(t);
        }
    };
    feed(0, 900);
    TVideoRates r = c.Rates(T0 + 950ms);
    EXPECT_EQ(r.framesSent, 10); // 0 .. 900 ms
    EXPECT_EQ(r.bytesSent, 12000);
    EXPECT_EQ(r.bytesReceived, 9000);
    EXPECT_EQ(r.framesShown, 8);

    feed(1000, 1400);
    r = c.Rates(T0 + 1400ms);
    EXPECT_EQ(r.framesSent, 10); // 500 .. 1400 ms
    EXPECT_EQ(r.bytesSent, 12000);
    EXPECT_EQ(r.bytesReceived, 5 * 900); // 500 .. 900 ms
    EXPECT_EQ(r.framesShown, 3);         // 500 .. 700 ms

    c.Clear();
    r = c.Rates(T0 + 1400ms);
    EXPECT_EQ(r.framesSent + r.framesShown + r.bytesSent + r.bytesReceived, 0);
}

TEST(CallStatsText, LogLineCarriesEveryFigureInItsPlace)
{
    CallStatsText::TFigures f;
    f.inCall = true;
    f.voice.packetsSent = 250;
    f.voice.packetsReceived = 249;
    f.voice.peerReports = true;
    f.voice.roundTripMs = 0.44;
    f.voice.peerLossPercent = 2.5;
    f.voice.lossPercent = 0;
    f.voice.jitterMs = 12.24;
    f.video = {15, 14, 180000, 178000};
    f.quality = 97;
    f.source = TVideoSource::Passthrough;
    EXPECT_EQ(CallStatsText::LogLine(f).toStdString(),
              "stats: rtt 0.4 ms, peer loss 2.5 %, loss 0.0 %, jitter 12.2 ms, voice sent 250 "
              "received 249, video sent 15 fps shown 14 fps, out 180000 B/s, in 178000 B/s, "
              "quality 97, jitter buffer - ms, mouth-to-ear ~- ms, source passthrough, "
              "encryption none, key -, auth failures 0, replays 0");
    f.encryption = {true, "TLSv1.3 TLS_AES_128_GCM_SHA256", "7QK4 M2XA", "changed", 3, 1};
    EXPECT_TRUE(CallStatsText::LogLine(f).endsWith(
        ", source passthrough, encryption srtp-gcm/video-gcm, key changed, auth failures 3, "
        "replays 1"));
    EXPECT_TRUE(CallStatsText::OverlayLines(f).contains("Peer key:    7QK4 M2XA KEY CHANGED"));
    f.encryption.keyState = "verified";
    EXPECT_TRUE(CallStatsText::OverlayLines(f).contains("Peer key:    7QK4 M2XA verified"));
}

TEST(CallStatsText, UnknownVoiceFiguresAreDashesThatKeepTheUnits)
{
    CallStatsText::TFigures f;
    f.inCall = true;
    f.voice.roundTripMs = -1;
    f.voice.peerLossPercent = 3;
    f.quality = 100;
    const QString line = CallStatsText::LogLine(f);
    EXPECT_TRUE(line.startsWith("stats: rtt - ms, peer loss 3.0 %, loss - %, jitter - ms,"))
        << line.toStdString();
    // What a reader of the log matches.
    const QRegularExpression rtt("rtt (\\S+) ms"), peer("peer loss (\\S+) %");
    EXPECT_EQ(rtt.match(line).captured(1), "-");
    EXPECT_EQ(peer.match(line).captured(1), "3.0");

    const QStringList lines = CallStatsText::OverlayLines(f);
    EXPECT_TRUE(lines.contains(QStringLiteral("Round trip:  \u2013 ms")))
        << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Peer loss:   3.0 %"));
    EXPECT_TRUE(lines.contains("Voice:       0 sent, 0 received"));
}

TEST(CallStatsText, OutsideACallTheOverlaySaysSoAndShowsTheVideo)
{
    CallStatsText::TFigures f;
    f.video = {0, 0, 0, 0};
    f.quality = 100;
    const QStringList lines = CallStatsText::OverlayLines(f);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "No call");
    EXPECT_FALSE(lines.join('\n').contains("Round trip"));
    EXPECT_TRUE(lines.contains("Video:       0 fps sent, 0 fps shown"));
    EXPECT_TRUE(lines.contains("Video data:  0 B/s out, 0 B/s in"));
    EXPECT_TRUE(lines.contains("Quality:     100 (JPEG)"));

    f.inCall = true;
    f.video = {12, 11, 5000, 4000};
    const QStringList during = CallStatsText::OverlayLines(f);
    EXPECT_EQ(during.first(), QStringLiteral("Round trip:  \u2013 ms"));
    EXPECT_TRUE(during.contains("Video:       12 fps sent, 11 fps shown"));
    EXPECT_TRUE(during.contains("Video data:  5000 B/s out, 4000 B/s in"));
    EXPECT_TRUE(during.contains(QStringLiteral("Source:      \u2013")));
    f.source = TVideoSource::Screen;
    EXPECT_TRUE(CallStatsText::OverlayLines(f).contains("Source:      screen"));
    EXPECT_TRUE(CallStatsText::LogLine(f).contains(", source screen, encryption none"));
}
