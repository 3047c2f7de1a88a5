// Mouth-to-ear delay of a voice call between two links in this process, on a private sound
// server, measured as an outside listener would, against the sound server's own floor.
//
// One null sink, "meter", has three channels. The mouth: micA, a remap sink into the first
// channel, whose monitor is A's microphone; a tone player writes 40 ms bursts into it at
// irregular times. The ear: spkB, B's speaker, a remap sink into the second. The floor: the
// sound server's own loopback from A's microphone at its least latency, into the third. One
// recording of the meter's monitor holds all three on one clock, so each delay is a count of
// samples, and what the player and the recorder add is the same for all three.
//
// Usage: VoiceLatency_bench [bursts per mode] [--load] [--pipewire]
//   --load      every core busy (a bounded spin per core) while it measures
//   --pipewire  a private PipeWire with WirePlumber and its PulseAudio server, not PulseAudio
//   --only on|off|stall  one of the three calls (on PipeWire one call a process is all that
//               works: its remap sinks stay silent for a second server in the same process)
//
// A third call sends A's voice through a relay that holds it back once for 300 ms and then
// lets it all through at once, as a stalled network or machine would: the delay after it must
// be back within 5 ms of what it was before within 2 s, not stay a step higher.
//
// On PipeWire the floor's loopback at its least latency sets the whole graph's cycle to 16
// samples, which the call's own streams in that graph would have to run at too; there the floor
// is measured in the same recording before the call, and the loopback is gone during it.
#include "platform/voice/gst/TGstVoiceLink.h"
#include "platform/voice/gst/VoiceTiming.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TPipeWireServer.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QUdpSocket>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 3; // mouth, ear, floor
constexpr int kPortA = 18520;
constexpr int kPortB = 18522;
constexpr int kBurstMs = 40;
constexpr int kQuietMs = 350;       // at least, between bursts; more at random
constexpr double kToneVolume = 0.4; // of full scale
constexpr int kLoud = 3000;         // onset threshold, about a quarter of the tone's amplitude
constexpr char kServerConfig[] =
    "load-module module-null-sink sink_name=meter rate=48000 format=s16le channels=3 "
    "channel_map=front-left,front-right,front-center\n"
    "load-module module-remap-sink sink_name=micA master=meter channels=1 channel_map=mono "
    "master_channel_map=front-left remix=no\n"
    "load-module module-remap-sink sink_name=spkB master=meter channels=1 channel_map=mono "
    "master_channel_map=front-right remix=no\n"
    "load-module module-remap-sink sink_name=floor master=meter channels=1 channel_map=mono "
    "master_channel_map=front-center remix=no\n"
    "load-module module-null-sink sink_name=micB rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=spkA rate=48000 channels=1 format=s16le\n";
constexpr char kFloor[] =
    "load-module module-loopback source=micA.monitor sink=floor latency_msec=1";

struct PipelineDeleter
{
    void operator()(GstElement* p) const
    {
        gst_element_set_state(p, GST_STATE_NULL);
        gst_object_unref(p);
    }
};
using Pipeline = std::unique_ptr<GstElement, PipelineDeleter>;

Pipeline launch(const QString& description)
{
    GError* error = nullptr;
    GstElement* p = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(description), error->message);
        g_error_free(error);
        if (p)
            gst_object_unref(p);
        return nullptr;
    }
    return Pipeline(p);
}

