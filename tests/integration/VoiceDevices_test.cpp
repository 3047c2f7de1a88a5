// The voice link on a private sound server's devices, on PulseAudio and on PipeWire (with
// WirePlumber and its PulseAudio server, where the link uses PipeWire's own streams): the voice
// both ways, switching the speaker during a call, losing the microphone during a call, a
// chosen device that is not there, and the lists.
#include "platform/voice/gst/TGstSoundDevices.h"
#include "platform/voice/gst/TGstVoiceLink.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TPipeWireServer.h"
#include "tests/support/TPlayedSound.h"
#include "tests/support/TSoundServer.h"
#include "tests/support/ToneAmplitude.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <gtest/gtest.h>

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = kRate / 100; // 10 ms; 1000 Hz falls on an exact bin
constexpr double kHeard = 1000;     // tone amplitude in sample units

const QByteArray kDevices =
    "load-module module-null-sink sink_name=spkOne\n"
    "load-module module-null-sink sink_name=spkTwo\n"
    "load-module module-null-sink sink_name=micSink\n"
    "load-module module-remap-source source_name=micOne "
    "master=micSink.monitor source_properties=device.description=Desk_Mic\n";

QString pactl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(5000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A pipeline from a description, stopped and let go with its owner.
class Launched
{
public:
    explicit Launched(const QString& description)
        : pipeline_(gst_parse_launch(description.toUtf8().constData(), nullptr))
    {}
    ~Launched()
    {
        if (!pipeline_)
            return;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
    }
    Launched(const Launched&) = delete;
    Launched& operator=(const Launched&) = delete;
    GstElement* get() const { return pipeline_; }
    bool Play() const
    {
        return pipeline_ &&
               gst_element_set_state(pipeline_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    }

private:
    GstElement* pipeline_;
};

// Records a sink's monitor into `sound` while it lives.
class MonitorRecorder
{
public:
    MonitorRecorder(const QString& sink, std::shared_ptr<TPlayedSound> sound)
        : pipeline_(QStringLiteral("pulsesrc device=%1.monitor buffer-time=20000 "
                                   "latency-time=5000 ! audioconvert ! audioresample ! "
                                   "audio/x-raw,format=S16LE,rate=48000,channels=1 ! appsink "
                                   "name=out sync=false")
                        .arg(sink))
    {
        if (!pipeline_.get())
            return;
        GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "out");
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* s, gpointer data) {
            GstSample* sample = gst_app_sink_pull_sample(s);
            GstMapInfo map;
            if (sample && gst_buffer_map(gst_sample_get_buffer(sample), &map, GST_MAP_READ)) {
                static_cast<TPlayedSound*>(data)->append(
                    QByteArray(reinterpret_cast<const char*>(map.data), qsizetype(map.size)));
                gst_buffer_unmap(gst_sample_get_buffer(sample), &map);
            }
            if (sample)
                gst_sample_unref(sample);
            return GST_FLOW_OK;
        };
        sound_ = std::move(sound);
        gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, sound_.get(), nullptr);
        gst_object_unref(out);
        ok_ = pipeline_.Play();
    }
    bool Ok() const { return ok_; }

private:
    std::shared_ptr<TPlayedSound> sound_; // outlives the pipeline that writes to it
    Launched pipeline_;
    bool ok_ = false;
};

// Whether the latest 10 ms block recorded carries the tone.
bool hearsTone(const TPlayedSound& sound, double freq)
{
    const size_t n = sound.size();
    if (n < size_t(kBlock))
        return false;
    const std::vector<qint16> block = sound.slice(n - kBlock, kBlock);
    const QByteArray pcm(reinterpret_cast<const char*>(block.data()),
                         qsizetype(block.size() * sizeof(qint16)));
    return ToneAmplitude(pcm, freq, kRate) > kHeard;
}

