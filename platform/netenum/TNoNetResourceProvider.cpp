#include "platform/netenum/TNoNetResourceProvider.h"

TNetOpenResult TNoNetResourceProvider::Open(TNetScope, TNetResourceType, std::uint32_t,
                                            const std::optional<TNetResource>&)
{
    const TNetEnumHandle handle = next_++;
    open_.insert(handle);
    return {NetError::NoError, handle};
}

TNetReadResult TNoNetResourceProvider::Read(TNetEnumHandle handle, std::uint32_t, std::size_t)
{
    TNetReadResult result;
    if (!open_.count(handle)) {
        result.errorCode = NetError::InvalidHandle;
        return result;
    }
    result.status = TNetReadStatus::NoMoreItems;
    return result;
}

int TNoNetResourceProvider::Close(TNetEnumHandle handle)
{
    return open_.erase(handle) ? NetError::NoError : NetError::InvalidHandle;
}