bool play(const Pipeline& p)
{
    return p && gst_element_set_state(p.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

const QString kMono =
    QStringLiteral("audio/x-raw,format=S16LE,rate=48000,channels=1,layout=interleaved");

// The meter's monitor, all three channels, kept whole for the run.
class Meter
{
public:
    Meter()
    {
        pipeline_ = launch(QStringLiteral("pulsesrc device=meter.monitor buffer-time=20000 "
                                          "latency-time=10000 ! audio/x-raw,format=S16LE,"
                                          "rate=48000,channels=3,layout=interleaved ! "
                                          "appsink name=out sync=false"));
        if (!pipeline_)
            return;
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "out");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* s, gpointer self) {
            static_cast<Meter*>(self)->take(s);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        gst_object_unref(sink);
        ok_ = play(pipeline_);
    }
    // The streaming thread writes into what follows the pipeline: it stops first.
    ~Meter() { pipeline_.reset(); }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

    bool Ok() const { return ok_; }
    // Frames recorded so far.
    size_t Now() const
    {
        std::lock_guard lock(mutex_);
        return samples_.size() / kChannels;
    }
    // The first loud frame of a channel at or after from, before to.
    std::optional<size_t> Onset(int channel, size_t from, size_t to) const
    {
        std::lock_guard lock(mutex_);
        to = std::min(to, samples_.size() / kChannels);
        for (size_t f = from; f < to; ++f)
            if (std::abs(int(samples_[f * kChannels + channel])) > kLoud)
                return f;
        return std::nullopt;
    }

    int Peak(int channel, size_t from, size_t to) const
    {
        std::lock_guard lock(mutex_);
        int peak = 0;
        for (size_t f = from; f < std::min(to, samples_.size() / kChannels); ++f)
            peak = std::max(peak, std::abs(int(samples_[f * kChannels + channel])));
        return peak;
    }

private:
    void take(GstAppSink* sink)
    {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto* s = reinterpret_cast<const qint16*>(map.data);
            std::lock_guard lock(mutex_);
            // Bounded: ten minutes of recording at most.
            if (samples_.size() < size_t(600) * kRate * kChannels)
                samples_.insert(samples_.end(), s, s + map.size / 2);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }

    Pipeline pipeline_;
    bool ok_ = false;
    mutable std::mutex mutex_;
    std::vector<qint16> samples_;
};

// The live tone into the mouth, switched by its volume.
class Player
{
public:
    Player()
    {
        pipeline_ = launch(QStringLiteral("audiotestsrc is-live=true wave=sine freq=700 "
                                          "samplesperbuffer=240 volume=%1 ! volume name=gate "
                                          "volume=0 ! %2 ! pulsesink device=micA")
                               .arg(kToneVolume)
                               .arg(kMono));
        if (pipeline_)
            gate_ = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "gate");
        ok_ = gate_ && play(pipeline_);
    }
    ~Player()
    {
        if (gate_)
            gst_object_unref(gate_);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Ok() const { return ok_; }
    void Set(bool on) { g_object_set(gate_, "volume", on ? 1.0 : 0.0, nullptr); }

private:
    Pipeline pipeline_;
    GstElement* gate_ = nullptr;
    bool ok_ = false;
};

void pause(int ms)
{
    WaitUntil([] { return false; }, ms);
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures
{
    std::vector<double> call, floor; // ms, one per burst heard at all three
    double estimate = 0, jitterBuffer = 0;
    int estimates = 0;
    bool ok() const { return !call.empty(); }
};

enum Heard
{
    kEar = 1,
    kFloorHeard = 2,
    kBoth = 3
};

// Plays the bursts and reads each one's onsets from the one recording.
Figures timeBursts(Player& player, const Meter& meter, int bursts,
                   const std::function<void(Figures&)>& sample, int want = kBoth)
{
    Figures f;
    for (int i = 0; i < bursts; ++i) {
        const size_t from = meter.Now();
        player.Set(true);
        pause(kBurstMs);
        player.Set(false);
        pause(kQuietMs + int(QRandomGenerator::global()->bounded(400)));
        const size_t to = meter.Now();
        const auto mouth = meter.Onset(0, from, to);
        const auto ear = mouth && (want & kEar) ? meter.Onset(1, *mouth, to) : std::nullopt;
        const auto floor =
            mouth && (want & kFloorHeard) ? meter.Onset(2, *mouth, to) : std::nullopt;
        if (!mouth || (want & kEar && !ear) || (want & kFloorHeard && !floor)) {
            if (qEnvironmentVariableIsSet("VOICE_BENCH_TRACE"))
                std::printf("  burst %d: %s, frames %zu to %zu, peaks %d %d %d\n", i,
                            !mouth ? "no mouth"
                            : !ear ? "no ear"
                                   : "no floor",
                            from, to, meter.Peak(0, from, to), meter.Peak(1, from, to),
                            meter.Peak(2, from, to));
            continue;
        }
        if (ear)
            f.call.push_back(double(*ear - *mouth) * 1000 / kRate);
        if (floor)
            f.floor.push_back(double(*floor - *mouth) * 1000 / kRate);
        if (qEnvironmentVariableIsSet("VOICE_BENCH_TRACE"))
            std::printf("  burst %d: call %.1f ms, floor %.1f ms\n", i, ear ? f.call.back() : 0.0,
                        floor ? f.floor.back() : 0.0);
        if (sample)
            sample(f);
    }
    return f;
}

// A's voice and reports on their way to B, held back while told to, then let go at once.
class StallRelay
{
public:
    StallRelay()
    {
        for (int i = 0; i < 2; ++i) {
            sockets_[i].bind(QHostAddress::LocalHost, quint16(kRelayPort + i));
            QObject::connect(&sockets_[i], &QUdpSocket::readyRead, [this, i] { forward(i); });
        }
    }
    void Hold(bool on)
    {
        held_ = on;
        if (!on)
            for (auto& [i, datagram] : std::exchange(queue_, {}))
                send(i, datagram);
    }
    static constexpr int kRelayPort = 18530;

private:
    void forward(int i)
    {
        while (sockets_[i].hasPendingDatagrams()) {
            QByteArray datagram(int(sockets_[i].pendingDatagramSize()), '\0');
            sockets_[i].readDatagram(datagram.data(), datagram.size());
            if (held_ && queue_.size() < 2000)
                queue_.emplace_back(i, datagram);
            else if (!held_)
                send(i, datagram);
        }
    }
    void send(int i, const QByteArray& datagram)
    {
        sockets_[i].writeDatagram(datagram, QHostAddress::LocalHost, quint16(kPortB + i));
    }
    QUdpSocket sockets_[2];
    bool held_ = false;
    std::vector<std::pair<int, QByteArray>> queue_;
};

QString pactl(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), arguments);
    return p.waitForFinished(10000) && p.exitCode() == 0
               ? QString::fromUtf8(p.readAllStandardOutput()).trimmed()
               : QString();
}

