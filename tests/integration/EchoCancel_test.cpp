// Echo cancellation of the voice terminal on an acoustic path made of a private sound server:
// what B plays into "speakerB" comes back, 60 ms later and attenuated, into B's microphone
// "micB". A talks (band-limited noise bursts played live into its source), and whatever A hears
// of its own voice is echo that B's canceller let through.
#include "platform/voice/gst/TGstVoiceLink.h"
#include "platform/voice/gst/VoiceTiming.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TPlayedSound.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kPortA = 18540;
constexpr int kPortB = 18542;
constexpr int kRunMs = 10000;    // one call
constexpr int kSettleMs = 5000;  // the canceller converges in the first half; the second counts
constexpr int kSignalMs = 11000; // the talk files outlast the call
constexpr int kFrame = kRate / 100;

// speakerB's volume 0.63 is 0.25 in amplitude (pulseaudio's cubic scale): the echo arrives
// 12 dB below what B plays. quietB is a speaker without a way back to the microphone. All sinks
// run on the server's one clock, so the loopback is kept from resampling to correct its
// latency (adjust_time=0): a room's echo does not change its delay every ten seconds.
constexpr char kAcousticPath[] =
    "load-module module-null-sink sink_name=micA rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=micB rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=speakerB rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=quietB rate=48000 channels=1 format=s16le\n"
    "load-module module-loopback source=speakerB.monitor sink=micB latency_msec=60 adjust_time=0 "
    "source_dont_move=true sink_dont_move=true\n"
    "set-sink-volume speakerB 41285\n";

using Samples = std::vector<qint16>;

