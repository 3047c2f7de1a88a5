#pragma once

#include <QString>

#include <atomic>
#include <functional>

struct pa_threaded_mainloop;
struct pa_context;

namespace voicelink {

// A connection of our own to the sound server, on a thread of its own, for one voice stream.
// Its owner makes the stream under Lock(), waits for it with WaitUntil, and lets the loop
// stop (Stop) before it lets the stream go. Failures after Started() reach the owner's
// handler once, on the loop's thread.
class PulseConnection
{
public:
    using Failed = std::function<void(const QString& why)>;

    explicit PulseConnection(Failed failed);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects and returns with the loop locked when true; why says what failed otherwise.
    bool ConnectLocked(QString& why);
    // Under the lock: waits until ready() or failed() holds, or a few seconds have passed.
    bool WaitUntil(const std::function<bool()>& ready, const std::function<bool()>& failed);
    void Unlock();
    void Lock();
    // The stream plays: from now on a failure is the owner's news.
    void Started() { started_ = true; }
    // Stops the loop's thread: no callback runs after it.
    void Stop();
    // Called on the loop's thread when the stream or the connection fails.
    void Fail(const QString& why);
    // Wakes WaitUntil; for the stream's own state callback.
    void Signal();

    pa_context* Context() const { return context_; }
    pa_threaded_mainloop* Loop() const { return loop_; }
    QString LastError() const;

private:
    static void onState(pa_context* c, void* self);

    Failed failed_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool running_ = false;
    std::atomic<bool> started_{false};
    std::atomic<bool> failedOnce_{false};
};

} // namespace voicelink
