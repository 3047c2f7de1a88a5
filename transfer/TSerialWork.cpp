#include "transfer/TSerialWork.h"

#include <QThreadPool>

struct TSerialWork::TState
{
    std::mutex lock;
    std::condition_variable idle;
    std::deque<TJob> jobs;
    QObject* context = nullptr; // null once the work has gone
    bool running = false;
    int pending = 0; // the owner's thread only
};

TSerialWork::TSerialWork(QObject* context) : state_(std::make_shared<TState>())
{
    state_->context = context;
}

TSerialWork::~TSerialWork()
{
    Stop();
}

void TSerialWork::Stop()
{
    std::deque<TJob> dropped;
    std::unique_lock lock(state_->lock);
    state_->context = nullptr;
    dropped.swap(state_->jobs);
    state_->idle.wait(lock, [this] { return !state_->running; });
    lock.unlock();
    // What the dropped jobs hold goes here, after the lock.
}

void TSerialWork::Post(TJob job)
{
    ++state_->pending;
    std::lock_guard lock(state_->lock);
    state_->jobs.push_back(std::move(job));
    if (state_->running)
        return;
    state_->running = true;
    QThreadPool::globalInstance()->start([state = state_] { Drain(state); });
}

int TSerialWork::Pending() const
{
    return state_->pending;
}

void TSerialWork::Drain(const std::shared_ptr<TState>& state)
{
    std::unique_lock lock(state->lock);
    while (!state->jobs.empty()) {
        TJob job = std::move(state->jobs.front());
        state->jobs.pop_front();
        lock.unlock();
        TAnswer answer = job();
        job = nullptr; // what it captured goes on this thread, not the owner's
        lock.lock();
        if (!state->context)
            break;
        // Posted under the lock: the owner cannot go in between. The answer checks again on
        // arrival, since the work may go while it waits in the queue.
        QMetaObject::invokeMethod(
            state->context,
            [state, answer = std::move(answer)] {
                if (!state->context)
                    return;
                --state->pending;
                if (answer)
                    answer();
            },
            Qt::QueuedConnection);
    }
    state->running = false;
    state->idle.notify_all();
}
