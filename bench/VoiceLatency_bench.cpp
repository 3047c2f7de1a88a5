// Mouth-to-ear delay of a voice call over loopback, both ends in this process, on a private
// sound server, against the floor the sound server's devices alone set.
//
// The "mouth" is the null sink micA: a live tone player writes into it and A's microphone is its
// monitor. The "ear" is the null sink spkB, B's speaker. Two recorders, alike in every way, read
// micA.monitor and spkB.monitor and time the first loud sample of each tone burst as it arrives,
// so what the player and the recorders add cancels: delay = t(ear) - t(mouth). The floor joins
// mouth and ear by a plain pulsesrc -> pulsesink pipeline with the buffers the link uses; the
// call joins them by A and B, with echo cancellation and noise suppression on (as calls run by
// default) and off. Each burst also tells whether the ear went silent while it lasted
// (an underrun of a device buffer somewhere on the way).
#include "platform/voice/gst/TGstVoiceLink.h"
#include "platform/voice/gst/VoiceTiming.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TPlayedSound.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr int kPortA = 18520;
constexpr int kPortB = 18522;
constexpr int kBurstMs = 300;
constexpr int kPauseMs = 400;
constexpr double kToneVolume = 0.4; // of full scale
constexpr int kLoud = 3000;         // onset threshold, about a quarter of the tone's amplitude
constexpr int kBlock = kRate / 200; // 5 ms blocks for the dropout check
constexpr char kServerConfig[] =
    "load-module module-null-sink sink_name=micA rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=micB rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=spkA rate=48000 channels=1 format=s16le\n"
    "load-module module-null-sink sink_name=spkB rate=48000 channels=1 format=s16le\n";

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

QString sourceOf(const QString& device)
{
    return QStringLiteral("pulsesrc device=%1 buffer-time=%2 latency-time=%3")
        .arg(device)
        .arg(voicelink::kSourceBufferMs * 1000)
        .arg(voicelink::kSourcePeriodMs * 1000);
}

QString sinkOf(const QString& device)
{
    return QStringLiteral("pulsesink device=%1 buffer-time=%2 latency-time=%3 "
                          "processing-deadline=%4")
        .arg(device)
        .arg(voicelink::kSinkBufferMs * 1000)
        .arg(voicelink::kSinkPeriodMs * 1000)
        .arg(qint64(voicelink::kSinkDeadlineMs) * 1000000);
}

const QString kPcm =
    QStringLiteral("audio/x-raw,format=S16LE,rate=48000,channels=1,layout=interleaved");

// Reads a monitor and times the first loud sample after being armed; then keeps the burst's
// next samples to look for dropouts in it.
class Recorder
{
public:
    explicit Recorder(const QString& monitor)
    {
        pipeline_ = launch(QStringLiteral("%1 ! audioconvert ! %2 ! appsink name=out sync=false")
                               .arg(sourceOf(monitor), kPcm));
        if (!pipeline_)
            return;
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "out");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* s, gpointer self) {
            static_cast<Recorder*>(self)->take(s);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        gst_object_unref(sink);
        ok_ = play(pipeline_);
    }

    bool Ok() const { return ok_; }

    void Arm()
    {
        std::lock_guard lock(mutex_);
        onset_.reset();
        tail_.clear();
        armed_ = true;
    }
    std::optional<Clock::time_point> Onset() const
    {
        std::lock_guard lock(mutex_);
        return onset_;
    }
    // 5 ms blocks of the burst (from 20 ms after its onset) under a tenth of its median level.
    int Dropouts() const
    {
        std::lock_guard lock(mutex_);
        const size_t skip = kRate / 50;
        std::vector<double> levels;
        for (size_t i = skip; i + kBlock <= tail_.size(); i += kBlock) {
            double sum = 0;
            for (size_t k = i; k < i + kBlock; ++k)
                sum += double(tail_[k]) * tail_[k];
            levels.push_back(std::sqrt(sum / kBlock));
        }
        if (levels.empty())
            return 0;
        std::vector<double> sorted = levels;
        std::nth_element(sorted.begin(), sorted.begin() + qsizetype(sorted.size() / 2),
                         sorted.end());
        const double median = sorted[sorted.size() / 2];
        return int(std::count_if(levels.begin(), levels.end(),
                                 [median](double l) { return l < median / 10; }));
    }

