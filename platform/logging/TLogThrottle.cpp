#include "platform/logging/TLogThrottle.h"

TLogThrottle::TLogThrottle(std::chrono::milliseconds interval) : interval_(interval) {}

std::optional<qint64> TLogThrottle::Allow(TClock::time_point now)
{
    if (last_ && now - *last_ < interval_) {
        ++held_;
        return std::nullopt;
    }
    last_ = now;
    const qint64 held = held_;
    held_ = 0;
    return held;
}

QString TLogThrottle::More(qint64 held)
{
    return held > 0 ? QStringLiteral("(and %1 more like it)").arg(held) : QString();
}
