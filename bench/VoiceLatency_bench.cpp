// Mouth-to-ear delay and CPU cost of a voice call over loopback, both ends in this process,
// without microphone processing (the reference) and with echo cancellation and noise
// suppression on, as calls run by default.
//
// The tone at A's source is switched on by stepping A's transmit level from 0 to 100 (the level
// acts on the next 10 ms source buffer); the onset is the first loud sample B would play. The
// step can fall anywhere inside a source buffer, so figures carry up to 10 ms of jitter.
#include "platform/voice/gst/TGstVoiceLink.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr int kPort = 18520; // A's; B's is two above, the next run four above
constexpr qint16 kLoud = 3000;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// Watches what B plays for the first loud sample after being armed.
struct OnsetDetector
{
    std::atomic<bool> armed{false};
    std::atomic<Clock::rep> onset{0};

    void feed(const QByteArray& pcm)
    {
        const Clock::time_point now = Clock::now();
        if (!armed.load())
            return;
        const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
        const qsizetype n = pcm.size() / 2;
        for (qsizetype i = 0; i < n; ++i) {
            if (std::abs(int(s[i])) > kLoud) {
                // The buffer is handed over when its first sample is due.
                const auto at = now + std::chrono::microseconds(i * 1000000 / kRate);
                onset = at.time_since_epoch().count();
                armed = false;
                return;
            }
        }
    }
};

std::unique_ptr<TGstVoiceLink> makeTerminal(int freq, OnsetDetector* detector, bool processing)
{
    TGstVoiceLink::Options o;
    o.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=sine samplesperbuffer=480 freq=%1")
            .arg(freq);
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    if (detector)
        o.playedTap = [detector](const QByteArray& pcm) { detector->feed(pcm); };
    (void)processing;
    return std::make_unique<TGstVoiceLink>(std::move(o));
}

bool start(TGstVoiceLink& t, int local, int remote, bool processing)
{
    return t.Start({QStringLiteral("127.0.0.1"), remote, local}, {processing, processing});
}

struct Figures
{
    std::vector<double> delays; // sorted, ms
    double cpuMsPerSecond = 0;  // both ends
    quint64 received = 0;
    bool echoCancelled = false;
    bool ok = false;
};

Figures measure(bool processing, int trials, int port)
{
    Figures f;
    OnsetDetector detector;
    auto a = makeTerminal(1000, nullptr, processing);
    auto b = makeTerminal(1500, &detector, processing);
    // B keeps quiet while A's onsets are timed: with B's tone playing at A, A's canceller holds
    // A's tone down below the onset level.
    a->SetMicLevel(0);
    b->SetMicLevel(0);
    if (!start(*a, port, port + 2, processing) || !start(*b, port + 2, port, processing)) {
        std::fprintf(stderr, "cannot start the terminals\n");
        return f;
    }
    f.echoCancelled = a->ActiveProcessing().echoCancellation;
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    for (int i = 0; i < trials; ++i) {
        detector.onset = 0;
        detector.armed = true;
        const Clock::time_point stepped = Clock::now();
        a->SetMicLevel(100);
        // Bounded wait: a lost onset counts as a failed trial.
        for (int w = 0; w < 200 && detector.onset.load() == 0; ++w)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto onset = detector.onset.load();
        detector.armed = false;
        a->SetMicLevel(0);
        if (onset != 0) {
            const Clock::time_point heard{Clock::duration(onset)};
            f.delays.push_back(std::chrono::duration<double, std::milli>(heard - stepped).count());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }

    // CPU of one full-duplex call (both ends, both directions) over a few seconds.
    a->SetMicLevel(100);
    b->SetMicLevel(100);
    const double cpu0 = cpuSeconds();
    const Clock::time_point t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    f.cpuMsPerSecond = 1000 * cpu / wall;
    f.received = b->PacketsReceived();
    a.reset();
    b.reset();
    std::sort(f.delays.begin(), f.delays.end());
    f.ok = !f.delays.empty();
    return f;
}

double median(const Figures& f)
{
    return f.delays[f.delays.size() / 2];
}

void print(const char* name, const Figures& f, int trials)
{
    if (!f.ok) {
        std::printf("%s: no onset detected in %d trials (packets received at B: %llu)\n", name,
                    trials, static_cast<unsigned long long>(f.received));
        return;
    }
    std::printf("%s: mouth-to-ear %zu/%d trials, median %.1f ms, min %.1f ms, max %.1f ms; "
                "cpu %.1f ms per second of call (both ends, %.1f%% of one core, %.1f ms per "
                "end); packets received at B: %llu\n",
                name, f.delays.size(), trials, median(f), f.delays.front(), f.delays.back(),
                f.cpuMsPerSecond, f.cpuMsPerSecond / 10, f.cpuMsPerSecond / 2,
                static_cast<unsigned long long>(f.received));
}

} // namespace

int main(int argc, char** argv)
{
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const Figures off = measure(false, trials, kPort);
    const Figures on = measure(true, trials, kPort + 4);
    print("processing off (reference)", off, trials);
    print("echo cancellation and noise suppression on", on, trials);
    if (!on.echoCancelled)
        std::printf("note: echo cancellation did not run (the speaker side did not start)\n");
    if (off.ok && on.ok)
        std::printf("with processing against the reference: delay ratio %.2f (%+.1f ms median), "
                    "cpu ratio %.2f\n",
                    median(on) / median(off), median(on) - median(off),
                    on.cpuMsPerSecond / std::max(off.cpuMsPerSecond, 1e-9));
    auto enough = [trials](const Figures& f) { return f.delays.size() * 2 >= size_t(trials); };
    return enough(off) && enough(on) ? 0 : 1;
}
