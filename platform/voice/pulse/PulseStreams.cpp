#include "platform/voice/pulse/PulseStreams.h"

namespace voicelink {

namespace {

constexpr uint32_t kRateHz = 48000;

} // namespace

uint32_t voiceBytes(int ms)
{
    return kRateHz / 1000 * uint32_t(ms) * sizeof(int16_t);
}

pa_stream* newVoiceStream(PulseConnection& connection, const char* name,
                          pa_stream_notify_cb_t onState, void* self)
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRateHz, 1};
    pa_stream* stream = pa_stream_new(connection.Context(), name, &format, nullptr);
    if (stream)
        pa_stream_set_state_callback(stream, onState, self);
    return stream;
}

pa_stream_flags_t voiceStreamFlags(const QString& device)
{
    auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING |
                                   PA_STREAM_AUTO_TIMING_UPDATE);
    return device.isEmpty() ? flags : pa_stream_flags_t(flags | PA_STREAM_DONT_MOVE);
}

bool waitForStream(PulseConnection& connection, pa_stream* stream)
{
    return connection.WaitUntil(
        [stream] { return pa_stream_get_state(stream) == PA_STREAM_READY; },
        [stream] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); });
}

double streamLatencyMs(const PulseConnection& connection, pa_stream* stream)
{
    if (!connection.Loop() || !stream)
        return -1;
    pa_threaded_mainloop_lock(connection.Loop());
    pa_usec_t latency = 0;
    int negative = 0;
    const bool known = pa_stream_get_latency(stream, &latency, &negative) == 0;
    pa_threaded_mainloop_unlock(connection.Loop());
    return known && !negative ? latency / 1000.0 : -1;
}

void releaseStream(pa_stream*& stream)
{
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

} // namespace voicelink
