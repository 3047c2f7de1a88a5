#include "platform/voice/pipewire/PwPlayout.h"

#include "platform/voice/pulse/PlayoutQueue.h"

#include <algorithm>

namespace voicelink {

PwPlayout::PwPlayout(PlayoutQueue& queue, Played played, Failed failed, int quantum)
    : queue_(queue), played_(std::move(played)), quantum_(quantum),
      stream_(
          true, [this](pw_stream* s) { process(s); }, std::move(failed))
{}

bool PwPlayout::Start(const QString& device, int, int, QString& why)
{
    return stream_.Start(device, quantum_, why);
}

double PwPlayout::HeldMs() const
{
    const double delay = stream_.DelayMs();
    return 1000.0 * quantum_ / 48000 + std::max(0.0, delay);
}

void PwPlayout::process(pw_stream* s)
{
    pw_buffer* b = pw_stream_dequeue_buffer(s);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    size_t count = d.data ? d.maxsize / sizeof(int16_t) : 0;
    if (b->requested)
        count = std::min<size_t>(count, b->requested);
    if (count) {
        auto* samples = static_cast<int16_t*>(d.data);
        queue_.Pull(samples, count);
        if (played_)
            played_(samples, count);
    }
    d.chunk->offset = 0;
    d.chunk->stride = sizeof(int16_t);
    d.chunk->size = uint32_t(count * sizeof(int16_t));
    pw_stream_queue_buffer(s, b);
}

} // namespace voicelink
