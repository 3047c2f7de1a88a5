#include "platform/voice/streams/CaptureFrames.h"

namespace voicelink {

CaptureFrames::CaptureFrames(size_t frameSamples, Frame frame)
    : frame_(frameSamples), deliver_(std::move(frame))
{
    pending_.reserve(frame_ * (kMaxBacklogFrames + 2));
}

void CaptureFrames::Add(const int16_t* samples, size_t count)
{
    pending_.insert(pending_.end(), samples, samples + count);
}

void CaptureFrames::Deliver()
{
    const size_t whole = pending_.size() / frame_;
    size_t from = 0;
    if (whole > kMaxBacklogFrames) {
        from = (whole - kMaxBacklogFrames) * frame_;
        dropped_ += from;
        at_ += from;
    }
    for (; from + frame_ <= pending_.size(); from += frame_) {
        if (deliver_)
            deliver_(pending_.data() + from, frame_, at_);
        at_ += frame_;
    }
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(from));
}

} // namespace voicelink
