#include "transfer/TServeThread.h"

#include "transfer/TGeneralServer.h"

#include <unistd.h>

TServeThread::TServeThread(TGeneralServer& listening, int fd) : listening_(&listening)
{
    try {
        client_ = listening.NewClient();
    } catch (...) {
        ::close(fd);
        throw;
    }
    client_->TakeConnection(listening, fd, this);
}

TServeThread::~TServeThread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard guard(lock_);
        if (!finished_) {
            // A worker that is let go while it serves ends its connection first.
            client_->Stopping = true;
            client_->Cancel();
        }
    }
    // Workers end on the UI thread's side only; a worker never lets itself go.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void TServeThread::Start()
{
    thread_ = std::thread([this] { Run(); });
}

bool TServeThread::WaitFinished(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock guard(lock_);
    return finishedChanged_.wait_until(guard, deadline, [this] { return finished_; });
}

void TServeThread::Join()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void TServeThread::Run()
{
    client_->ServeConnection();
    TGeneralServer* listening = listening_;
    {
        std::lock_guard guard(lock_);
        finished_ = true;
    }
    finishedChanged_.notify_all();
    // The rest belongs to the UI thread; the listening component outlives every worker, and a
    // call still queued when it goes is dropped with it.
    QMetaObject::invokeMethod(
        listening, [listening, this] { listening->ClientFinished(this); }, Qt::QueuedConnection);
}
