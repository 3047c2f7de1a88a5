#include "platform/voice/pulse/PulseCapture.h"

#include "platform/voice/pulse/PulseStreams.h"
#include "platform/voice/rt/RealtimeThread.h"

#include <pulse/pulseaudio.h>

namespace voicelink {

PulseCapture::PulseCapture(size_t frameSamples, CaptureFrames::Frame frame,
                           PulseConnection::Failed failed)
    : frames_(frameSamples, std::move(frame)), connection_(std::move(failed))
{}

PulseCapture::~PulseCapture()
{
    connection_.Stop();
    releaseStream(stream_);
}

bool PulseCapture::Start(const QString& device, int fragmentMs, QString& why)
{
    if (!connection_.ConnectLocked(why))
        return false;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = voiceBytes(fragmentMs);
    attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
    stream_ = newVoiceStream(connection_, "Voice", onState, this);
    if (stream_)
        pa_stream_set_read_callback(stream_, onRead, this);
    const QByteArray name = device.toUtf8();
    const bool ok = stream_ &&
                    pa_stream_connect_record(stream_, device.isEmpty() ? nullptr : name.constData(),
                                             &attr, voiceStreamFlags(device)) == 0 &&
                    waitForStream(connection_, stream_);
    if (ok)
        connection_.Started();
    else
        why = connection_.LastError();
    connection_.Unlock();
    return ok;
}

void PulseCapture::onState(pa_stream* s, void* self)
{
    auto* p = static_cast<PulseCapture*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s)))
        p->connection_.Fail(p->connection_.LastError());
    p->connection_.Signal();
}

void PulseCapture::onRead(pa_stream* s, size_t, void* self)
{
    auto* p = static_cast<PulseCapture*>(self);
    if (!p->raised_.exchange(true))
        RaiseThisThread("microphone");
    while (pa_stream_readable_size(s) > 0) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0)
            return;
        // A hole (no data for a while) is not voice: it moves the clock on.
        if (data)
            p->frames_.Add(static_cast<const int16_t*>(data), bytes / sizeof(int16_t));
        else
            p->frames_.Skip(bytes / sizeof(int16_t));
        pa_stream_drop(s);
    }
    p->frames_.Deliver();
}

} // namespace voicelink
