#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Runs disk work for one stream, one job after another, on Qt's global thread pool, and hands
// each job's answer back to the thread of a context object. A job returns what is to run there
// next (or nothing). The owner's thread never waits for the disk, except when the work goes:
// jobs not yet begun are dropped, and the one under way is waited for, so nothing a job uses
// goes before it ends.
class TSerialWork
{
public:
    using TAnswer = std::function<void()>;
    using TJob = std::function<TAnswer()>;

    explicit TSerialWork(QObject* context);
    ~TSerialWork();
    TSerialWork(const TSerialWork&) = delete;
    TSerialWork& operator=(const TSerialWork&) = delete;

    void Post(TJob job);
    // What the destructor does, early: jobs not yet begun are dropped, the one under way is
    // waited for, and no answer runs after it.
    void Stop();
    // Jobs handed over and not yet answered.
    int Pending() const;

private:
    struct TState;
    static void Drain(const std::shared_ptr<TState>& state);

    std::shared_ptr<TState> state_;
};
