#include "calls/TReplyLimiter.h"

TReplyLimiter::TReplyLimiter(std::chrono::milliseconds interval, qsizetype capacity)
    : interval_(interval), capacity_(capacity)
{}

bool TReplyLimiter::Allow(const QHostAddress& to, TTime now)
{
    const auto found = last_.constFind(to);
    if (found != last_.cend() && now - *found < interval_)
        return false;
    if (found == last_.cend() && last_.size() >= capacity_) {
        Forget(now);
        if (last_.size() >= capacity_)
            return false;
    }
    last_.insert(to, now);
    return true;
}

void TReplyLimiter::Forget(TTime now)
{
    for (auto it = last_.begin(); it != last_.end();)
        it = now - *it >= interval_ ? last_.erase(it) : std::next(it);
}
