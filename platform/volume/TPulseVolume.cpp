#include "platform/volume/TPulseVolume.h"

#include "platform/logging/Logging.h"

#include <QLoggingCategory>

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Everything one call does, connecting included, must finish inside this budget.
constexpr auto kBudget = std::chrono::milliseconds(900);

struct MainloopDeleter
{
    void operator()(pa_mainloop* m) const { pa_mainloop_free(m); }
};
struct ContextDeleter
{
    void operator()(pa_context* c) const
    {
        pa_context_set_state_callback(c, nullptr, nullptr);
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};
struct OperationDeleter
{
    void operator()(pa_operation* o) const
    {
        if (pa_operation_get_state(o) == PA_OPERATION_RUNNING)
            pa_operation_cancel(o);
        pa_operation_unref(o);
    }
};

using MainloopPtr = std::unique_ptr<pa_mainloop, MainloopDeleter>;
using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;
using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;

quint16 ToScale(pa_volume_t v)
{
    if (v >= PA_VOLUME_NORM)
        return 65535;
    return static_cast<quint16>((static_cast<quint64>(v) * 65535 + PA_VOLUME_NORM / 2) /
                                PA_VOLUME_NORM);
}

pa_volume_t FromScale(quint16 v)
{
    return static_cast<pa_volume_t>((static_cast<quint64>(v) * PA_VOLUME_NORM + 32767) / 65535);
}

// One short-lived connection to the sound server, driven by hand until a deadline.
class TPulseSession
{
public:
    TPulseSession() : m_deadline(Clock::now() + kBudget) {}

    bool Connect()
    {
        m_loop.reset(pa_mainloop_new());
        if (!m_loop)
            return false;
        m_context.reset(pa_context_new(pa_mainloop_get_api(m_loop.get()), "Parlavue"));
        if (!m_context)
            return false;
        if (pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            qCDebug(lcVolume) << "connect failed:" << pa_strerror(pa_context_errno(Context()));
            return false;
        }
        while (true) {
            const pa_context_state_t state = pa_context_get_state(Context());
            if (state == PA_CONTEXT_READY)
                return true;
            if (!PA_CONTEXT_IS_GOOD(state)) {
                qCDebug(lcVolume) << "no sound server:" << pa_strerror(pa_context_errno(Context()));
                return false;
            }
            if (!Iterate())
                return false;
        }
    }

    // Runs the loop until the operation is done; false on timeout or a lost connection.
    bool Wait(pa_operation* op)
    {
        const OperationPtr guard(op);
        if (!guard) {
            qCDebug(lcVolume) << "request failed:" << pa_strerror(pa_context_errno(Context()));
            return false;
        }
        while (pa_operation_get_state(guard.get()) == PA_OPERATION_RUNNING) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(Context())) || !Iterate())
                return false;
        }
        return pa_operation_get_state(guard.get()) == PA_OPERATION_DONE;
    }

    pa_context* Context() const { return m_context.get(); }

private:
    // One pass of the loop, waiting no longer than the time left; false once it is spent.
    bool Iterate()
    {
        const auto left = m_deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            qCDebug(lcVolume) << "sound server timed out";
            return false;
        }
        const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        if (pa_mainloop_prepare(m_loop.get(), static_cast<int>(usec) + 1) < 0 ||
            pa_mainloop_poll(m_loop.get()) < 0 || pa_mainloop_dispatch(m_loop.get()) < 0)
            return false;
        return true;
    }

    Clock::time_point m_deadline;
    MainloopPtr m_loop;
    ContextPtr m_context;
};

std::optional<std::string> DefaultSinkName(TPulseSession& session)
{
    std::optional<std::string> name;
    auto onInfo = [](pa_context*, const pa_server_info* info, void* user) {
        if (info && info->default_sink_name && *info->default_sink_name)
            *static_cast<std::optional<std::string>*>(user) = info->default_sink_name;
    };
    if (!session.Wait(pa_context_get_server_info(session.Context(), onInfo, &name)))
        return std::nullopt;
    if (!name)
        qCDebug(lcVolume) << "no default sink";
    return name;
}

std::optional<pa_cvolume> SinkVolume(TPulseSession& session, const std::string& sink)
{
    std::optional<pa_cvolume> volume;
    auto onInfo = [](pa_context*, const pa_sink_info* info, int eol, void* user) {
        if (eol == 0 && info)
            *static_cast<std::optional<pa_cvolume>*>(user) = info->volume;
    };
    if (!session.Wait(
            pa_context_get_sink_info_by_name(session.Context(), sink.c_str(), onInfo, &volume)))
        return std::nullopt;
    if (!volume || volume->channels == 0) {
        qCDebug(lcVolume) << "sink has no volume:" << sink.c_str();
        return std::nullopt;
    }
    return volume;
}

struct TDefaultSink
{
    std::string name;
    pa_cvolume volume;
};

// The default output and its volume, over a connected session.
std::optional<TDefaultSink> DefaultSink(TPulseSession& session)
{
    if (!session.Connect())
        return std::nullopt;
    auto name = DefaultSinkName(session);
    if (!name)
        return std::nullopt;
    auto volume = SinkVolume(session, *name);
    if (!volume)
        return std::nullopt;
    return TDefaultSink{std::move(*name), *volume};
}

} // namespace

bool TPulseVolume::GetWaveOutVolume(quint16& left, quint16& right)
{
    TPulseSession session;
    const auto sink = DefaultSink(session);
    if (!sink)
        return false;
    const pa_cvolume* volume = &sink->volume;
    left = ToScale(volume->values[0]);
    right = ToScale(volume->values[volume->channels > 1 ? 1 : 0]);
    return true;
}

bool TPulseVolume::SetWaveOutVolume(quint32 value)
{
    const auto left = static_cast<quint16>(value & 0xFFFF);
    const auto right = static_cast<quint16>(value >> 16);
    TPulseSession session;
    auto sink = DefaultSink(session);
    if (!sink)
        return false;
    // Keep the sink's channel count; extra channels beyond the first two follow the left.
    pa_cvolume* volume = &sink->volume;
    if (volume->channels == 1) {
        volume->values[0] = FromScale(static_cast<quint16>((quint32(left) + right) / 2));
    } else {
        for (unsigned i = 0; i < volume->channels; ++i)
            volume->values[i] = FromScale(left);
        volume->values[1] = FromScale(right);
    }
    bool applied = false;
    auto onDone = [](pa_context*, int success, void* user) {
        *static_cast<bool*>(user) = success != 0;
    };
    if (!session.Wait(pa_context_set_sink_volume_by_name(session.Context(), sink->name.c_str(),
                                                         volume, onDone, &applied)))
        return false;
    if (!applied)
        qCDebug(lcVolume) << "sink refused the volume:" << sink->name.c_str();
    return applied;
}