// The floor alone, its loopback there only meanwhile.
std::vector<double> measureFloorApart(Player& player, const Meter& meter, int bursts)
{
    const QString module = pactl(QString::fromLatin1(kFloor).split(u' '));
    if (module.isEmpty()) {
        std::fprintf(stderr, "the floor's loopback does not load\n");
        return {};
    }
    pause(1000);
    std::vector<double> floor = timeBursts(player, meter, bursts, {}, kFloorHeard).floor;
    pactl({QStringLiteral("unload-module"), module});
    pause(500);
    return floor;
}

Figures measureCall(Player& player, const Meter& meter, int bursts, bool processing,
                    bool floorApart, quint16 toB = kPortB, const std::function<void()>& before = {})
{
    const std::vector<double> floor =
        floorApart ? measureFloorApart(player, meter, bursts) : std::vector<double>{};
    TGstVoiceLink a, b;
    a.SetDevices(QStringLiteral("micA.monitor"), QStringLiteral("spkA"));
    b.SetDevices(QStringLiteral("micB.monitor"), QStringLiteral("spkB"));
    const TVoiceProcessing p{processing, processing};
    if (!a.Start({QStringLiteral("127.0.0.1"), toB, kPortA}, p) ||
        !b.Start({QStringLiteral("127.0.0.1"), kPortA, kPortB}, p)) {
        std::fprintf(stderr, "the links do not start\n");
        return {};
    }
    if (processing && !a.ActiveProcessing().noiseSuppression)
        std::printf("note: A's microphone processing did not start\n");
    // The round trip is known once both sides have sent a report; the jitter buffer has had a
    // chance to settle.
    WaitUntil([&] { return a.Stats().estimatedDelayMs > 0 && b.Stats().estimatedDelayMs > 0; },
              8000);
    pause(1000);
    if (before)
        before();
    Figures f = timeBursts(
        player, meter, bursts,
        [&](Figures& f) {
            const TVoiceStats sb = b.Stats();
            if (sb.estimatedDelayMs <= 0)
                return;
            f.estimate += sb.estimatedDelayMs;
            f.jitterBuffer += sb.jitterBufferMs;
            ++f.estimates;
        },
        floorApart ? kEar : kBoth);
    if (floorApart)
        f.floor = floor;
    return f;
}

void print(const char* name, const Figures& f, int bursts, double goal)
{
    if (!f.ok()) {
        std::printf("%-24s nothing heard in %d bursts\n", name, bursts);
        return;
    }
    const double call = median(f.call), floor = median(f.floor);
    std::printf("%-24s %2zu/%d bursts: median %5.1f ms (min %5.1f, max %5.1f), floor %4.1f ms, "
                "call - floor %+5.1f ms; goal <= %.0f ms: %s\n",
                name, f.call.size(), bursts, call, *std::min_element(f.call.begin(), f.call.end()),
                *std::max_element(f.call.begin(), f.call.end()), floor, call - floor, goal,
                call <= goal ? "met" : "missed");
    if (f.estimates > 0)
        std::printf("%-24s estimate %.1f ms (jitter buffer %.1f ms), estimate/measured %.2f "
                    "(goal 0.85 to 1.15)\n",
                    "", f.estimate / f.estimates, f.jitterBuffer / f.estimates,
                    f.estimate / f.estimates / call);
}

