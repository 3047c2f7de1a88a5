#include "contacts/TNetworkWalk.h"

namespace {
// Closes an opened level on every way out, a thrown failure included.
class TLevelCloser
{
public:
    TLevelCloser(INetResourceProvider& provider, TNetEnumHandle handle)
        : provider_(provider), handle_(handle)
    {}
    ~TLevelCloser() { provider_.Close(handle_); }
    TLevelCloser(const TLevelCloser&) = delete;
    TLevelCloser& operator=(const TLevelCloser&) = delete;

private:
    INetResourceProvider& provider_;
    TNetEnumHandle handle_;
};
} // namespace

TNetworkWalk::TNetworkWalk(INetResourceProvider& provider, TNetResourceType type,
                           TNetDisplayType filter)
    : provider_(provider), type_(type), filter_(filter)
{}

bool TNetworkWalk::EnumerateLevel(const std::optional<TNetResource>& container,
                                  std::vector<TNetResource>& entries)
{
    entries.clear();
    const TNetOpenResult opened =
        provider_.Open(TNetScope::GlobalNet, type_, NetUsage::All, container);
    if (opened.errorCode != NetError::NoError)
        return false;
    bool ok = false;
    {
        TLevelCloser closer(provider_, opened.handle);
        std::size_t bufferSize = InitialBufferSize;
        TNetReadResult read;
        for (;;) {
            read = provider_.Read(opened.handle, INetResourceProvider::AllEntries, bufferSize);
            // A provider that asks for no more room than it had would make this loop forever.
            if (read.status != TNetReadStatus::MoreData || read.requiredSize <= bufferSize)
                break;
            bufferSize = read.requiredSize;
        }
        ok = read.status == TNetReadStatus::Ok;
        if (ok)
            entries = std::move(read.entries);
    }
    return ok;
}

void TNetworkWalk::WalkNetwork(const std::optional<TNetResource>& container)
{
    std::vector<TNetResource> entries;
    if (!EnumerateLevel(container, entries))
        return;
    for (const TNetResource& entry : entries) {
        if (filter_ == TNetDisplayType::Generic || filter_ == entry.displayType) {
            if (OnListed)
                OnListed(entry);
        }
        if (entry.IsContainer())
            WalkNetwork(entry);
    }
    entries.clear();
}

QStringList TNetworkWalk::ListLines(const TNetResource& entry)
{
    return {QStringLiteral("Computer Name: ") + entry.comment,
            QStringLiteral("Host Name and Connection Path: ") + entry.remoteName,
            QStringLiteral("Network Provider: ") + entry.provider, QString()};
}