// How many of the count 10 ms blocks recorded from `from` on carry the tone.
int blocksWith(const TPlayedSound& sound, double freq, size_t from, int count)
{
    int with = 0;
    for (int i = 0; i < count; ++i) {
        const std::vector<qint16> block = sound.slice(from + size_t(i) * kBlock, kBlock);
        const QByteArray pcm(reinterpret_cast<const char*>(block.data()),
                             qsizetype(block.size() * sizeof(qint16)));
        with += ToneAmplitude(pcm, freq, kRate) > kHeard ? 1 : 0;
    }
    return with;
}

std::unique_ptr<TGstVoiceLink> toneLink(int freq, bool realSpeaker)
{
    TGstVoiceLink::Options o;
    o.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=sine samplesperbuffer=480 freq=%1")
            .arg(freq);
    if (!realSpeaker)
        o.sinkDescription = QStringLiteral("fakesink sync=true");
    return std::make_unique<TGstVoiceLink>(std::move(o));
}

TVoiceEndpoint loopback(int local, int remote)
{
    return {QStringLiteral("127.0.0.1"), remote, local};
}

// Plays a tone into a sink while it lives, as a voice into a microphone.
class TonePlayer
{
public:
    TonePlayer(const QString& sink, int freq)
        : pipeline_(QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.3 ! "
                                   "pulsesink device=%2 buffer-time=20000 latency-time=5000")
                        .arg(freq)
                        .arg(sink)),
          ok_(pipeline_.Play())
    {}
    bool Ok() const { return ok_; }

private:
    Launched pipeline_;
    bool ok_;
};

enum class Server
{
    PulseAudio,
    PipeWire
};

class VoiceDevices : public ::testing::TestWithParam<Server>
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pactl").isEmpty())
            GTEST_SKIP() << "pactl (pulseaudio-utils) is not installed";
        if (GetParam() == Server::PipeWire) {
            // The default sink the other server's tests make for themselves.
            pipeWire = std::make_unique<TPipeWireServer>(
                "load-module module-null-sink sink_name=capTest\nset-default-sink capTest\n" +
                kDevices);
            ASSERT_TRUE(pipeWire->Ready()) << pipeWire->Error().toStdString();
        } else {
            server = std::make_unique<TSoundServer>(kDevices);
            ASSERT_TRUE(server->Ready()) << "private sound server did not start";
        }
        gst_init(nullptr, nullptr);
    }

    std::unique_ptr<TSoundServer> server;
    std::unique_ptr<TPipeWireServer> pipeWire;
};

INSTANTIATE_TEST_SUITE_P(On, VoiceDevices, ::testing::Values(Server::PulseAudio, Server::PipeWire),
                         [](const auto& info) {
                             return info.param == Server::PipeWire ? "PipeWire" : "PulseAudio";
                         });

// Microphones and speakers of both ends on the server's devices: a remap source, a sink's
// monitor, a chosen and the default speaker. Each end hears the other's tone.
TEST_P(VoiceDevices, TheVoiceGoesBothWaysOnTheDevices)
{
    auto atA = std::make_shared<TPlayedSound>();
    auto atB = std::make_shared<TPlayedSound>();
    MonitorRecorder speakerA(QStringLiteral("spkOne"), atA);
    MonitorRecorder speakerB(QStringLiteral("capTest"), atB);
    TonePlayer mouthA(QStringLiteral("micSink"), 1000);
    TonePlayer mouthB(QStringLiteral("spkTwo"), 1500);
    ASSERT_TRUE(speakerA.Ok() && speakerB.Ok() && mouthA.Ok() && mouthB.Ok());
    TGstVoiceLink a{TGstVoiceLink::Options{}};
    TGstVoiceLink b{TGstVoiceLink::Options{}};
    a.SetDevices(QStringLiteral("micOne"), QStringLiteral("spkOne"));
    b.SetDevices(QStringLiteral("spkTwo.monitor"), QString());
    ASSERT_TRUE(a.Start(loopback(18540, 18542), {false, false}));
    ASSERT_TRUE(b.Start(loopback(18542, 18540), {false, false}));
    EXPECT_TRUE(WaitUntil([&] { return hearsTone(*atB, 1000) && hearsTone(*atA, 1500); }, 5000))
        << "B hears A: " << hearsTone(*atB, 1000) << ", A hears B: " << hearsTone(*atA, 1500);
    // Over the next half second each hears the other in at least half the blocks (a busy
    // machine leaves gaps) and itself in few: a microphone on the wrong source would be heard
    // in every block, and the other not at all.
    const size_t fromA = atA->size(), fromB = atB->size();
    ASSERT_TRUE(WaitUntil(
        [&] { return atA->size() >= fromA + 50 * kBlock && atB->size() >= fromB + 50 * kBlock; },
        3000));
    EXPECT_GE(blocksWith(*atA, 1500, fromA, 50), 25);
    EXPECT_GE(blocksWith(*atB, 1000, fromB, 50), 25);
    EXPECT_LE(blocksWith(*atA, 1000, fromA, 50), 10);
    EXPECT_LE(blocksWith(*atB, 1500, fromB, 50), 10);
}

