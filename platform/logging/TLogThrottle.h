#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Lets a line that a flood from the network could repeat into the log through once per
// interval, and tells how many like it were held back meanwhile. For one thread.
class TLogThrottle
{
public:
    using TClock = std::chrono::steady_clock;

    explicit TLogThrottle(std::chrono::milliseconds interval = std::chrono::seconds(10));

    // When a line may go now: how many were held back since the last one that went.
    std::optional<qint64> Allow(TClock::time_point now = TClock::now());
    // What to add to the line that goes: nothing, or how many were held back.
    static QString More(qint64 held);

private:
    std::chrono::milliseconds interval_;
    std::optional<TClock::time_point> last_;
    qint64 held_ = 0;
};
