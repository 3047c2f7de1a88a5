#include "transfer/TFilePace.h"

#include <algorithm>

std::chrono::milliseconds TFilePace::Take(const QHostAddress& from, TTime now, const TRule& rule)
{
    const auto spacing = std::max(rule.spacing, std::chrono::milliseconds(0));
    const auto allowance = spacing * std::max(rule.burst - 1, 0);
    if (!due_.contains(from) && due_.size() >= capacity_) {
        // An address whose turn has come holds nothing back; forget those first, then the one
        // nearest to it, so the table stays bounded whatever a flood of addresses does.
        for (auto it = due_.begin(); it != due_.end();)
            it = it.value() <= now ? due_.erase(it) : std::next(it);
        if (due_.size() >= capacity_)
            due_.erase(std::min_element(due_.begin(), due_.end()));
    }
    const TTime due = std::max(due_.value(from, now), now);
    const auto wait =
        std::max(std::chrono::duration_cast<std::chrono::milliseconds>(due - now - allowance),
                 std::chrono::milliseconds(0));
    due_.insert(from, due + spacing);
    return wait;
}
