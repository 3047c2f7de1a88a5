#include "platform/dnssd/TDnsSdNetResourceProvider.h"

#include "platform/dnssd/TAvahiClient.h"
#include "platform/logging/Logging.h"

#include <QElapsedTimer>
#include <QEventLoop>

TDnsSdNetResourceProvider::TDnsSdNetResourceProvider(std::shared_ptr<TAvahiClient> client)
    : client_(std::move(client))
{}

TDnsSdNetResourceProvider::~TDnsSdNetResourceProvider() = default;

TNetResource TDnsSdNetResourceProvider::ServerEntry(const TDnsSdHost& host, bool nameResolves)
{
    TNetResource entry;
    entry.scope = TNetScope::GlobalNet;
    entry.type = TNetResourceType::Any;
    entry.displayType = TNetDisplayType::Server;
    entry.usage = NetUsage::Connectable;
    entry.remoteName =
        QStringLiteral("\\\\") + (nameResolves ? host.hostName : host.address.toString());
    entry.comment = host.instanceName;
    entry.provider = QString::fromLatin1(ProviderName);
    return entry;
}

TNetOpenResult TDnsSdNetResourceProvider::Open(TNetScope, TNetResourceType, std::uint32_t,
                                               const std::optional<TNetResource>& container)
{
    TOpenLevel level;
    if (!container) {
        // Without a daemon there is no network to show.
        if (!client_->IsRunning())
            return {NetError::NoNetwork, 0};
        level.level = TLevel::Root;
        programCopies_.clear();
    } else if (container->provider != QLatin1String(ProviderName) || !container->IsContainer()) {
        return {NetError::NotContainer, 0};
    } else if (container->displayType == TNetDisplayType::Network) {
        level.level = TLevel::Provider;
    } else if (container->displayType == TNetDisplayType::Domain) {
        level.level = TLevel::Domain;
        level.domain = container->remoteName;
    } else {
        return {NetError::NotContainer, 0};
    }
    const TNetEnumHandle handle = ++lastHandle_;
    levels_.emplace(handle, std::move(level));
    return {NetError::NoError, handle};
}

void TDnsSdNetResourceProvider::Search(TOpenLevel& level)
{
    level.searched = true;
    TNetResource entry;
    entry.scope = TNetScope::GlobalNet;
    entry.usage = NetUsage::Container;
    entry.provider = QString::fromLatin1(ProviderName);
    switch (level.level) {
    case TLevel::Root:
        entry.displayType = TNetDisplayType::Network;
        entry.remoteName = entry.provider;
        level.entries.push_back(entry);
        return;
    case TLevel::Provider:
        if (const QString domain = client_->DomainName(); !domain.isEmpty()) {
            entry.displayType = TNetDisplayType::Domain;
            entry.remoteName = domain;
            level.entries.push_back(entry);
        }
        return;
    case TLevel::Domain:
        break;
    }
    QElapsedTimer clock;
    clock.start();
    TDnsSdSearch search(*client_, level.domain, ReadBudgetMs);
    if (!search.IsFinished()) {
        // The caller waits for the answer; the event loop carries Avahi's messages meanwhile.
        QEventLoop loop;
        QObject::connect(&search, &TDnsSdSearch::Finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (const TDnsSdHost& host : search.Hosts()) {
        TNetResource server = ServerEntry(host, search.NameResolves(host));
        if (host.programCopy)
            programCopies_.insert(server.remoteName.toLower());
        level.entries.push_back(std::move(server));
    }
    qCDebug(lcDnsSd) << "searched" << level.domain << "in" << clock.elapsed()
                     << "ms:" << level.entries.size() << "computers";
}

TNetReadResult TDnsSdNetResourceProvider::Read(TNetEnumHandle handle, std::uint32_t count,
                                               std::size_t bufferSize)
{
    TNetReadResult result;
    const auto found = levels_.find(handle);
    if (found == levels_.end()) {
        result.errorCode = NetError::InvalidHandle;
        return result;
    }
    if (!found->second.searched)
        Search(found->second);
    // The search ran the event loop, which may have closed this level.
    const auto still = levels_.find(handle);
    if (still == levels_.end()) {
        result.errorCode = NetError::InvalidHandle;
        return result;
    }
    TOpenLevel& level = still->second;
    if (count == 0) {
        result.status = TNetReadStatus::Ok;
        return result;
    }
    if (level.next >= level.entries.size()) {
        result.status = TNetReadStatus::NoMoreItems;
        return result;
    }
    std::size_t used = 0;
    while (level.next < level.entries.size() && result.entries.size() < count) {
        const std::size_t bytes = NetResourceBytes(level.entries[level.next]);
        if (used + bytes > bufferSize)
            break;
        used += bytes;
        result.entries.push_back(level.entries[level.next++]);
    }
    if (result.entries.empty()) {
        result.status = TNetReadStatus::MoreData;
        result.requiredSize = NetResourceBytes(level.entries[level.next]);
        return result;
    }
    result.status = TNetReadStatus::Ok;
    return result;
}

int TDnsSdNetResourceProvider::Close(TNetEnumHandle handle)
{
    return levels_.erase(handle) ? NetError::NoError : NetError::InvalidHandle;
}

bool TDnsSdNetResourceProvider::IsProgramCopy(const TNetResource& entry) const
{
    return entry.provider == QLatin1String(ProviderName) &&
           programCopies_.contains(entry.remoteName.toLower());
}
