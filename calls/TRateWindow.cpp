#include "calls/TRateWindow.h"

void TRateWindow::Add(TTime now, qint64 amount)
{
    Drop(now);
    if (events_.size() >= MaxEvents) {
        amount_ -= events_.front().amount;
        events_.pop_front();
    }
    events_.push_back({now, amount});
    amount_ += amount;
}

qint64 TRateWindow::Count(TTime now)
{
    Drop(now);
    qint64 n = 0;
    // Events stamped after now (a caller's clock read earlier) are not counted yet.
    for (auto it = events_.rbegin(); it != events_.rend() && it->time > now; ++it)
        ++n;
    return qint64(events_.size()) - n;
}

qint64 TRateWindow::Amount(TTime now)
{
    Drop(now);
    qint64 later = 0;
    for (auto it = events_.rbegin(); it != events_.rend() && it->time > now; ++it)
        later += it->amount;
    return amount_ - later;
}

void TRateWindow::Clear()
{
    events_.clear();
    amount_ = 0;
}

void TRateWindow::Drop(TTime now)
{
    while (!events_.empty() && events_.front().time <= now - Span) {
        amount_ -= events_.front().amount;
        events_.pop_front();
    }
}