private:
    void take(GstAppSink* sink)
    {
        const Clock::time_point now = Clock::now();
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            feed(reinterpret_cast<const qint16*>(map.data), map.size / 2, now);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }

    void feed(const qint16* s, size_t n, Clock::time_point now)
    {
        std::lock_guard lock(mutex_);
        size_t from = 0;
        if (armed_) {
            for (; from < n && std::abs(int(s[from])) <= kLoud; ++from) {
            }
            if (from == n)
                return;
            // The buffer came in when its last sample had been captured.
            onset_ = now - std::chrono::microseconds(qint64(n - from) * 1000000 / kRate);
            armed_ = false;
        }
        const size_t keep = size_t(kBurstMs - 50) * kRate / 1000;
        if (onset_ && tail_.size() < keep)
            tail_.insert(tail_.end(), s + from, s + std::min(n, from + keep - tail_.size()));
    }

    Pipeline pipeline_;
    bool ok_ = false;
    mutable std::mutex mutex_;
    bool armed_ = false;
    std::optional<Clock::time_point> onset_;
    std::vector<qint16> tail_;
};

struct Figures
{
    std::vector<double> delays; // sorted, ms
    int dropouts = 0;           // silent 5 ms blocks inside the bursts heard
    double estimateA = 0, estimateB = 0;
    int estimates = 0;
    double jitterBufferB = 0;
    bool ok = false;

    double median() const { return delays[delays.size() / 2]; }
};

