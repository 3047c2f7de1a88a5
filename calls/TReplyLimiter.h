#pragma once

#include <QHash>
#include <QHostAddress>

#include <chrono>

// How often one address may be answered: at most once per interval. A forged sender must not
// turn the phone into a reflector that sends one reply per request to a victim. The table of
// addresses is bounded; while it is full of addresses answered within the interval, nobody new
// is answered until they age out.
class TReplyLimiter
{
public:
    using TClock = std::chrono::steady_clock;
    using TTime = TClock::time_point;

    explicit TReplyLimiter(std::chrono::milliseconds interval = std::chrono::seconds(1),
                           qsizetype capacity = 1024);

    // True when a reply to that address may go now; the reply is then counted.
    bool Allow(const QHostAddress& to, TTime now);

private:
    void Forget(TTime now);

    std::chrono::milliseconds interval_;
    qsizetype capacity_;
    QHash<QHostAddress, TTime> last_;
};
