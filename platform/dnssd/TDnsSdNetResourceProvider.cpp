#include "platform/dnssd/TDnsSdNetResourceProvider.h"

#include "platform/dnssd/TAvahiClient.h"
#include "platform/logging/Logging.h"

TDnsSdNetResourceProvider::TDnsSdNetResourceProvider(std::shared_ptr<TAvahiClient> client)
    : client_(std::move(client))
{}

TDnsSdNetResourceProvider::~TDnsSdNetResourceProvider() = default;

void TDnsSdNetResourceProvider::Prepare(std::function<void()> ready)
{
    ready_ = std::move(ready);
    if (search_)
        return; // the search under way calls back when it is done
    found_.clear();
    programCopies_.clear();
    searchedDomain_.clear();
    if (!client_->IsRunning() || client_->DomainName().isEmpty()) {
        std::exchange(ready_, nullptr)(); // without a daemon there is nothing to find
        return;
    }
    searchedDomain_ = client_->DomainName();
    search_ = std::make_unique<TDnsSdSearch>(*client_, searchedDomain_, ReadBudgetMs);
    QObject::connect(
        search_.get(), &TDnsSdSearch::Finished, search_.get(), [this] { Searched(); },
        Qt::QueuedConnection);
    if (search_->IsFinished())
        QMetaObject::invokeMethod(
            search_.get(), [this] { Searched(); }, Qt::QueuedConnection);
}

void TDnsSdNetResourceProvider::Searched()
{
    if (!search_)
        return;
    // Let go of before the callback, which may start the next search; it goes once it has
    // finished delivering this.
    TDnsSdSearch* search = search_.release();
    search->deleteLater();
    for (const TDnsSdHost& host : search->Hosts()) {
        TNetResource server = ServerEntry(host, search->NameResolves(host));
        if (host.programCopy)
            programCopies_.insert(server.remoteName.toLower());
        found_.push_back(std::move(server));
    }
    qCDebug(lcDnsSd) << "searched" << searchedDomain_ << ":" << found_.size() << "computers";
    if (ready_)
        std::exchange(ready_, nullptr)();
}

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
    if (level.domain == searchedDomain_)
        level.entries = found_;
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
    TOpenLevel& level = found->second;
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
