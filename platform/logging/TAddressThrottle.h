#pragma once

#include <QtGlobal>

#include <chrono>
#include <map>
#include <mutex>

// One log line per address per interval, from any thread: a peer that fails again and again
// (or a stranger who sends garbage) cannot fill the log. Remembers a bounded number of
// addresses; when full, the longest quiet one is forgotten.
class TAddressThrottle
{
public:
    using TClock = std::chrono::steady_clock;
    static constexpr int MaxAddresses = 256;

    explicit TAddressThrottle(std::chrono::milliseconds interval = std::chrono::minutes(1));

    // Whether a line about that IPv4 address may go now.
    bool Allow(quint32 address, TClock::time_point now = TClock::now());

private:
    const std::chrono::milliseconds interval_;
    std::mutex lock_;
    std::map<quint32, TClock::time_point> last_;
};
