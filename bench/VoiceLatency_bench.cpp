// Mouth-to-ear delay and CPU cost of a voice call over loopback, both ends in this process.
//
// The tone at A's source is switched on by stepping A's transmit level from 0 to 100 (the level
// acts on the next 10 ms source buffer); the onset is the first loud sample B would play. The
// step can fall anywhere inside a source buffer, so figures carry up to 10 ms of jitter.
#include "platform/mediaterm/gst/TGstMediaTerm.h"

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
constexpr int kPortA = 18520;
constexpr int kPortB = 18522;
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

std::unique_ptr<TGstMediaTerm> makeTerminal(int freq, OnsetDetector* detector)
{
    TGstMediaTerm::Options o;
    o.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=sine samplesperbuffer=480 freq=%1")
            .arg(freq);
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    if (detector)
        o.playedTap = [detector](const QByteArray& pcm) { detector->feed(pcm); };
    return std::make_unique<TGstMediaTerm>(std::move(o));
}

bool start(TGstMediaTerm& t, int local, int remote)
{
    return t.InitializeTerminal() == 0 &&
           t.SetRemoteAddress(QStringLiteral("127.0.0.1"), remote) == 0 &&
           t.SetLocalPort(local) == 0 && t.StartReceive(0) == 0 && t.StartTransmit(0) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    OnsetDetector detector;
    auto a = makeTerminal(1000, nullptr);
    auto b = makeTerminal(1500, &detector);
    a->SetTransmitVolume(0, 0);
    if (!start(*a, kPortA, kPortB) || !start(*b, kPortB, kPortA)) {
        std::fprintf(stderr, "cannot start the terminals\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    std::vector<double> delays;
    for (int i = 0; i < trials; ++i) {
        detector.onset = 0;
        detector.armed = true;
        const Clock::time_point stepped = Clock::now();
        a->SetTransmitVolume(0, 100);
        // Bounded wait: a lost onset counts as a failed trial.
        for (int w = 0; w < 200 && detector.onset.load() == 0; ++w)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto onset = detector.onset.load();
        detector.armed = false;
        a->SetTransmitVolume(0, 0);
        if (onset != 0) {
            const Clock::time_point heard{Clock::duration(onset)};
            delays.push_back(std::chrono::duration<double, std::milli>(heard - stepped).count());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }

    // CPU of one full-duplex call (both ends, both directions) over a few seconds.
    a->SetTransmitVolume(0, 100);
    const double cpu0 = cpuSeconds();
    const Clock::time_point t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const quint64 received = b->PacketsReceived();
    a.reset();
    b.reset();

    if (delays.empty()) {
        std::fprintf(stderr, "no onset detected in %d trials\n", trials);
        return 1;
    }
    std::sort(delays.begin(), delays.end());
    std::printf("mouth-to-ear over loopback: %zu/%d trials, median %.1f ms, min %.1f ms, "
                "max %.1f ms\n",
                delays.size(), trials, delays[delays.size() / 2], delays.front(), delays.back());
    std::printf("cpu: %.1f ms per second of call (both ends, %.1f%% of one core); "
                "%.1f ms per end; packets received at B: %llu\n",
                1000 * cpu / wall, 100 * cpu / wall, 500 * cpu / wall,
                static_cast<unsigned long long>(received));
    return delays.size() * 2 >= size_t(trials) ? 0 : 1;
}
