#include "platform/camera/TNewestFrame.h"

#include <QMetaObject>

TNewestFrame::TNewestFrame(std::function<void(const TCameraFrame&)> deliver)
    : deliver_(std::move(deliver)), relay_(std::make_unique<QObject>())
{}

TNewestFrame::~TNewestFrame() = default;

void TNewestFrame::Push(TCameraFrame frame)
{
    std::lock_guard lock(lock_);
    ++pushed_;
    if (!pending_.isNull())
        ++replaced_;
    pending_ = std::move(frame);
    if (posted_)
        return;
    posted_ = true;
    QMetaObject::invokeMethod(
        relay_.get(), [this] { Deliver(); }, Qt::QueuedConnection);
}

void TNewestFrame::Drop()
{
    std::lock_guard lock(lock_);
    pending_ = TCameraFrame();
}

quint64 TNewestFrame::Pushed() const
{
    std::lock_guard lock(lock_);
    return pushed_;
}

quint64 TNewestFrame::Replaced() const
{
    std::lock_guard lock(lock_);
    return replaced_;
}

void TNewestFrame::Deliver()
{
    TCameraFrame frame;
    {
        std::lock_guard lock(lock_);
        frame = std::move(pending_);
        pending_ = TCameraFrame();
        posted_ = false;
    }
    // The previous frame is released before the handler runs, so a camera with few buffers
    // gets one back as early as possible.
    if (!frame.isNull() && deliver_)
        deliver_(frame);
}
