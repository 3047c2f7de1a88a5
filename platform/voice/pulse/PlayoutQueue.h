#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace voicelink {

// The decoded voice between the network and the speaker. The network side pushes what it
// decodes as it comes; the speaker side pulls what the device asks for and gets silence for
// what has not come. Whatever the queue held beyond its margin at every pull of a window was
// never needed to cover the network's spread, only delay: it is dropped (cross-faded), so a
// backlog from a stall or a late start is gone within a window or two instead of staying.
// Pushed and pulled on different threads.
class PlayoutQueue
{
public:
    static constexpr int kWindowMs = 500;
    static constexpr int kCrossFade = 96; // samples, 2 ms at 48 kHz

    explicit PlayoutQueue(int rateHz);

    void Push(const int16_t* samples, size_t count);
    // Fills count samples for the device; returns how many were voice, the rest is silence.
    size_t Pull(int16_t* out, size_t count);
    // What the queue keeps at its lowest, for the spread of arrival times.
    void SetMarginMs(int ms);
    void Clear();

    struct Figures
    {
        double heldMs = 0;      // waiting now
        double marginMs = 0;    // what it keeps at its lowest
        quint64 trimmedMs = 0;  // dropped as surplus delay
        quint64 underrunMs = 0; // silence played while voice was expected
        int trims = 0;
    };
    Figures Now() const;

private:
    void trimLocked();

    const int rate_;
    mutable std::mutex mutex_;
    std::deque<int16_t> samples_;
    size_t maxHeld_;
    size_t margin_;
    size_t lowest_ = SIZE_MAX; // the least held after a pull in this window
    size_t pulledInWindow_ = 0;
    bool started_ = false; // voice has come; silence before it is no underrun
    quint64 trimmed_ = 0;
    quint64 underrun_ = 0;
    int trims_ = 0;
};

} // namespace voicelink
