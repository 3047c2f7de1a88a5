#pragma once

#include "platform/netenum/TNetResource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

using TNetEnumHandle = std::uint64_t;

struct TNetOpenResult
{
    int errorCode = NetError::NoError;
    TNetEnumHandle handle = 0; // valid only when errorCode is NoError
};

enum class TNetReadStatus
{
    Ok,          // entries holds the next batch
    NoMoreItems, // the level has nothing more to give
    MoreData,    // not even one entry fits: read again with requiredSize bytes
    Error,       // errorCode says why
};

struct TNetReadResult
{
    TNetReadStatus status = TNetReadStatus::Error;
    std::vector<TNetResource> entries;
    std::size_t requiredSize = 0;      // for MoreData
    int errorCode = NetError::NoError; // for Error
};

// The network neighbourhood, one level at a time: open the root or a container entry, read its
// entries in batches that fit a buffer, close it. Every level that opened must be closed.
// Looking at the network takes time, so a walk starts with Prepare, which calls back once
// every level can be read at once; no call waits.
class INetResourceProvider
{
public:
    static constexpr std::uint32_t AllEntries = 0xFFFFFFFF; // as a read's count: as many as fit

    virtual ~INetResourceProvider() = default;

    // Looks at the network afresh and calls ready on this thread when that is done (at once
    // where there is nothing to wait for). A provider that goes first never calls it.
    virtual void Prepare(std::function<void()> ready) { ready(); }

    // container is empty for the network root.
    virtual TNetOpenResult Open(TNetScope scope, TNetResourceType type, std::uint32_t usage,
                                const std::optional<TNetResource>& container) = 0;
    // Reads up to count entries whose NetResourceBytes add up to at most bufferSize.
    virtual TNetReadResult Read(TNetEnumHandle handle, std::uint32_t count,
                                std::size_t bufferSize) = 0;
    virtual int Close(TNetEnumHandle handle) = 0;
};
