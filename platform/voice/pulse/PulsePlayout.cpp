#include "platform/voice/pulse/PulsePlayout.h"

#include "platform/logging/Logging.h"
#include "platform/voice/pulse/PlayoutQueue.h"
#include "platform/voice/pulse/PulseStreams.h"
#include "platform/voice/rt/RealtimeThread.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace voicelink {

PulsePlayout::PulsePlayout(PlayoutQueue& queue, Played played, Failed failed)
    : queue_(queue), played_(std::move(played)), connection_(std::move(failed))
{}

PulsePlayout::~PulsePlayout()
{
    connection_.Stop();
    releaseStream(stream_);
}

bool PulsePlayout::Start(const QString& device, int bufferMs, int requestMs, QString& why)
{
    bufferMs_ = bufferMs;
    requestMs_ = requestMs;
    if (!connection_.ConnectLocked(why))
        return false;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = voiceBytes(bufferMs);
    attr.prebuf = uint32_t(-1);
    attr.minreq = voiceBytes(requestMs);
    attr.fragsize = uint32_t(-1);
    stream_ = newVoiceStream(connection_, "Voice", onState, this);
    if (stream_)
        pa_stream_set_write_callback(stream_, onWrite, this);
    const QByteArray name = device.toUtf8();
    const bool ok =
        stream_ &&
        pa_stream_connect_playback(stream_, device.isEmpty() ? nullptr : name.constData(), &attr,
                                   voiceStreamFlags(device), nullptr, nullptr) == 0 &&
        waitForStream(connection_, stream_);
    if (ok)
        connection_.Started();
    else
        why = connection_.LastError();
    connection_.Unlock();
    return ok;
}

double PulsePlayout::LatencyMs() const
{
    return streamLatencyMs(connection_, stream_);
}

void PulsePlayout::onState(pa_stream* s, void* self)
{
    auto* p = static_cast<PulsePlayout*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
        p->connection_.Fail(p->connection_.LastError());
    p->connection_.Signal();
}

void PulsePlayout::onWrite(pa_stream* s, size_t bytes, void* self)
{
    auto* p = static_cast<PulsePlayout*>(self);
    if (!p->raised_.exchange(true))
        RaiseThisThread("speaker");
    // The server may hand out less room at once than it asked for.
    while (bytes >= sizeof(int16_t)) {
        void* data = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(s, &data, &size) < 0 || !data)
            return;
        size -= size % sizeof(int16_t);
        if (size == 0) {
            pa_stream_cancel_write(s);
            return;
        }
        auto* samples = static_cast<int16_t*>(data);
        const size_t count = size / sizeof(int16_t);
        p->queue_.Pull(samples, count);
        if (p->played_)
            p->played_(samples, count);
        if (pa_stream_write(s, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= std::min(bytes, size);
    }
}

} // namespace voicelink
