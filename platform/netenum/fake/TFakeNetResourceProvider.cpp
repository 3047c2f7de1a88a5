#include "platform/netenum/fake/TFakeNetResourceProvider.h"

#include <stdexcept>

TFakeNetResourceProvider::TFakeNetResourceProvider()
{
    TLevel root;
    root.entry.usage = NetUsage::Container;
    levels_.push_back(root);
}

TFakeNetResourceProvider::TNode TFakeNetResourceProvider::Add(TNode parent,
                                                              const TNetResource& entry)
{
    TLevel level;
    level.entry = entry;
    levels_.push_back(level);
    const TNode node = TNode(levels_.size() - 1);
    levels_.at(parent).children.push_back(node);
    return node;
}

TFakeNetResourceProvider::TNode TFakeNetResourceProvider::AddNetwork(TNode parent,
                                                                     const QString& provider)
{
    TNetResource e;
    e.displayType = TNetDisplayType::Network;
    e.usage = NetUsage::Container;
    e.remoteName = provider;
    e.provider = provider;
    return Add(parent, e);
}

TFakeNetResourceProvider::TNode
TFakeNetResourceProvider::AddDomain(TNode parent, const QString& name, const QString& provider)
{
    TNetResource e;
    e.displayType = TNetDisplayType::Domain;
    e.usage = NetUsage::Container;
    e.remoteName = name;
    e.provider = provider;
    return Add(parent, e);
}

TFakeNetResourceProvider::TNode TFakeNetResourceProvider::AddServer(TNode parent,
                                                                    const QString& name,
                                                                    const QString& comment,
                                                                    const QString& provider)
{
    TNetResource e;
    e.displayType = TNetDisplayType::Server;
    e.usage = NetUsage::Container;
    e.remoteName = QStringLiteral("\\\\") + name;
    e.comment = comment;
    e.provider = provider;
    return Add(parent, e);
}

TFakeNetResourceProvider::TNode TFakeNetResourceProvider::AddShare(TNode server,
                                                                   const QString& share)
{
    const TNetResource& host = Entry(server);
    TNetResource e;
    e.type = TNetResourceType::Disk;
    e.displayType = TNetDisplayType::Share;
    e.usage = NetUsage::Connectable;
    e.remoteName = host.remoteName + QLatin1Char('\\') + share;
    e.provider = host.provider;
    return Add(server, e);
}

void TFakeNetResourceProvider::AddAgain(TNode parent, TNode node)
{
    levels_.at(parent).children.push_back(node);
}

const TNetResource& TFakeNetResourceProvider::Entry(TNode node) const
{
    return levels_.at(node).entry;
}

void TFakeNetResourceProvider::FailOpen(TNode level, int errorCode)
{
    levels_.at(level).openFailure = errorCode;
}

void TFakeNetResourceProvider::FailRead(TNode level, int errorCode, int afterReads)
{
    levels_.at(level).readFailure = errorCode;
    levels_.at(level).readFailureAfter = afterReads;
}

void TFakeNetResourceProvider::ThrowOnRead(TNode level)
{
    levels_.at(level).throwOnRead = true;
}

void TFakeNetResourceProvider::AnswerMoreDataBelow(TNode level, std::size_t bytes)
{
    levels_.at(level).moreDataBelow = bytes;
}

QString TFakeNetResourceProvider::Name(TNode node) const
{
    return node == Root ? QStringLiteral("(root)") : levels_.at(node).entry.remoteName;
}

std::optional<TFakeNetResourceProvider::TNode>
TFakeNetResourceProvider::Find(const TNetResource& container) const
{
    for (std::size_t i = 1; i < levels_.size(); ++i) {
        const TNetResource& e = levels_[i].entry;
        if (e.remoteName == container.remoteName && e.provider == container.provider &&
            e.displayType == container.displayType)
            return TNode(i);
    }
    return std::nullopt;
}

TNetOpenResult TFakeNetResourceProvider::Open(TNetScope scope, TNetResourceType type,
                                              std::uint32_t usage,
                                              const std::optional<TNetResource>& container)
{
    const std::optional<TNode> node = container ? Find(*container) : std::optional<TNode>(Root);
    Opens.push_back({scope, type, usage, node ? Name(*node) : container->remoteName});
    if (!node)
        return {NetError::ExtendedError, 0};
    Calls << QStringLiteral("Open ") + Name(*node);
    const TLevel& level = levels_.at(*node);
    if (!level.entry.IsContainer())
        return {NetError::NotContainer, 0};
    if (level.openFailure)
        return {*level.openFailure, 0};
    const TNetEnumHandle handle = nextHandle_++;
    open_[handle] = TOpenLevel{*node};
    ++SuccessfulOpens;
    return {NetError::NoError, handle};
}

TNetReadResult TFakeNetResourceProvider::Read(TNetEnumHandle handle, std::uint32_t count,
                                              std::size_t bufferSize)
{
    TNetReadResult result;
    const auto it = open_.find(handle);
    if (it == open_.end()) {
        result.errorCode = NetError::InvalidHandle;
        return result;
    }
    TOpenLevel& open = it->second;
    const TLevel& level = levels_.at(open.node);
    Calls << QStringLiteral("Read %1 %2").arg(Name(open.node)).arg(bufferSize);
    ++open.reads;
    if (level.throwOnRead)
        throw std::runtime_error("the network provider failed");
    if (level.readFailure && open.reads > level.readFailureAfter) {
        result.errorCode = *level.readFailure;
        return result;
    }
    if (bufferSize < level.moreDataBelow) {
        result.status = TNetReadStatus::MoreData;
        result.requiredSize = level.moreDataBelow;
        return result;
    }
    if (open.cursor >= level.children.size()) {
        result.status = TNetReadStatus::NoMoreItems;
        return result;
    }
    std::size_t used = 0;
    while (open.cursor < level.children.size() && result.entries.size() < count) {
        const TNetResource& e = levels_.at(level.children[open.cursor]).entry;
        const std::size_t bytes = NetResourceBytes(e);
        if (used + bytes > bufferSize)
            break;
        used += bytes;
        result.entries.push_back(e);
        ++open.cursor;
    }
    if (result.entries.empty()) {
        result.status = TNetReadStatus::MoreData;
        result.requiredSize = NetResourceBytes(levels_.at(level.children[open.cursor]).entry);
        return result;
    }
    result.status = TNetReadStatus::Ok;
    return result;
}

int TFakeNetResourceProvider::Close(TNetEnumHandle handle)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return NetError::InvalidHandle;
    Calls << QStringLiteral("Close ") + Name(it->second.node);
    open_.erase(it);
    ++Closes;
    return NetError::NoError;
}

QStringList TFakeNetResourceProvider::OpenLevels() const
{
    QStringList names;
    for (const auto& [handle, open] : open_)
        names << Name(open.node);
    return names;
}
