#pragma once

#include "platform/netenum/INetResourceProvider.h"

#include <QStringList>

#include <functional>
#include <vector>

// One search of the network neighbourhood, once the provider is prepared: every level from the
// root down, depth first, each opened, read once and closed; entries of the chosen display type
// are handed to OnListed.
// A level that cannot be opened or read is skipped with everything below it.
class TNetworkWalk
{
public:
    static constexpr std::size_t InitialBufferSize = 16384;

    // filter Generic lists every entry.
    TNetworkWalk(INetResourceProvider& provider, TNetResourceType type, TNetDisplayType filter);

    std::function<void(const TNetResource& entry)> OnListed;

    // One open-read-close of a level (container empty: the root). Returns false, with entries
    // empty, when the level cannot be opened or its read ends in anything but success. A
    // failure thrown by the provider closes the level and travels on.
    bool EnumerateLevel(const std::optional<TNetResource>& container,
                        std::vector<TNetResource>& entries);
    void WalkNetwork(const std::optional<TNetResource>& container);

    // The four lines the result list holds for one listed computer.
    static QStringList ListLines(const TNetResource& entry);

private:
    INetResourceProvider& provider_;
    TNetResourceType type_;
    TNetDisplayType filter_;
};
