#include "transfer/TServerClients.h"

#include "transfer/TServeThread.h"

#include <algorithm>

TServerClients::TServerClients() = default;
TServerClients::~TServerClients() = default;

void TServerClients::Add(std::unique_ptr<TServeThread> client)
{
    std::lock_guard guard(lock_);
    list_.push_back(std::move(client));
}

std::unique_ptr<TServeThread> TServerClients::Take(const TServeThread* client)
{
    std::lock_guard guard(lock_);
    const auto at = std::find_if(list_.begin(), list_.end(),
                                 [client](const auto& entry) { return entry.get() == client; });
    if (at == list_.end())
        return nullptr;
    std::unique_ptr<TServeThread> taken = std::move(*at);
    list_.erase(at);
    return taken;
}

std::vector<std::unique_ptr<TServeThread>> TServerClients::TakeAll()
{
    std::lock_guard guard(lock_);
    return std::exchange(list_, {});
}

int TServerClients::Count() const
{
    std::lock_guard guard(lock_);
    return int(list_.size());
}

void TServerClients::ForEach(const std::function<void(TServeThread&)>& f) const
{
    std::lock_guard guard(lock_);
    for (const auto& entry : list_)
        f(*entry);
}
