// A call's voice over a poor network: A's voice reaches B through a relay that drops 5 % of the
// datagrams and holds each of the rest 0..40 ms (20 ms of jitter either way, reordering them),
// against the same call straight over loopback. What B plays must not break up, must keep its
// level, and must not come much later.
#include "platform/voice/gst/TGstVoiceLink.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TImpairmentRelay.h"
#include "tests/support/TPlayedSound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr quint16 kPortA = 18560;
constexpr quint16 kPortB = 18562;
constexpr quint16 kRelayPort = 18564; // and the port above, for RTCP
constexpr int kSettleMs = 3000;       // the jitter buffer follows the measured jitter each second
constexpr int kListenMs = 6000;
constexpr int kBlock = kRate / 200; // 5 ms
constexpr int kOnsetTrials = 5;
constexpr int kLoud = 2000; // the tone's amplitude is about 10000

// What B plays, and the arrival of the first loud sample once armed.
struct Ear
{
    TPlayedSound played;
    std::atomic<bool> armed{false};
    std::atomic<Clock::rep> onset{0};

    void feed(const QByteArray& pcm)
    {
        const Clock::time_point now = Clock::now();
        played.append(pcm);
        if (!armed.load())
            return;
        const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
        for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
            if (std::abs(int(s[i])) > kLoud) {
                // The tap gets a buffer when its first sample is heard.
                onset = (now + std::chrono::microseconds(i * 1000000 / kRate))
                            .time_since_epoch()
                            .count();
                armed = false;
                return;
            }
        }
    }
};

std::vector<double> blockLevels(const std::vector<qint16>& s)
{
    std::vector<double> levels;
    for (size_t i = 0; i + kBlock <= s.size(); i += kBlock) {
        double sum = 0;
        for (size_t k = i; k < i + kBlock; ++k)
            sum += double(s[k]) * s[k];
        levels.push_back(std::sqrt(sum / kBlock));
    }
    return levels;
}

double rms(const std::vector<qint16>& s)
{
    double sum = 0;
    for (qint16 x : s)
        sum += double(x) * x;
    return s.empty() ? 0.0 : std::sqrt(sum / double(s.size()));
}

