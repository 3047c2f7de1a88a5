#pragma once

#include "platform/voice/pipewire/PwVoiceStream.h"
#include "platform/voice/streams/DeviceStreams.h"

namespace voicelink {

// The speaker as a PipeWire stream fed from the playout queue in every cycle of the graph:
// one quantum asked for, one quantum given, silence for what the network has not delivered.
class PwPlayout : public PlayoutStream
{
public:
    PwPlayout(PlayoutQueue& queue, Played played, Failed failed, int quantum);

    bool Start(const QString& device, int bufferMs, int requestMs, QString& why) override;
    // What we hand out is heard a cycle later; the device's own delay comes on top.
    double HeldMs() const override;
    double LatencyMs() const override { return stream_.DelayMs(); }

private:
    void process(pw_stream* s);

    PlayoutQueue& queue_;
    Played played_;
    const int quantum_;
    PwVoiceStream stream_; // last: gone first, with the thread that reads the rest
};

} // namespace voicelink
