#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TServeThread;

// The connections a listening server is receiving, each a worker thread with its
// per-connection component. The list owns them; every operation holds the list's lock, so a
// thread other than the UI thread may walk it (to cancel) while the UI thread adds and takes.
class TServerClients
{
public:
    TServerClients();
    ~TServerClients();
    TServerClients(const TServerClients&) = delete;
    TServerClients& operator=(const TServerClients&) = delete;

    void Add(std::unique_ptr<TServeThread> client);
    // Removes the entry and hands it over; null when it is not (or no longer) in the list.
    std::unique_ptr<TServeThread> Take(const TServeThread* client);
    std::vector<std::unique_ptr<TServeThread>> TakeAll();
    int Count() const;
    // Runs f on every entry under the lock; f must not call back into the list.
    void ForEach(const std::function<void(TServeThread&)>& f) const;

private:
    mutable std::mutex lock_;
    std::vector<std::unique_ptr<TServeThread>> list_;
};
