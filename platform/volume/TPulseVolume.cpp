#include "platform/volume/TPulseVolume.h"

#include "platform/logging/Logging.h"

#include <QLoggingCategory>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long the first reading may hold up its caller, connecting included.
constexpr milliseconds kFirstReadBudget{900};
// A server that takes the connection but never answers is given up after this long.
constexpr milliseconds kConnectTimeout{5000};
// Pauses between attempts to reach the server, doubling from the first up to the last.
constexpr milliseconds kRetryFirst{1000};
constexpr milliseconds kRetryLast{10000};

struct ThreadedMainloopDeleter
{
    void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_free(m); }
};
struct ContextDeleter
{
    void operator()(pa_context* c) const
    {
        pa_context_set_state_callback(c, nullptr, nullptr);
        pa_context_set_subscribe_callback(c, nullptr, nullptr);
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};
// A request goes on after our reference is dropped; its callback brings the answer.
struct OperationDeleter
{
    void operator()(pa_operation* o) const { pa_operation_unref(o); }
};
struct TimeEventDeleter
{
    pa_mainloop_api* api = nullptr;
    void operator()(pa_time_event* e) const { api->time_free(e); }
};
struct LoopUnlocker
{
    void operator()(pa_threaded_mainloop* m) const { pa_threaded_mainloop_unlock(m); }
};

using ThreadedMainloopPtr = std::unique_ptr<pa_threaded_mainloop, ThreadedMainloopDeleter>;
using ContextPtr = std::unique_ptr<pa_context, ContextDeleter>;
using OperationPtr = std::unique_ptr<pa_operation, OperationDeleter>;
using TimeEventPtr = std::unique_ptr<pa_time_event, TimeEventDeleter>;
using LoopLock = std::unique_ptr<pa_threaded_mainloop, LoopUnlocker>;

LoopLock Lock(pa_threaded_mainloop* loop)
{
    pa_threaded_mainloop_lock(loop);
    return LoopLock(loop);
}

// True when the request went out; its answer arrives in its callback.
bool Issued(pa_operation* op)
{
    const OperationPtr ref(op);
    return ref != nullptr;
}

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

// The pair on a sink with this many channels: a mono sink takes the average; otherwise
// channel 1 is the right and every other channel follows the left.
pa_cvolume VolumeFor(quint32 value, quint8 channels)
{
    const auto left = static_cast<quint16>(value & 0xFFFF);
    const auto right = static_cast<quint16>(value >> 16);
    pa_cvolume volume{};
    volume.channels = channels;
    if (channels == 1) {
        volume.values[0] = FromScale(static_cast<quint16>((quint32(left) + right) / 2));
        return volume;
    }
    for (unsigned i = 0; i < channels; ++i)
        volume.values[i] = FromScale(left);
    volume.values[1] = FromScale(right);
    return volume;
}

} // namespace

// Runs on the loop thread: every callback there holds the loop's lock, and a caller takes that
// lock before touching anything of it. What Get reads is guarded by `mutex` as well and written
// holding both, so holding either one is enough to read it.
struct TPulseVolume::TImpl
{
    TImpl();
    ~TImpl();
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

    bool Get(quint16& left, quint16& right);
    bool Set(quint32 value);

    void Connect();
    void OnReady();
    void Lost();
    void ScheduleRetry();
    TimeEventPtr Timer(milliseconds delay, pa_time_event_cb_t callback);
    void ReadServer();
    void ReadSink();
    bool SendVolume(quint32 value);
    void Publish(const std::optional<pa_cvolume>& current, bool settle);

    static void OnState(pa_context* c, void* self);
    static void OnEvent(pa_context* c, pa_subscription_event_type_t type, uint32_t index,
                        void* self);
    static void OnServerInfo(pa_context* c, const pa_server_info* info, void* self);
    static void OnSinkInfo(pa_context* c, const pa_sink_info* info, int eol, void* self);
    static void OnVolumeSet(pa_context* c, int success, void* self);
    static void OnConnectTimeout(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);
    static void OnRetry(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);