// The other side's voice moves to the new speaker within half a second; the call goes on.
TEST_P(VoiceDevices, TheSpeakerSwitchesDuringACall)
{
    auto atOne = std::make_shared<TPlayedSound>();
    auto atTwo = std::make_shared<TPlayedSound>();
    MonitorRecorder one(QStringLiteral("spkOne"), atOne);
    MonitorRecorder two(QStringLiteral("spkTwo"), atTwo);
    ASSERT_TRUE(one.Ok() && two.Ok());
    auto a = toneLink(1000, false);
    auto b = toneLink(1500, true);
    b->SetDevices(QString(), QStringLiteral("spkOne"));
    ASSERT_TRUE(b->Start(loopback(18540, 18542), {false, false}));
    ASSERT_TRUE(a->Start(loopback(18542, 18540), {false, false}));
    ASSERT_TRUE(WaitUntil([&] { return hearsTone(*atOne, 1000); }, 5000))
        << "A's voice never reached the first speaker";
    EXPECT_FALSE(hearsTone(*atTwo, 1000));

    QElapsedTimer switching;
    switching.start();
    b->SetDevices(QString(), QStringLiteral("spkTwo"));
    ASSERT_TRUE(WaitUntil([&] { return hearsTone(*atTwo, 1000); }, 2000))
        << "A's voice never reached the second speaker";
    const qint64 tookMs = switching.elapsed();
    std::printf("[ measure ] the voice reached the new speaker after %lld ms\n",
                static_cast<long long>(tookMs));
    EXPECT_LT(tookMs, 500);
    EXPECT_TRUE(WaitUntil([&] { return !hearsTone(*atOne, 1000); }, 1000))
        << "the old speaker still plays";
    EXPECT_EQ(b->SpeakerInUse(), QString("spkTwo"));
    EXPECT_EQ(b->Restarts(TVoiceDevice::Speaker), 1);
    EXPECT_EQ(b->Restarts(TVoiceDevice::Microphone), 0) << "the other direction was left alone";
    // The call goes on both ways.
    const quint64 sentByB = b->PacketsSent(), receivedByB = b->PacketsReceived();
    EXPECT_TRUE(WaitUntil(
        [&] { return b->PacketsSent() > sentByB + 50 && b->PacketsReceived() > receivedByB + 50; },
        2000));
    EXPECT_TRUE(hearsTone(*atTwo, 1000));
}

