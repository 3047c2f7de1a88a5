#include "platform/voice/pipewire/PwCapture.h"

#include <algorithm>

namespace voicelink {

PwCapture::PwCapture(size_t frameSamples, CaptureFrames::Frame frame, PlayoutStream::Failed failed,
                     int quantum)
    : frames_(frameSamples, std::move(frame)), quantum_(quantum),
      stream_(
          false, [this](pw_stream* s) { process(s); }, std::move(failed))
{}

bool PwCapture::Start(const QString& device, int, QString& why)
{
    return stream_.Start(device, quantum_, why);
}

void PwCapture::process(pw_stream* s)
{
    pw_buffer* b = pw_stream_dequeue_buffer(s);
    if (!b)
        return;
    const spa_data& d = b->buffer->datas[0];
    // The chunk's place is the server's word: kept inside the mapped buffer.
    if (d.data && d.chunk->offset <= d.maxsize) {
        const uint32_t size = std::min(d.chunk->size, d.maxsize - d.chunk->offset);
        frames_.Add(
            reinterpret_cast<const int16_t*>(static_cast<const uint8_t*>(d.data) + d.chunk->offset),
            size / sizeof(int16_t));
    }
    pw_stream_queue_buffer(s, b);
    frames_.Deliver();
}

} // namespace voicelink
