#pragma once

#include <QtGlobal>

#include <chrono>
#include <deque>

// What happened over the last second: how many events and how many bytes (or any other amount)
// they carried. The caller passes the time so that a test can set it; the times it asks at must
// not go back, as what fell out of the window is gone.
class TRateWindow
{
public:
    using TClock = std::chrono::steady_clock;
    using TTime = TClock::time_point;
    static constexpr std::chrono::milliseconds Span{1000};
    // Beyond this many events in one second the oldest are dropped, so a flood cannot grow the
    // list without end; the rates then read low rather than the memory high.
    static constexpr std::size_t MaxEvents = 20000;

    void Add(TTime now, qint64 amount = 0);
    // Events and their amounts with now - Span < time <= now.
    qint64 Count(TTime now);
    qint64 Amount(TTime now);
    void Clear();

private:
    struct TEvent
    {
        TTime time;
        qint64 amount;
    };
    void Drop(TTime now);

    std::deque<TEvent> events_;
    qint64 amount_ = 0; // the sum over events_
};