// Second-order section (RBJ cookbook), for the telephone band of the bursts.
struct Biquad
{
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static Biquad make(double freq, bool highPass)
    {
        const double w = 2 * std::numbers::pi * freq / kRate;
        const double alpha = std::sin(w) / std::numbers::sqrt2; // Q = 1/sqrt(2)
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        const double k = highPass ? (1 + c) / 2 : (1 - c) / 2;
        return {k / a0, (highPass ? -2 * k : 2 * k) / a0, k / a0, -2 * c / a0, (1 - alpha) / a0};
    }
    double operator()(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Speech-like talk: bursts of 200-600 ms of voiced sound (a glottal pulse train at 100-220 Hz,
// gliding, with a little breath noise) in 300-3400 Hz, with pauses of 150-400 ms, each burst at
// the given RMS with 10 ms ramps. Noise suppression rightly takes plain noise for noise; voiced
// bursts it leaves as speech.
Samples talk(unsigned seed, double burstRms)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise;
    std::uniform_int_distribution<int> burstMs(200, 600), pauseMs(150, 400);
    std::uniform_real_distribution<double> pitch(100, 220);
    std::vector<Biquad> band = {Biquad::make(300, true), Biquad::make(300, true),
                                Biquad::make(3400, false), Biquad::make(3400, false)};
    Samples out;
    const size_t total = size_t(kSignalMs) * kRate / 1000;
    const size_t ramp = kRate / 100;
    while (out.size() < total) {
        out.insert(out.end(), size_t(pauseMs(rng)) * kRate / 1000, 0);
        std::vector<double> burst(size_t(burstMs(rng)) * kRate / 1000);
        const double f0 = pitch(rng), f1 = pitch(rng);
        double phase = 0, power = 0;
        for (size_t i = 0; i < burst.size(); ++i) {
            const double f = f0 + (f1 - f0) * double(i) / double(burst.size());
            phase += f / kRate;
            double x = 0.1 * noise(rng);
            if (phase >= 1) {
                phase -= 1;
                x += 20;
            }
            for (Biquad& b : band)
                x = b(x);
            burst[i] = x;
            power += x * x;
        }
        const double gain = burstRms / std::sqrt(power / double(burst.size()));
        for (size_t i = 0; i < burst.size(); ++i) {
            const double edge = double(std::min({i, burst.size() - 1 - i, ramp})) / double(ramp);
            out.push_back(qint16(std::clamp(burst[i] * gain * edge, -32767.0, 32767.0)));
        }
    }
    out.resize(total);
    return out;
}

// A room is never digitally silent: the talk as a microphone picks it up, over a noise floor
// 46 dB under the talk from which noise suppression learns what is noise.
Samples inTheRoom(const Samples& talk, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 20);
    Samples out(talk.size());
    for (size_t i = 0; i < talk.size(); ++i)
        out[i] = qint16(std::clamp(double(talk[i]) + noise(rng), -32767.0, 32767.0));
    return out;
}

bool writeWav(const QString& path, const Samples& s)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&f);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 bytes = quint32(s.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(kRate) << quint32(kRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    for (qint16 x : s)
        out << x;
    return out.status() == QDataStream::Ok;
}

double meanSquare(const Samples& s, size_t from = 0, size_t count = SIZE_MAX)
{
    count = std::min(count, s.size() - std::min(from, s.size()));
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += double(s[i]) * s[i];
    return count ? sum / double(count) : 0.0;
}

std::vector<double> framePowers(const Samples& s)
{
    std::vector<double> p(s.size() / kFrame);
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = meanSquare(s, i * kFrame, kFrame);
    return p;
}

double dB(double ratio)
{
    return 10 * std::log10(std::max(ratio, 1e-12));
}

// Which 10 ms frames of a talk signal are bursts.
std::vector<bool> talking(const Samples& s)
{
    const std::vector<double> p = framePowers(s);
    std::vector<bool> on(p.size());
    for (size_t i = 0; i < p.size(); ++i)
        on[i] = p[i] > 0;
    return on;
}

struct Match
{
    size_t lag = 0; // frames from the talk to what was heard
    double correlation = -1;
};

// The delay (up to 1 s) at which the frame powers heard follow the bursts of a talk best.
Match match(const std::vector<double>& heard, const std::vector<bool>& on)
{
    Match best;
    for (size_t lag = 0; lag < 100; ++lag) {
        double mx = 0, my = 0;
        size_t n = 0;
        for (size_t i = lag; i < heard.size() && i - lag < on.size(); ++i, ++n) {
            mx += heard[i];
            my += on[i - lag];
        }
        if (n == 0)
            continue;
        mx /= double(n);
        my /= double(n);
        double sxy = 0, sxx = 0, syy = 0;
        for (size_t i = lag; i < heard.size() && i - lag < on.size(); ++i) {
            const double x = heard[i] - mx, y = double(on[i - lag]) - my;
            sxy += x * y;
            sxx += x * x;
            syy += y * y;
        }
        const double r = sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0;
        if (r > best.correlation)
            best = {lag, r};
    }
    return best;
}

struct Call
{
    bool echoPath = true; // B's speaker leads back into its microphone
    bool bTalks = false;  // B's own talk goes straight into its microphone
    TVoiceProcessing atB;
};

// A test's own sound server, talk files and a call of about 10 s per measurement.
class EchoCancel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("paplay").isEmpty())
            GTEST_SKIP() << "paplay (pulseaudio-utils) is not installed";
        ASSERT_TRUE(dir.isValid());
        server = std::make_unique<TSoundServer>(kAcousticPath);
        ASSERT_TRUE(server->Ready()) << "private sound server did not start";
        ASSERT_TRUE(writeWav(dir.filePath("a.wav"), inTheRoom(talkA, 3)));
        ASSERT_TRUE(writeWav(dir.filePath("b.wav"), inTheRoom(talkB, 4)));
    }

    // What A heard in the second half of the call, from when both started to talk.
    Samples run(const Call& call)
    {
        auto heard = std::make_shared<TPlayedSound>();
        // A listens through a tap; B talks and hears on the sound server's devices as a call
        // does, so the canceller works on what the speaker's stream really plays.
        TGstVoiceLink::Options optionsA;
        optionsA.sourceDescription =
            QStringLiteral("pulsesrc device=micA.monitor buffer-time=%1 latency-time=%2")
                .arg(voicelink::kSourceBufferMs * 1000)
                .arg(voicelink::kSourcePeriodMs * 1000);
        optionsA.sinkDescription = QStringLiteral("fakesink sync=true");
        optionsA.playedTap = [heard](const QByteArray& pcm) { heard->append(pcm); };
        TGstVoiceLink a(optionsA);
        TGstVoiceLink b;
        b.SetDevices(QStringLiteral("micB.monitor"),
                     QLatin1String(call.echoPath ? "speakerB" : "quietB"));
        EXPECT_TRUE(a.Start({QStringLiteral("127.0.0.1"), kPortB, kPortA}, {false, false}));
        EXPECT_TRUE(b.Start({QStringLiteral("127.0.0.1"), kPortA, kPortB}, call.atB));
        const bool echoActive = b.ActiveProcessing().echoCancellation;
        EXPECT_EQ(echoActive, call.atB.echoCancellation);
        if (!WaitUntil([&] { return heard->size() > size_t(kRate) / 10; }, 5000)) {
            ADD_FAILURE() << "A hears nothing of B";
            return {};
        }
        QProcess playA, playB;
        auto play = [this](QProcess& p, const char* sink, const char* file) {
            p.start(QStringLiteral("paplay"),
                    {QStringLiteral("--device=%1").arg(QLatin1String(sink)), dir.filePath(file)});
            return p.waitForStarted(3000);
        };
        const size_t origin = heard->size();
        EXPECT_TRUE(play(playA, "micA", "a.wav"));
        if (call.bTalks) {
            EXPECT_TRUE(play(playB, "micB", "b.wav"));
        }
        const size_t from = origin + size_t(kSettleMs) * kRate / 1000;
        const size_t count = size_t(kRunMs - kSettleMs) * kRate / 1000;
        EXPECT_TRUE(WaitUntil([&] { return heard->size() >= from + count; }, kRunMs + 4000));
        Samples second = heard->slice(from, count);
        for (QProcess* p : {&playA, &playB}) {
            p->terminate();
            p->waitForFinished(2000);
        }
        a.Stop();
        b.Stop();
        EXPECT_EQ(second.size(), count) << "the call did not last its time";
        lastOrigin = origin;
        lastWhole = heard->slice(origin, from + count - origin);
        return second;
    }

    // B's talk in what A heard: lines the frame powers up with B's known talk and returns the
    // mean power of B's talking frames above that of its pauses. correlation is the match.
    double levelOfB(const Samples& whole, double& correlation) const
    {
        const std::vector<double> heard = framePowers(whole);
        const std::vector<bool> on = talking(talkB);
        // Only frames well inside a burst or a pause count, so a few frames of misalignment
        // between the two do not smear one into the other.
        auto inside = [&](size_t i, bool state) {
            for (size_t j = i < 3 ? 0 : i - 3; j <= i + 3 && j < on.size(); ++j)
                if (on[j] != state)
                    return false;
            return true;
        };
        const Match m = match(heard, on);
        correlation = m.correlation;
        double talk = 0, pause = 0;
        int nt = 0, np = 0;
        for (size_t i = size_t(kSettleMs) / 10 + m.lag; i < heard.size(); ++i) {
            const size_t k = i - m.lag;
            if (k >= on.size())
                break;
            if (inside(k, true)) {
                talk += heard[i];
                ++nt;
            } else if (inside(k, false)) {
                pause += heard[i];
                ++np;
            }
        }
        if (nt == 0 || np == 0)
            return 0;
        return std::max(talk / nt - pause / np, 0.0);
    }

    QTemporaryDir dir;
    std::unique_ptr<TSoundServer> server;
    const Samples talkA = talk(1, 4000);
    const Samples talkB = talk(2, 4000);
    size_t lastOrigin = 0;
    Samples lastWhole;
};

