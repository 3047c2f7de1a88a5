#pragma once

// What the voice's playback and record streams share: their format, flags and lifetime.
#include "platform/voice/pulse/PulseConnection.h"

#include <pulse/pulseaudio.h>

#include <QString>

namespace voicelink {

uint32_t voiceBytes(int ms);
// Under the connection's lock: a mono S16LE 48 kHz stream whose state changes reach onState.
pa_stream* newVoiceStream(PulseConnection& connection, const char* name,
                          pa_stream_notify_cb_t onState, void* self);
// A chosen device that goes away ends the stream, so the link can say so and fall back; the
// default device follows the server's default.
pa_stream_flags_t voiceStreamFlags(const QString& device);
bool waitForStream(PulseConnection& connection, pa_stream* stream);
double streamLatencyMs(const PulseConnection& connection, pa_stream* stream);
// After the connection's loop has stopped.
void releaseStream(pa_stream*& stream);

} // namespace voicelink