// The microphone's source goes away during a call: the call goes on (on the default source).
TEST_P(VoiceDevices, LosingTheMicrophoneDoesNotEndTheCall)
{
    TGstVoiceLink::Options o;
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    TGstVoiceLink a(o);
    auto b = toneLink(1500, false);
    std::vector<TVoiceDeviceNotice> notices;
    a.SetDeviceNoticeHandler([&](const TVoiceDeviceNotice& n) { notices.push_back(n); });
    a.SetDevices(QStringLiteral("micOne"), QString());
    ASSERT_TRUE(a.Start(loopback(18544, 18546), {false, false}));
    ASSERT_TRUE(b->Start(loopback(18546, 18544), {false, false}));
    EXPECT_EQ(a.MicrophoneInUse(), QString("micOne"));
    ASSERT_TRUE(WaitUntil([&] { return b->PacketsReceived() > 20; }, 5000));

    const QString modules = pactl({"list", "short", "modules"});
    QString module;
    for (const QString& line : modules.split('\n'))
        if (line.contains("source_name=micOne"))
            module = line.section('\t', 0, 0);
    ASSERT_FALSE(module.isEmpty()) << modules.toStdString();
    pactl({"unload-module", module});
    QThread::msleep(200);
    const quint64 received = b->PacketsReceived();
    EXPECT_TRUE(WaitUntil([&] { return b->PacketsReceived() > received + 50; }, 3000))
        << "A stopped sending when its microphone went";
    EXPECT_TRUE(a.Running());
    EXPECT_TRUE(a.Sending());
    for (const TVoiceDeviceNotice& n : notices)
        EXPECT_TRUE(n.fellBack) << "told that nothing could be opened: " << n.detail.toStdString();
    std::printf("[ measure ] microphone restarts %d, notices %zu\n",
                a.Restarts(TVoiceDevice::Microphone), notices.size());
}

// A chosen speaker that is not there: the call is heard on the default all the same (the sound
// server sends it there, or the link opens the default and says so).
TEST_P(VoiceDevices, AChosenDeviceThatIsNotThereStillPlaysOnTheDefault)
{
    auto atDefault = std::make_shared<TPlayedSound>();
    MonitorRecorder capTest(QStringLiteral("capTest"), atDefault);
    ASSERT_TRUE(capTest.Ok());
    auto a = toneLink(1000, false);
    auto b = toneLink(1500, true);
    std::vector<TVoiceDeviceNotice> notices;
    b->SetDeviceNoticeHandler([&](const TVoiceDeviceNotice& n) { notices.push_back(n); });
    b->SetDevices(QString(), QStringLiteral("noSuchSpeaker"));
    ASSERT_TRUE(b->Start(loopback(18548, 18550), {false, false}));
    ASSERT_TRUE(a->Start(loopback(18550, 18548), {false, false}));
    ASSERT_TRUE(b->Receiving());
    EXPECT_TRUE(WaitUntil([&] { return hearsTone(*atDefault, 1000); }, 3000))
        << pactl({"list", "short", "sink-inputs"}).toStdString() << " / "
        << pactl({"info"}).toStdString() << " / notices " << notices.size() << " in use "
        << b->SpeakerInUse().toStdString();
    for (const TVoiceDeviceNotice& n : notices) {
        EXPECT_TRUE(n.fellBack);
        EXPECT_TRUE(n.detail.contains("noSuchSpeaker"));
    }
}

TEST_P(VoiceDevices, TheListsNameTheServersDevicesAndFollowThePlugs)
{
    TGstSoundDevices devices;
    auto names = [](const QList<TSoundDevice>& list) {
        QStringList n;
        for (const TSoundDevice& d : list)
            n << d.name;
        return n;
    };
    const QList<TSoundDevice> microphones = devices.Microphones();
    EXPECT_TRUE(microphones.contains(TSoundDevice{"micOne", "Desk_Mic"}))
        << names(microphones).join(',').toStdString();
    for (const QString& n : names(microphones))
        EXPECT_FALSE(n.endsWith(".monitor")) << "a speaker's monitor listed as a microphone";
    EXPECT_TRUE(names(devices.Speakers()).contains("spkTwo"));

    int changed = 0;
    bool onUiThread = false;
    devices.SetChanged([&] {
        ++changed;
        onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    pactl({"load-module", "module-null-sink", "sink_name=headset"});
    ASSERT_TRUE(WaitUntil([&] { return changed > 0; }, 5000));
    EXPECT_TRUE(onUiThread);
    EXPECT_TRUE(names(devices.Speakers()).contains("headset"));
}

} // namespace