// The echo A hears of itself with B's canceller on, against off, with noise suppression off and
// on (the default). A canceller that does nothing, or does not get the speaker's signal, leaves
// the echo as it is.
TEST_F(EchoCancel, EchoIsRemovedWithAndWithoutNoiseSuppression)
{
    for (bool noise : {false, true}) {
        const double off = meanSquare(run({true, false, {false, noise}}));
        const Match echo = match(framePowers(lastWhole), talking(talkA));
        const double on = meanSquare(run({true, false, {true, noise}}));
        const double erle = dB(off / std::max(on, 1e-3));
        std::printf("[ measure ] noise suppression %s: echo at A rms %.0f without, %.1f with "
                    "cancellation; ERLE %.1f dB (echo %zu ms after A's voice, match %.2f)\n",
                    noise ? "on" : "off", std::sqrt(off), std::sqrt(on), erle, echo.lag * 10,
                    echo.correlation);
        EXPECT_GT(std::sqrt(off), 200.0) << "the echo path carries A's voice back";
        // The goal is 25 dB and most runs give 30-60; a run now and then where the echo path
        // moves early ends near 23. A canceller that does not work gives 1-5.
        EXPECT_GE(erle, 20.0) << "noise suppression " << noise;
    }
}

// B talking while A's echo comes back: B's voice reaches A as it does without any echo path, with
// the processing as it is by default. The canceller damps B a little at the onsets of its
// bursts while A talks, which blurs the match of B's pattern somewhat (about 0.55 against 0.7).
TEST_F(EchoCancel, DoubleTalkKeepsTheNearVoice)
{
    double rNone = 0, rEcho = 0;
    run({false, true, {true, true}});
    const double none = levelOfB(lastWhole, rNone);
    run({true, true, {true, true}});
    const double echo = levelOfB(lastWhole, rEcho);
    const double change = dB(echo / std::max(none, 1e-3));
    std::printf("[ measure ] B's voice at A: rms %.0f without echo path (match %.2f), %.0f with "
                "echo path and cancellation (match %.2f); %.1f dB\n",
                std::sqrt(none), rNone, std::sqrt(echo), rEcho, change);
    // Runs give 0.49 to 0.66 here; a path that loses B's voice gives next to nothing.
    EXPECT_GT(rNone, 0.4) << "B's talk is found in what A hears";
    EXPECT_GT(rEcho, 0.35);
    EXPECT_GT(std::sqrt(none), 500.0);
    EXPECT_GE(change, -6.0);
    EXPECT_LE(change, 6.0);
}

} // namespace
