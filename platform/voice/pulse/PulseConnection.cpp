#include "platform/voice/pulse/PulseConnection.h"

#include "platform/logging/Logging.h"

#include <pulse/pulseaudio.h>

#include <chrono>

namespace voicelink {

namespace {

constexpr auto kBudget = std::chrono::seconds(3);

} // namespace

PulseConnection::PulseConnection(Failed failed) : failed_(std::move(failed)) {}

PulseConnection::~PulseConnection()
{
    Stop();
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseConnection::ConnectLocked(QString& why)
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        why = QStringLiteral("no sound server loop");
        return false;
    }
    running_ = true;
    Lock();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Parlavue");
    if (context_)
        pa_context_set_state_callback(context_, onState, this);
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !WaitUntil([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
                   [this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)); })) {
        why = context_ ? LastError() : QStringLiteral("no sound server context");
        Unlock();
        return false;
    }
    return true;
}

bool PulseConnection::WaitUntil(const std::function<bool()>& ready,
                                const std::function<bool()>& failed)
{
    // A timer wakes the wait in case the server never answers; nothing runs an event loop.
    const auto deadline = std::chrono::steady_clock::now() + kBudget;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    timeval at{};
    pa_timeval_add(pa_gettimeofday(&at),
                   pa_usec_t(std::chrono::microseconds(kBudget).count()) + 1000);
    pa_time_event* alarm = api->time_new(
        api, &at,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
        },
        loop_);
    while (!ready() && !failed() && std::chrono::steady_clock::now() < deadline)
        pa_threaded_mainloop_wait(loop_);
    if (alarm)
        api->time_free(alarm);
    return ready();
}

void PulseConnection::Lock()
{
    pa_threaded_mainloop_lock(loop_);
}

void PulseConnection::Unlock()
{
    pa_threaded_mainloop_unlock(loop_);
}

void PulseConnection::Stop()
{
    if (running_)
        pa_threaded_mainloop_stop(loop_);
    running_ = false;
}

void PulseConnection::Signal()
{
    pa_threaded_mainloop_signal(loop_, 0);
}

QString PulseConnection::LastError() const
{
    const int error = context_ ? pa_context_errno(context_) : 0;
    return error ? QString::fromUtf8(pa_strerror(error)) : QStringLiteral("no answer");
}

void PulseConnection::Fail(const QString& why)
{
    if (!started_ || failedOnce_.exchange(true))
        return;
    qCWarning(lcVoice).noquote() << "sound server stream failed:" << why;
    if (failed_)
        failed_(why);
}

void PulseConnection::onState(pa_context* c, void* self)
{
    auto* p = static_cast<PulseConnection*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c)))
        p->Fail(p->LastError());
    p->Signal();
}

} // namespace voicelink