// The longest run of blocks under the level, in ms.
int longestQuietMs(const std::vector<double>& levels, double under)
{
    int longest = 0, run = 0;
    for (double l : levels) {
        run = l < under ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest * kBlock * 1000 / kRate;
}

struct Heard
{
    std::vector<qint16> samples; // kListenMs of what B played after settling
    std::vector<double> delays;  // onsets, ms, sorted
    double jitterMs = 0, lossPercent = 0;
    int jitterBufferMs = 0;

    double medianDelay() const { return delays.empty() ? 1e9 : delays[delays.size() / 2]; }
};

std::unique_ptr<TGstVoiceLink> makeLink(const char* source, Ear* ear)
{
    TGstVoiceLink::Options o;
    o.sourceDescription = QString::fromLatin1(source);
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    if (ear)
        o.playedTap = [ear](const QByteArray& pcm) { ear->feed(pcm); };
    return std::make_unique<TGstVoiceLink>(std::move(o));
}

// A steady tone from A to B, through the relay or straight; processing off, since noise
// suppression rightly takes a steady tone for noise.
Heard call(bool impaired, std::optional<TImpairmentRelay>& rtp)
{
    Ear ear;
    auto a = makeLink("audiotestsrc is-live=true wave=sine freq=1000 volume=0.3 "
                      "samplesperbuffer=480",
                      nullptr);
    auto b = makeLink("audiotestsrc is-live=true wave=silence samplesperbuffer=480", &ear);
    std::optional<TImpairmentRelay> rtcp;
    if (impaired) {
        rtp.emplace(kRelayPort, kPortB, TImpairmentRelay::Impairment{0.05, 0, 40, 7});
        rtcp.emplace(quint16(kRelayPort + 1), quint16(kPortB + 1), TImpairmentRelay::Impairment{});
        EXPECT_TRUE(rtp->Ready() && rtcp->Ready());
    }
    const TVoiceProcessing plain{false, false};
    EXPECT_TRUE(
        a->Start({QStringLiteral("127.0.0.1"), impaired ? kRelayPort : kPortB, kPortA}, plain));
    EXPECT_TRUE(b->Start({QStringLiteral("127.0.0.1"), kPortA, kPortB}, plain));

    Heard h;
    WaitUntil([] { return false; }, kSettleMs);
    const size_t from = ear.played.size();
    const size_t count = size_t(kListenMs) * kRate / 1000;
    EXPECT_TRUE(WaitUntil([&] { return ear.played.size() >= from + count; }, kListenMs + 3000))
        << "B played too little";
    h.samples = ear.played.slice(from, count);
    const TVoiceStats stats = b->Stats();
    h.jitterMs = stats.jitterMs;
    h.lossPercent = stats.lossPercent;
    h.jitterBufferMs = stats.jitterBufferMs;

    // The onset of A's voice at B: A's level steps from 0 to 100 (acting on A's next 10 ms
    // source buffer) after a pause long enough for the decoder to fall quiet.
    for (int i = 0; i < kOnsetTrials; ++i) {
        a->SetMicLevel(0);
        WaitUntil([] { return false; }, 300);
        ear.onset = 0;
        ear.armed = true;
        const Clock::time_point stepped = Clock::now();
        a->SetMicLevel(100);
        WaitUntil([&] { return ear.onset.load() != 0; }, 1000);
        ear.armed = false;
        if (const auto at = ear.onset.load())
            h.delays.push_back(std::chrono::duration<double, std::milli>(
                                   Clock::time_point(Clock::duration(at)) - stepped)
                                   .count());
    }
    std::sort(h.delays.begin(), h.delays.end());
    a->Stop();
    b->Stop();
    return h;
}

void report(const char* name, const Heard& h, double reference)
{
    std::printf("[ measure ] %s: level rms %.0f, longest run under %.0f: %d ms, onset median "
                "%.1f ms (%zu/%d, min %.1f max %.1f), jitter %.1f ms, loss %.1f %%, jitter "
                "buffer %d ms\n",
                name, rms(h.samples), reference / 10,
                longestQuietMs(blockLevels(h.samples), reference / 10), h.medianDelay(),
                h.delays.size(), kOnsetTrials, h.delays.empty() ? 0 : h.delays.front(),
                h.delays.empty() ? 0 : h.delays.back(), h.jitterMs, h.lossPercent,
                h.jitterBufferMs);
}

TEST(VoiceLoss, LossAndJitterNeitherBreakTheVoiceNorDelayItMuch)
{
    std::optional<TImpairmentRelay> unused, relay;
    const Heard clean = call(false, unused);
    ASSERT_FALSE(clean.samples.empty());
    const double cleanLevel = rms(clean.samples);
    ASSERT_GT(cleanLevel, 2000.0) << "the tone reaches B on a clean path";
    report("clean", clean, cleanLevel);

    const Heard impaired = call(true, relay);
    ASSERT_FALSE(impaired.samples.empty());
    report("impaired", impaired, cleanLevel);
    // The relay did what it was asked: about 5 % dropped, the rest forwarded, some reordered.
    ASSERT_TRUE(relay);
    const double dropped =
        double(relay->Dropped()) / double(std::max<quint64>(relay->Received(), 1));
    std::printf("[ measure ] relay: %llu received, %.1f %% dropped, %llu forwarded, %llu "
                "overtaken\n",
                static_cast<unsigned long long>(relay->Received()), 100 * dropped,
                static_cast<unsigned long long>(relay->Forwarded()),
                static_cast<unsigned long long>(relay->Overtaken()));
    EXPECT_GT(relay->Received(), 500u);
    EXPECT_NEAR(dropped, 0.05, 0.025);
    EXPECT_GT(relay->Overtaken(), 0u);
    EXPECT_GT(impaired.lossPercent, 1.0) << "B counts the loss";
    EXPECT_GT(impaired.jitterMs, 5.0) << "B measures the jitter";

    const double levelDb = 20 * std::log10(std::max(rms(impaired.samples), 1.0) / cleanLevel);
    const int gap = longestQuietMs(blockLevels(impaired.samples), cleanLevel / 10);
    std::printf("[ measure ] impaired against clean: level %+.2f dB, onset %+.1f ms\n", levelDb,
                impaired.medianDelay() - clean.medianDelay());
    EXPECT_LE(gap, 60) << "the voice breaks up";
    EXPECT_LE(std::abs(levelDb), 3.0);
    EXPECT_GE(impaired.delays.size(), size_t(kOnsetTrials / 2 + 1));
    // What the jitter buffer adds, against the same link's clean onset: the relay's jitter is up
    // to 40 ms, so a buffer that follows it stays well within half as much again.
    EXPECT_LT(impaired.medianDelay(), clean.medianDelay() + 60.0);
}

} // namespace
