#include "platform/voice/pipewire/PwVoiceStream.h"

#include "platform/logging/Logging.h"

#include <spa/param/audio/format-utils.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace voicelink {

namespace {

constexpr int kRateHz = 48000;
constexpr int64_t kBudgetNs = 3'000'000'000;

void initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

} // namespace

PwVoiceStream::PwVoiceStream(bool playback, Process process, Failed failed)
    : playback_(playback), process_(std::move(process)), failed_(std::move(failed))
{}

PwVoiceStream::~PwVoiceStream()
{
    // With the loop stopped no callback runs; the listeners go first so that our own
    // disconnecting is nobody's news.
    if (loop_)
        pw_thread_loop_stop(loop_);
    if (stream_) {
        spa_hook_remove(&streamListener_);
        pw_stream_destroy(stream_);
    }
    if (core_) {
        spa_hook_remove(&coreListener_);
        pw_core_disconnect(core_);
    }
    if (context_)
        pw_context_destroy(context_);
    if (loop_)
        pw_thread_loop_destroy(loop_);
}

bool PwVoiceStream::Start(const QString& device, int quantum, QString& why)
{
    initOnce();
    loop_ = pw_thread_loop_new("parlavue-voice", nullptr);
    if (!loop_ || pw_thread_loop_start(loop_) < 0) {
        why = QStringLiteral("no PipeWire loop");
        return false;
    }
    pw_thread_loop_lock(loop_);
    const bool ok = connectLocked(device, quantum, why);
    if (ok)
        started_ = true;
    pw_thread_loop_unlock(loop_);
    return ok;
}

bool PwVoiceStream::connectLocked(const QString& device, int quantum, QString& why)
{
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
    core_ = context_ ? pw_context_connect(context_, nullptr, 0) : nullptr;
    if (!core_) {
        why = QStringLiteral("PipeWire does not answer: %1")
                  .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    static const pw_core_events coreEvents = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = onCoreError;
        return e;
    }();
    pw_core_add_listener(core_, &coreListener_, &coreEvents, this);

    pw_properties* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                             playback_ ? "Playback" : "Capture", PW_KEY_MEDIA_ROLE,
                                             "Communication", PW_KEY_APP_NAME, "Parlavue", nullptr);
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%d/%d", quantum, kRateHz);
    // The default, where a user set one for PulseAudio's clients, is that one.
    const QString fallback = qEnvironmentVariable(playback_ ? "PULSE_SINK" : "PULSE_SOURCE");
    if (!device.isEmpty() || !fallback.isEmpty()) {
        QString target = device.isEmpty() ? fallback : device;
        if (!playback_ && target.endsWith(QLatin1String(".monitor"))) {
            target.chop(int(qstrlen(".monitor")));
            pw_properties_set(props, PW_KEY_STREAM_CAPTURE_SINK, "true");
        }
        pw_properties_set(props, PW_KEY_TARGET_OBJECT, target.toUtf8().constData());
        if (!device.isEmpty())
            pw_properties_set(props, PW_KEY_NODE_DONT_RECONNECT, "true");
    }
    stream_ = pw_stream_new(core_, "Voice", props);
    if (!stream_) {
        why = QStringLiteral("no PipeWire stream");
        return false;
    }
    static const pw_stream_events streamEvents = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = onState;
        e.process = onProcess;
        return e;
    }();
    pw_stream_add_listener(stream_, &streamListener_, &streamEvents, this);

    uint8_t buffer[256];
    spa_pod_builder builder{};
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16;
    info.rate = kRateHz;
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                       PW_STREAM_FLAG_RT_PROCESS);
    if (pw_stream_connect(stream_, playback_ ? PW_DIRECTION_OUTPUT : PW_DIRECTION_INPUT, PW_ID_ANY,
                          flags, params, 1) < 0) {
        why = QStringLiteral("the PipeWire stream does not connect");
        return false;
    }
    timespec deadline{};
    pw_thread_loop_get_time(loop_, &deadline, kBudgetNs);
    while (state_ != PW_STREAM_STATE_STREAMING && state_ != PW_STREAM_STATE_ERROR && !coreLost_)
        if (pw_thread_loop_timed_wait_full(loop_, &deadline) != 0)
            break;
    if (state_ == PW_STREAM_STATE_STREAMING)
        return true;
    why = !error_.isEmpty()  ? error_
          : device.isEmpty() ? QStringLiteral("no device plays or records")
                             : QStringLiteral("%1 does not play or record").arg(device);
    return false;
}

double PwVoiceStream::DelayMs() const
{
    if (!stream_ || !started_)
        return -1;
    pw_time time{};
    if (pw_stream_get_time_n(stream_, &time, sizeof time) < 0 || time.rate.denom == 0)
        return -1;
    return 1000.0 * double(time.delay) * time.rate.num / time.rate.denom +
           1000.0 * double(time.buffered) / kRateHz;
}

void PwVoiceStream::fail(const QString& why)
{
    if (!started_ || failedOnce_.exchange(true))
        return;
    qCWarning(lcVoice).noquote() << "PipeWire stream failed:" << why;
    if (failed_)
        failed_(why);
}

void PwVoiceStream::onState(void* self, pw_stream_state, pw_stream_state state, const char* error)
{
    auto* p = static_cast<PwVoiceStream*>(self);
    qCDebug(lcVoice) << (p->playback_ ? "speaker" : "microphone") << "PipeWire stream"
                     << pw_stream_state_as_string(state) << (error ? error : "");
    p->state_ = state;
    if (error)
        p->error_ = QString::fromUtf8(error);
    // A chosen device that goes away leaves the stream unlinked for good.
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
        p->fail(p->error_.isEmpty() ? QStringLiteral("the device went away") : p->error_);
    pw_thread_loop_signal(p->loop_, false);
}

void PwVoiceStream::onProcess(void* self)
{
    auto* p = static_cast<PwVoiceStream*>(self);
    p->process_(p->stream_);
}

void PwVoiceStream::onCoreError(void* self, uint32_t id, int, int res, const char* message)
{
    auto* p = static_cast<PwVoiceStream*>(self);
    qCDebug(lcVoice) << "PipeWire error on" << id << ":" << res << message;
    if (id != PW_ID_CORE)
        return;
    p->coreLost_ = true;
    p->error_ = QString::fromUtf8(message ? message : "PipeWire went away");
    p->fail(p->error_);
    pw_thread_loop_signal(p->loop_, false);
}

} // namespace voicelink
