#include "platform/voice/pulse/PlayoutQueue.h"

#include <algorithm>

namespace voicelink {

namespace {

constexpr int kMaxHeldMs = 1000; // a peer that sends faster than real time cannot grow it past

} // namespace

PlayoutQueue::PlayoutQueue(int rateHz)
    : rate_(rateHz), maxHeld_(size_t(rateHz) * kMaxHeldMs / 1000), margin_(size_t(rateHz) / 500)
{}

void PlayoutQueue::Push(const int16_t* samples, size_t count)
{
    std::lock_guard lock(mutex_);
    started_ = true;
    samples_.insert(samples_.end(), samples, samples + count);
    if (samples_.size() > maxHeld_) {
        const size_t excess = samples_.size() - maxHeld_;
        samples_.erase(samples_.begin(), samples_.begin() + std::ptrdiff_t(excess));
        trimmed_ += excess;
    }
}

size_t PlayoutQueue::Pull(int16_t* out, size_t count)
{
    std::lock_guard lock(mutex_);
    const size_t have = std::min(count, samples_.size());
    std::copy_n(samples_.begin(), have, out);
    std::fill_n(out + have, count - have, int16_t(0));
    samples_.erase(samples_.begin(), samples_.begin() + std::ptrdiff_t(have));
    if (started_)
        underrun_ += count - have;
    lowest_ = std::min(lowest_, samples_.size());
    pulledInWindow_ += count;
    if (pulledInWindow_ >= size_t(rate_) * kWindowMs / 1000)
        trimLocked();
    return have;
}

void PlayoutQueue::trimLocked()
{
    // Never below the margin, and a little slack so that it does not trim every window.
    const size_t slack = size_t(rate_) / 1000;
    if (lowest_ != SIZE_MAX && lowest_ > margin_ + slack && samples_.size() > lowest_ - margin_) {
        const size_t drop = lowest_ - margin_;
        // Fade from the samples dropped into those kept, so that the cut does not click.
        const size_t fade = std::min<size_t>(kCrossFade, samples_.size() - drop);
        for (size_t i = 0; i < fade; ++i) {
            const double w = double(i + 1) / double(fade + 1);
            samples_[drop + i] = int16_t(samples_[i] * (1 - w) + samples_[drop + i] * w);
        }
        samples_.erase(samples_.begin(), samples_.begin() + std::ptrdiff_t(drop));
        trimmed_ += drop;
        ++trims_;
    }
    lowest_ = SIZE_MAX;
    pulledInWindow_ = 0;
}

void PlayoutQueue::SetMarginMs(int ms)
{
    std::lock_guard lock(mutex_);
    margin_ = size_t(std::clamp(ms, 0, kMaxHeldMs / 2)) * size_t(rate_) / 1000;
}

void PlayoutQueue::Clear()
{
    std::lock_guard lock(mutex_);
    samples_.clear();
    lowest_ = SIZE_MAX;
    pulledInWindow_ = 0;
    started_ = false;
}

PlayoutQueue::Figures PlayoutQueue::Now() const
{
    std::lock_guard lock(mutex_);
    const double perMs = rate_ / 1000.0;
    return {samples_.size() / perMs, margin_ / perMs, quint64(trimmed_ / perMs),
            quint64(underrun_ / perMs), trims_};
}

} // namespace voicelink
