#pragma once

#include "platform/voice/pipewire/PwVoiceStream.h"
#include "platform/voice/streams/DeviceStreams.h"

namespace voicelink {

// The microphone as a PipeWire stream: every cycle's samples go into whole frames at once.
class PwCapture : public CaptureStream
{
public:
    PwCapture(size_t frameSamples, CaptureFrames::Frame frame, PlayoutStream::Failed failed,
              int quantum);

    bool Start(const QString& device, int fragmentMs, QString& why) override;

private:
    void process(pw_stream* s);

    CaptureFrames frames_; // PipeWire's thread only
    const int quantum_;
    PwVoiceStream stream_; // last: gone first
};

} // namespace voicelink
