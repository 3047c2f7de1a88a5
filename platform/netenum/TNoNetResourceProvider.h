#pragma once

#include "platform/netenum/INetResourceProvider.h"

#include <set>

// A network neighbourhood with nothing in it: every level opens and is empty. The program uses
// it until a real provider is in place, so the clients window opens and lists nobody.
class TNoNetResourceProvider : public INetResourceProvider
{
public:
    TNetOpenResult Open(TNetScope scope, TNetResourceType type, std::uint32_t usage,
                        const std::optional<TNetResource>& container) override;
    TNetReadResult Read(TNetEnumHandle handle, std::uint32_t count,
                        std::size_t bufferSize) override;
    int Close(TNetEnumHandle handle) override;

private:
    std::set<TNetEnumHandle> open_;
    TNetEnumHandle next_ = 1;
};
