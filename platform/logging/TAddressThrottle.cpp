#include "platform/logging/TAddressThrottle.h"

#include <algorithm>

TAddressThrottle::TAddressThrottle(std::chrono::milliseconds interval) : interval_(interval) {}

bool TAddressThrottle::Allow(quint32 address, TClock::time_point now)
{
    std::lock_guard guard(lock_);
    const auto found = last_.find(address);
    if (found != last_.end() && now - found->second < interval_)
        return false;
    if (found == last_.end() && int(last_.size()) >= MaxAddresses)
        last_.erase(std::min_element(last_.begin(), last_.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        }));
    last_[address] = now;
    return true;
}
