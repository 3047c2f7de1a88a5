#pragma once

#include "platform/voice/streams/CaptureFrames.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace voicelink {

class PlayoutQueue;

// The speaker and the microphone as streams of the sound server's own: over its PulseAudio
// protocol, or PipeWire's own where the session runs PipeWire (its PulseAudio server cannot go
// below a quantum of 256 and hands out uneven requests).
class PlayoutStream
{
public:
    // Called on the server's thread with what goes to the device, as it goes (the echo
    // canceller's reference).
    using Played = std::function<void(const int16_t* samples, size_t count)>;
    using Failed = std::function<void(const QString& why)>;

    virtual ~PlayoutStream() = default;
    // Opens the device ("" the server's default), asking for bufferMs held and topped up in
    // steps of requestMs, and waits until it plays or fails (at most a few seconds).
    virtual bool Start(const QString& device, int bufferMs, int requestMs, QString& why) = 0;
    // What a sample waits on average in the stream before it is heard, as asked for.
    virtual double HeldMs() const = 0;
    // What the server says samples wait now, -1 not known.
    virtual double LatencyMs() const = 0;
};

class CaptureStream
{
public:
    virtual ~CaptureStream() = default;
    // Opens the device ("" the server's default), delivering fragments of fragmentMs, and
    // waits until it records or fails (at most a few seconds).
    virtual bool Start(const QString& device, int fragmentMs, QString& why) = 0;
};

// On the UI thread: the streams of the session's sound server. PARLAVUE_VOICE_SERVER=pulse or
// =pipewire chooses; otherwise PipeWire's own streams serve when its PulseAudio server is the
// one that answers and PipeWire takes a connection.
std::unique_ptr<PlayoutStream> makePlayout(PlayoutQueue& queue, PlayoutStream::Played played,
                                           PlayoutStream::Failed failed);
std::unique_ptr<CaptureStream> makeCapture(size_t frameSamples, CaptureFrames::Frame frame,
                                           PlayoutStream::Failed failed);

} // namespace voicelink