// The live tone into the mouth, switched by its volume.
class Player
{
public:
    Player()
    {
        pipeline_ = launch(QStringLiteral("audiotestsrc is-live=true wave=sine freq=700 "
                                          "samplesperbuffer=480 volume=%1 ! volume name=gate "
                                          "volume=0 ! %2 ! %3")
                               .arg(kToneVolume)
                               .arg(kPcm, sinkOf(QStringLiteral("micA"))));
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

// Times the bursts from mouth to ear; between bursts `sample` is called to gather figures.
Figures timeBursts(Player& player, Recorder& mouth, Recorder& ear, int trials,
                   const std::function<void(Figures&)>& sample = {})
{
    Figures f;
    for (int i = 0; i < trials; ++i) {
        mouth.Arm();
        ear.Arm();
        player.Set(true);
        WaitUntil([&] { return mouth.Onset() && ear.Onset(); }, 1000);
        pause(kBurstMs);
        player.Set(false);
        const auto m = mouth.Onset();
        const auto e = ear.Onset();
        if (m && e) {
            f.delays.push_back(std::chrono::duration<double, std::milli>(*e - *m).count());
            if (qEnvironmentVariableIsSet("VOICE_BENCH_TRACE"))
                std::printf("  burst %d: %.1f ms\n", i, f.delays.back());
            f.dropouts += ear.Dropouts();
        }
        if (sample)
            sample(f);
        pause(kPauseMs);
    }
    std::sort(f.delays.begin(), f.delays.end());
    f.ok = !f.delays.empty();
    return f;
}

// The floor: the microphone's samples handed straight to a live speaker pipeline, which stamps
// them on arrival as the link's receiving side stamps packets (one pipeline from a sound
// server's source to its sink drifts between the two devices' clocks by hundreds of ms here).
class DirectLoopback
{
public:
    DirectLoopback()
    {
        in_ = launch(QStringLiteral("%1 ! %2 ! appsink name=out sync=false")
                         .arg(sourceOf(QStringLiteral("micA.monitor")), kPcm));
        out_ = launch(QStringLiteral("appsrc name=in is-live=true do-timestamp=true format=time "
                                     "caps=\"%1\" ! %2")
                          .arg(kPcm, sinkOf(QStringLiteral("spkB"))));
        if (!in_ || !out_)
            return;
        appsrc_ = gst_bin_get_by_name(GST_BIN(out_.get()), "in");
        GstElement* sink = gst_bin_get_by_name(GST_BIN(in_.get()), "out");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* s, gpointer self) {
            GstSample* sample = gst_app_sink_pull_sample(s);
            if (!sample)
                return GST_FLOW_OK;
            GstBuffer* buffer = gst_buffer_copy(gst_sample_get_buffer(sample));
            gst_sample_unref(sample);
            GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
            return gst_app_src_push_buffer(GST_APP_SRC(static_cast<DirectLoopback*>(self)->appsrc_),
                                           buffer);
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        gst_object_unref(sink);
        ok_ = play(out_) && play(in_);
    }
    ~DirectLoopback()
    {
        in_.reset(); // stops pushing before the receiver goes
        out_.reset();
        if (appsrc_)
            gst_object_unref(appsrc_);
    }
    DirectLoopback(const DirectLoopback&) = delete;
    DirectLoopback& operator=(const DirectLoopback&) = delete;

    bool Ok() const { return ok_; }

private:
    Pipeline out_, in_;
    GstElement* appsrc_ = nullptr;
    bool ok_ = false;
};

Figures measureFloor(Player& player, Recorder& mouth, Recorder& ear, int trials)
{
    DirectLoopback floor;
    if (!floor.Ok()) {
        std::fprintf(stderr, "the direct loopback does not start\n");
        return {};
    }
    pause(1000);
    return timeBursts(player, mouth, ear, trials);
}

Figures measureCall(Player& player, Recorder& mouth, Recorder& ear, int trials, bool processing)
{
    TGstVoiceLink a, b;
    a.SetDevices(QStringLiteral("micA.monitor"), QStringLiteral("spkA"));
    b.SetDevices(QStringLiteral("micB.monitor"), QStringLiteral("spkB"));
    const TVoiceProcessing p{processing, processing};
    if (!a.Start({QStringLiteral("127.0.0.1"), kPortB, kPortA}, p) ||
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
    return timeBursts(player, mouth, ear, trials, [&](Figures& f) {
        const TVoiceStats sa = a.Stats(), sb = b.Stats();
        if (sa.estimatedDelayMs <= 0 || sb.estimatedDelayMs <= 0)
            return;
        f.estimateA += sa.estimatedDelayMs;
        f.estimateB += sb.estimatedDelayMs;
        f.jitterBufferB += sb.jitterBufferMs;
        ++f.estimates;
    });
}

void print(const char* name, const Figures& f, int trials)
{
    if (!f.ok) {
        std::printf("%-34s no onset heard in %d trials\n", name, trials);
        return;
    }
    std::printf("%-34s %2zu/%d trials, median %5.1f ms, min %5.1f, max %5.1f; silent 5 ms "
                "blocks in the bursts: %d\n",
                name, f.delays.size(), trials, f.median(), f.delays.front(), f.delays.back(),
                f.dropouts);
}

void printEstimate(const char* name, const Figures& f)
{
    if (!f.ok || f.estimates == 0) {
        std::printf("%s: no estimate (no round trip measured)\n", name);
        return;
    }
    const double a = f.estimateA / f.estimates, b = f.estimateB / f.estimates;
    std::printf("%s: estimated delay B %.1f ms (jitter buffer %.1f ms), A %.1f ms; "
                "estimate/measured %.2f\n",
                name, b, f.jitterBufferB / f.estimates, a, b / f.median());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    gst_init(nullptr, nullptr);
    TSoundServer server(kServerConfig);
    if (!server.Ready()) {
        std::fprintf(stderr, "the private sound server did not start\n");
        return 1;
    }
    Player player;
    Recorder mouth(QStringLiteral("micA.monitor"));
    Recorder ear(QStringLiteral("spkB.monitor"));
    if (!player.Ok() || !mouth.Ok() || !ear.Ok()) {
        std::fprintf(stderr, "the player or the recorders do not start\n");
        return 1;
    }
    pause(500);

    const Figures floor = measureFloor(player, mouth, ear, trials);
    const Figures on = measureCall(player, mouth, ear, trials, true);
    const Figures off = measureCall(player, mouth, ear, trials, false);

    std::printf("device buffers: source %d/%d ms, sink %d/%d ms (buffer/period); jitter buffer "
                "from %d ms\n",
                voicelink::kSourceBufferMs, voicelink::kSourcePeriodMs, voicelink::kSinkBufferMs,
                voicelink::kSinkPeriodMs, voicelink::kMinJitterBufferMs);
    print("floor (direct loopback):", floor, trials);
    print("call, processing on:", on, trials);
    print("call, processing off:", off, trials);
    if (floor.ok && on.ok && off.ok) {
        std::printf("call - floor: %+.1f ms with processing, %+.1f ms without; processing "
                    "adds %+.1f ms\n",
                    on.median() - floor.median(), off.median() - floor.median(),
                    on.median() - off.median());
        std::printf("goal: call with processing <= 40 ms (%s), <= floor + 15 ms (%s)\n",
                    on.median() <= 40 ? "met" : "missed",
                    on.median() <= floor.median() + 15 ? "met" : "missed");
    }
    printEstimate("processing on", on);
    printEstimate("processing off", off);
    auto enough = [trials](const Figures& f) { return f.delays.size() * 2 >= size_t(trials); };
    return enough(floor) && enough(on) && enough(off) ? 0 : 1;
}