    // A read asked for while one is on its way is made once more when that one returns, so
    // a burst of change events costs two readings, not one each.
    struct TRead
    {
        bool inFlight = false;
        bool again = false;
    };

    ThreadedMainloopPtr loop; // first: outlives everything that runs on it
    pa_mainloop_api* api = nullptr;
    ContextPtr context;
    TimeEventPtr connectTimer;
    TimeEventPtr retryTimer;
    milliseconds retryDelay = kRetryFirst;
    bool ready = false;
    std::string sinkName; // the default sink; empty while unknown
    uint32_t sinkIndex = PA_INVALID_INDEX;
    TRead serverRead;
    TRead sinkRead;
    bool setInFlight = false;
    pa_cvolume sent{}; // what the request on its way asks for, and of which sink
    std::string sentTo;
    std::optional<quint32> pending; // the newest value that came while one was on its way

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<pa_cvolume> volume; // the default sink's, while known
    bool settled = false;             // the first connection has given its answer, either way
    std::optional<Clock::time_point> waitUntil; // the first Get's budget, shared by later ones
};

TPulseVolume::TImpl::TImpl() : loop(pa_threaded_mainloop_new())
{
    if (!loop) {
        qCDebug(lcVolume) << "cannot create the sound server loop";
        settled = true;
        return;
    }
    api = pa_threaded_mainloop_get_api(loop.get());
    pa_threaded_mainloop_set_name(loop.get(), "parlavue-volume");
    if (pa_threaded_mainloop_start(loop.get()) < 0) {
        qCDebug(lcVolume) << "cannot start the sound server loop";
        loop.reset();
        api = nullptr;
        settled = true;
        return;
    }
    const auto lock = Lock(loop.get());
    Connect();
}

TPulseVolume::TImpl::~TImpl()
{
    if (!loop)
        return;
    pa_threaded_mainloop_stop(loop.get());
    // The loop thread is gone: free what ran on it, then the loop itself.
    connectTimer.reset();
    retryTimer.reset();
    context.reset();
}

bool TPulseVolume::TImpl::Get(quint16& left, quint16& right)
{
    std::unique_lock lock(mutex);
    if (!waitUntil)
        waitUntil = Clock::now() + kFirstReadBudget;
    changed.wait_until(lock, *waitUntil, [this] { return settled || volume.has_value(); });
    if (!volume)
        return false;
    left = ToScale(volume->values[0]);
    right = ToScale(volume->values[volume->channels > 1 ? 1 : 0]);
    return true;
}

bool TPulseVolume::TImpl::Set(quint32 value)
{
    if (!loop)
        return false;
    const auto lock = Lock(loop.get());
    if (!ready || sinkName.empty() || !volume)
        return false;
    if (setInFlight) {
        pending = value;
        return true;
    }
    return SendVolume(value);
}

void TPulseVolume::TImpl::Connect()
{
    // The failed context goes here, never inside one of its own callbacks.
    context.reset();
    context.reset(pa_context_new(api, "Parlavue"));
    if (!context) {
        qCDebug(lcVolume) << "cannot create a sound server context";
        Lost();
        return;
    }
    pa_context_set_state_callback(context.get(), &OnState, this);
    pa_context_set_subscribe_callback(context.get(), &OnEvent, this);
    connectTimer = Timer(kConnectTimeout, &OnConnectTimeout);
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        qCDebug(lcVolume) << "connect failed:" << pa_strerror(pa_context_errno(context.get()));
        Lost();
    }
}

