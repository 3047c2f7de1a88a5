#pragma once

#include "platform/voice/pulse/PulseConnection.h"
#include "platform/voice/streams/DeviceStreams.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

struct pa_stream;

namespace voicelink {

// The microphone as a record stream of the sound server's own, read on its thread as soon as
// the server has a fragment, and handed on a whole frame at a time. Everything the server
// holds is taken at once, so no backlog builds up there.
class PulseCapture : public CaptureStream
{
public:
    PulseCapture(size_t frameSamples, CaptureFrames::Frame frame, PulseConnection::Failed failed);
    ~PulseCapture() override;
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    bool Start(const QString& device, int fragmentMs, QString& why) override;

private:
    static void onState(pa_stream* s, void* self);
    static void onRead(pa_stream* s, size_t bytes, void* self);

    CaptureFrames frames_; // the loop's thread only
    PulseConnection connection_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> raised_{false};
};

} // namespace voicelink
