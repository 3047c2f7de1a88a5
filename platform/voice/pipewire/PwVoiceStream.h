#pragma once

#include <QString>

#include <pipewire/pipewire.h>

#include <atomic>
#include <functional>

namespace voicelink {

// One mono 48 kHz voice stream of PipeWire's own, on a loop thread of its own: the graph runs
// it every cycle of the quantum asked for, and its process callback runs on PipeWire's
// real-time thread. A chosen device that goes away ends the stream (no moving on to another),
// so the link can say so and fall back; the default device follows the session's default.
class PwVoiceStream
{
public:
    using Process = std::function<void(pw_stream*)>;
    using Failed = std::function<void(const QString& why)>;

    PwVoiceStream(bool playback, Process process, Failed failed);
    ~PwVoiceStream();
    PwVoiceStream(const PwVoiceStream&) = delete;
    PwVoiceStream& operator=(const PwVoiceStream&) = delete;

    // Connects to device ("" the default, or PULSE_SINK / PULSE_SOURCE where set; a
    // PulseAudio-style "X.monitor" records what sink X plays) asking for a cycle of quantum
    // samples, and waits until it streams or fails (at most a few seconds). Failures after that
    // reach the owner's handler once.
    bool Start(const QString& device, int quantum, QString& why);
    // What samples wait now between the stream and the device, -1 not known.
    double DelayMs() const;

private:
    bool connectLocked(const QString& device, int quantum, QString& why);
    void fail(const QString& why);
    static void onState(void* self, pw_stream_state old, pw_stream_state state, const char* error);
    static void onProcess(void* self);
    static void onCoreError(void* self, uint32_t id, int seq, int res, const char* message);

    const bool playback_;
    Process process_;
    Failed failed_;
    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook coreListener_{};
    spa_hook streamListener_{};
    pw_stream_state state_ = PW_STREAM_STATE_UNCONNECTED; // under the loop's lock
    QString error_;                                       // under the loop's lock
    bool coreLost_ = false;                               // under the loop's lock
    std::atomic<bool> started_{false};
    std::atomic<bool> failedOnce_{false};
};

} // namespace voicelink
