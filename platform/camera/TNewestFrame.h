#pragma once

#include "platform/camera/TCameraFrame.h"

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Hands frames from a streaming thread to the UI thread, newest wins: at most one hand-over
// is queued, and it carries whatever frame is newest when the UI thread gets to it. Frames the
// UI thread had no time for are dropped without being converted or copied.
class TNewestFrame
{
public:
    // Make it on the UI thread; deliver is called there.
    explicit TNewestFrame(std::function<void(const TCameraFrame&)> deliver);
    ~TNewestFrame();
    TNewestFrame(const TNewestFrame&) = delete;
    TNewestFrame& operator=(const TNewestFrame&) = delete;

    // Any thread.
    void Push(TCameraFrame frame);
    // Forgets a frame not yet delivered (after the stream stopped).
    void Drop();
    // Frames pushed, and frames replaced before they were delivered.
    quint64 Pushed() const;
    quint64 Replaced() const;

private:
    void Deliver();

    std::function<void(const TCameraFrame&)> deliver_;
    // Lives on the UI thread; queued hand-overs die with it.
    std::unique_ptr<QObject> relay_;
    mutable std::mutex lock_;
    TCameraFrame pending_;
    bool posted_ = false;
    quint64 pushed_ = 0;
    quint64 replaced_ = 0;
};
