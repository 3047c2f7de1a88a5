#include "platform/crypto/TReplayWindow.h"

bool TReplayWindow::Fresh(quint64 sequence) const
{
    if (!any_ || sequence > top_)
        return true;
    const quint64 behind = top_ - sequence;
    return behind < Size && !seen_.test(size_t(behind));
}

void TReplayWindow::Note(quint64 sequence)
{
    if (!any_) {
        any_ = true;
        top_ = sequence;
        seen_.reset();
        seen_.set(0);
        return;
    }
    if (sequence > top_) {
        const quint64 ahead = sequence - top_;
        if (ahead >= Size)
            seen_.reset();
        else
            seen_ <<= size_t(ahead);
        seen_.set(0);
        top_ = sequence;
        return;
    }
    const quint64 behind = top_ - sequence;
    if (behind < Size)
        seen_.set(size_t(behind));
}