void TPulseVolume::TImpl::OnReady()
{
    qCDebug(lcVolume) << "connected to the sound server";
    connectTimer.reset();
    retryDelay = kRetryFirst;
    ready = true;
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                          PA_SUBSCRIPTION_MASK_SERVER);
    if (!Issued(pa_context_subscribe(context.get(), mask, nullptr, nullptr)))
        qCDebug(lcVolume) << "cannot follow sink changes:"
                          << pa_strerror(pa_context_errno(context.get()));
    ReadServer();
}

// Forgets everything learnt over the connection and tries again later. Safe to call twice.
void TPulseVolume::TImpl::Lost()
{
    ready = false;
    setInFlight = false;
    pending.reset();
    serverRead = {};
    sinkRead = {};
    sinkName.clear();
    sinkIndex = PA_INVALID_INDEX;
    connectTimer.reset();
    Publish(std::nullopt, true);
    ScheduleRetry();
}

void TPulseVolume::TImpl::ScheduleRetry()
{
    if (retryTimer)
        return;
    qCDebug(lcVolume) << "next try to reach the sound server in" << retryDelay.count() << "ms";
    retryTimer = Timer(retryDelay, &OnRetry);
    retryDelay = std::min(retryDelay * 2, kRetryLast);
}

TimeEventPtr TPulseVolume::TImpl::Timer(milliseconds delay, pa_time_event_cb_t callback)
{
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(delay.count()) * PA_USEC_PER_MSEC);
    return TimeEventPtr(api->time_new(api, &when, callback, this), TimeEventDeleter{api});
}

void TPulseVolume::TImpl::ReadServer()
{
    if (serverRead.inFlight) {
        serverRead.again = true;
        return;
    }
    if (Issued(pa_context_get_server_info(context.get(), &OnServerInfo, this))) {
        serverRead.inFlight = true;
        return;
    }
    qCDebug(lcVolume) << "cannot ask for the default sink:"
                      << pa_strerror(pa_context_errno(context.get()));
    Publish(volume, true);
}

void TPulseVolume::TImpl::ReadSink()
{
    if (sinkName.empty())
        return;
    if (sinkRead.inFlight) {
        sinkRead.again = true;
        return;
    }
    if (Issued(
            pa_context_get_sink_info_by_name(context.get(), sinkName.c_str(), &OnSinkInfo, this))) {
        sinkRead.inFlight = true;
        return;
    }
    qCDebug(lcVolume) << "cannot ask for the sink's volume:"
                      << pa_strerror(pa_context_errno(context.get()));
    Publish(volume, true);
}

bool TPulseVolume::TImpl::SendVolume(quint32 value)
{
    sent = VolumeFor(value, volume->channels);
    sentTo = sinkName;
    if (!Issued(pa_context_set_sink_volume_by_name(context.get(), sinkName.c_str(), &sent,
                                                   &OnVolumeSet, this))) {
        qCDebug(lcVolume) << "cannot set the volume:"
                          << pa_strerror(pa_context_errno(context.get()));
        return false;
    }
    setInFlight = true;
    return true;
}

void TPulseVolume::TImpl::Publish(const std::optional<pa_cvolume>& current, bool settle)
{
    {
        const std::lock_guard lock(mutex);
        volume = current;
        settled = settled || settle;
    }
    changed.notify_all();
}

void TPulseVolume::TImpl::OnState(pa_context* c, void* self)
{
    auto* d = static_cast<TImpl*>(self);
    if (c != d->context.get())
        return;
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_READY) {
        d->OnReady();
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        qCDebug(lcVolume) << "no sound server:" << pa_strerror(pa_context_errno(c));
        d->Lost();
    }
}

void TPulseVolume::TImpl::OnEvent(pa_context* c, pa_subscription_event_type_t type, uint32_t index,
                                  void* self)
{
    auto* d = static_cast<TImpl*>(self);
    if (c != d->context.get())
        return;
    const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
        d->ReadServer();
    } else if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
        if (index == d->sinkIndex && kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
            // The server names the next default sink in a server event of its own.
            d->sinkIndex = PA_INVALID_INDEX;
            d->Publish(std::nullopt, true);
            d->ReadServer();
        } else if (index == d->sinkIndex || d->sinkIndex == PA_INVALID_INDEX) {
            d->ReadSink();
        }
    }
}

