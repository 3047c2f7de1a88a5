// One log line per address per interval, whatever a flood of addresses does.
#include "platform/logging/TAddressThrottle.h"

#include <gtest/gtest.h>

TEST(AddressThrottle, EachAddressSpeaksOncePerIntervalAndAFloodOfAddressesForgetsTheQuietest)
{
    using namespace std::chrono_literals;
    TAddressThrottle throttle(60s);
    const TAddressThrottle::TClock::time_point t0{};
    EXPECT_TRUE(throttle.Allow(1, t0));
    EXPECT_FALSE(throttle.Allow(1, t0 + 59s));
    EXPECT_TRUE(throttle.Allow(2, t0 + 1s)) << "another address is not held back";
    EXPECT_TRUE(throttle.Allow(1, t0 + 60s));
    // Twice as many addresses as are remembered: each is let through once, and the first,
    // quiet since, is forgotten and let through again, while the latest is still held back.
    for (quint32 a = 100; a < 100 + 2 * TAddressThrottle::MaxAddresses; ++a)
        EXPECT_TRUE(throttle.Allow(a, t0 + 61s + std::chrono::milliseconds(a)));
    EXPECT_TRUE(throttle.Allow(100, t0 + 70s)) << "forgotten, though within its interval";
    EXPECT_FALSE(throttle.Allow(100 + 2 * TAddressThrottle::MaxAddresses - 1, t0 + 70s));
}
