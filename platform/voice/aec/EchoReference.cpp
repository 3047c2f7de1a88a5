#include "platform/voice/aec/EchoReference.h"

#include <algorithm>

namespace voicelink {

void EchoReference::Push(const int16_t* samples, size_t count)
{
    std::lock_guard lock(mutex);
    // Only the newest kMaxSamples can be kept; the older part of a huge buffer goes at once.
    if (count > kMaxSamples) {
        dropped += count - kMaxSamples;
        samples += count - kMaxSamples;
        count = kMaxSamples;
    }
    const size_t overflow = size + count > kMaxSamples ? size + count - kMaxSamples : 0;
    head = (head + overflow) % kMaxSamples;
    size -= overflow;
    dropped += overflow;
    size_t tail = (head + size) % kMaxSamples;
    while (count > 0) {
        const size_t run = std::min(count, kMaxSamples - tail);
        std::copy_n(samples, run, ring.begin() + std::ptrdiff_t(tail));
        samples += run;
        count -= run;
        size += run;
        tail = (tail + run) % kMaxSamples;
    }
}

size_t EchoReference::TakeFrames(size_t frameSamples, std::vector<int16_t>& out)
{
    if (frameSamples == 0)
        return 0;
    std::lock_guard lock(mutex);
    const size_t frames = size / frameSamples;
    size_t count = frames * frameSamples;
    out.reserve(out.size() + count);
    while (count > 0) {
        const size_t run = std::min(count, kMaxSamples - head);
        out.insert(out.end(), ring.begin() + std::ptrdiff_t(head),
                   ring.begin() + std::ptrdiff_t(head + run));
        head = (head + run) % kMaxSamples;
        size -= run;
        count -= run;
    }
    return frames;
}

void EchoReference::Clear()
{
    std::lock_guard lock(mutex);
    head = 0;
    size = 0;
}

size_t EchoReference::Waiting() const
{
    std::lock_guard lock(mutex);
    return size;
}

uint64_t EchoReference::Dropped() const
{
    std::lock_guard lock(mutex);
    return dropped;
}

} // namespace voicelink