void TPulseVolume::TImpl::OnServerInfo(pa_context* c, const pa_server_info* info, void* self)
{
    auto* d = static_cast<TImpl*>(self);
    if (c != d->context.get())
        return;
    d->serverRead.inFlight = false;
    const std::string name = info && info->default_sink_name ? info->default_sink_name : "";
    if (name != d->sinkName) {
        qCDebug(lcVolume) << "default sink:" << (name.empty() ? "none" : name.c_str());
        d->sinkName = name;
        d->sinkIndex = PA_INVALID_INDEX;
        d->Publish(std::nullopt, name.empty());
        d->ReadSink();
    } else if (name.empty()) {
        d->Publish(std::nullopt, true);
    } else if (!d->volume) {
        d->ReadSink();
    }
    if (d->serverRead.again) {
        d->serverRead.again = false;
        d->ReadServer();
    }
}

void TPulseVolume::TImpl::OnSinkInfo(pa_context* c, const pa_sink_info* info, int eol, void* self)
{
    auto* d = static_cast<TImpl*>(self);
    if (c != d->context.get())
        return;
    if (eol == 0) {
        // A sink read for a name that has changed since is ignored; the new name is read next.
        if (!info || d->sinkName != info->name)
            return;
        d->sinkIndex = info->index;
        if (info->volume.channels == 0)
            qCDebug(lcVolume) << "sink has no volume:" << info->name;
        d->Publish(info->volume.channels > 0 ? std::optional(info->volume) : std::nullopt, true);
        return;
    }
    d->sinkRead.inFlight = false;
    if (eol < 0) {
        qCDebug(lcVolume) << "cannot read sink" << d->sinkName.c_str() << ":"
                          << pa_strerror(pa_context_errno(c));
        d->sinkIndex = PA_INVALID_INDEX;
        d->Publish(std::nullopt, true);
    }
    if (d->sinkRead.again) {
        d->sinkRead.again = false;
        d->ReadSink();
    }
}

void TPulseVolume::TImpl::OnVolumeSet(pa_context* c, int success, void* self)
{
    auto* d = static_cast<TImpl*>(self);
    if (c != d->context.get())
        return;
    d->setInFlight = false;
    if (!success) {
        qCDebug(lcVolume) << "sink refused the volume:" << d->sentTo.c_str();
        d->ReadSink();
    } else if (d->sentTo == d->sinkName && d->volume) {
        // Known now; the change event's reading confirms it a moment later.
        d->Publish(d->sent, false);
    }
    if (d->pending) {
        const quint32 next = *d->pending;
        d->pending.reset();
        if (d->ready && !d->sinkName.empty() && d->volume)
            d->SendVolume(next);
    }
}

void TPulseVolume::TImpl::OnConnectTimeout(pa_mainloop_api*, pa_time_event*, const timeval*,
                                           void* self)
{
    auto* d = static_cast<TImpl*>(self);
    qCDebug(lcVolume) << "sound server does not answer";
    d->connectTimer.reset();
    d->context.reset();
    d->Lost();
}

void TPulseVolume::TImpl::OnRetry(pa_mainloop_api*, pa_time_event*, const timeval*, void* self)
{
    auto* d = static_cast<TImpl*>(self);
    d->retryTimer.reset();
    d->Connect();
}

TPulseVolume::TPulseVolume() : m_impl(std::make_unique<TImpl>()) {}

TPulseVolume::~TPulseVolume() = default;

bool TPulseVolume::GetWaveOutVolume(quint16& left, quint16& right)
{
    return m_impl->Get(left, right);
}

bool TPulseVolume::SetWaveOutVolume(quint32 value)
{
    return m_impl->Set(value);
}