// Every core busy for as long as it lives, and ten minutes at most.
class Load
{
public:
    explicit Load(bool on)
    {
        const unsigned n = on ? std::max(1u, std::thread::hardware_concurrency()) : 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        for (unsigned i = 0; i < n; ++i)
            spinners_.emplace_back([this, end] {
                volatile unsigned long x = 0;
                while (!stop_ && std::chrono::steady_clock::now() < end)
                    for (int k = 0; k < 100000; ++k)
                        x = x + k;
            });
    }
    ~Load()
    {
        stop_ = true;
        for (std::thread& t : spinners_)
            t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> spinners_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int bursts = 20;
    bool loaded = false, pipewire = false;
    QByteArray only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load") == 0)
            loaded = true;
        else if (std::strcmp(argv[i], "--pipewire") == 0)
            pipewire = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            bursts = std::max(1, std::atoi(argv[i]));
    }
    gst_init(nullptr, nullptr);
    // Each call on a sound server, meter and player of its own.
    auto session = [&](const char* mode, const std::function<void(Player&, Meter&)>& measure) {
        if (!only.isEmpty() && only != mode)
            return true;
        std::optional<TSoundServer> pulse;
        std::optional<TPipeWireServer> wire;
        if (pipewire)
            wire.emplace(kServerConfig);
        else
            pulse.emplace(QByteArray(kServerConfig) + kFloor + '\n');
        if (pipewire ? !wire->Ready() : !pulse->Ready()) {
            std::fprintf(stderr, "the private sound server did not start: %s\n",
                         pipewire ? qPrintable(wire->Error()) : "");
            return false;
        }
        Meter meter;
        Player player;
        if (!meter.Ok() || !player.Ok()) {
            std::fprintf(stderr, "the recorder or the player does not start\n");
            return false;
        }
        pause(1000);
        measure(player, meter);
        return true;
    };
    const Load load(loaded);
    Figures on, off, target, after;
    const bool started =
        session("on",
                [&](Player& p, Meter& m) { on = measureCall(p, m, bursts, true, pipewire); }) &&
        session("off",
                [&](Player& p, Meter& m) { off = measureCall(p, m, bursts, false, pipewire); });
    // The stall: the delay before it is the target; bursts start 2 s after it is over.
    const int settle = std::max(3, bursts / 2);
    session("stall", [&](Player& p, Meter& m) {
        StallRelay relay;
        measureCall(p, m, 1, true, false, StallRelay::kRelayPort, [&] {
            target = timeBursts(p, m, settle, {}, kEar);
            relay.Hold(true);
            pause(300);
            relay.Hold(false);
            pause(2000);
            after = timeBursts(p, m, settle, {}, kEar);
        });
    });
    if (!started)
        return 1;

    std::printf("%s, %s; microphone fragments %d ms, speaker stream %d ms topped up "
                "every %d ms; jitter buffer from %d ms\n",
                pipewire ? "PipeWire" : "PulseAudio", loaded ? "every core loaded" : "idle",
                voicelink::kFrameMs, voicelink::kPlayoutBufferMs, voicelink::kPlayoutRequestMs,
                voicelink::kMinJitterBufferMs);
    print("call, processing on:", on, bursts, loaded ? 55 : 40);
    print("call, processing off:", off, bursts, median(off.floor) + 20);
    if (on.ok() && off.ok())
        std::printf("processing adds %+.1f ms\n", median(on.call) - median(off.call));
    if (target.ok() && after.ok()) {
        const double step = after.call.front() - median(target.call);
        std::printf("after a 300 ms stall: %.1f ms 2 s later against %.1f ms before (%+.1f ms); "
                    "goal within 5 ms: %s\n",
                    after.call.front(), median(target.call), step,
                    std::abs(step) <= 5 ? "met" : "missed");
    } else if (only.isEmpty() || only == "stall") {
        std::printf("after a 300 ms stall: nothing heard\n");
    }
    auto enough = [&](const char* mode, const Figures& f) {
        return (!only.isEmpty() && only != mode) || f.call.size() * 2 >= size_t(bursts);
    };
    return enough("on", on) && enough("off", off) ? 0 : 1;
}
