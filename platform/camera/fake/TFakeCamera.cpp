#include "platform/camera/fake/TFakeCamera.h"

#include "platform/camera/fake/TFakeCameraSystem.h"

#include <utility>

TFakeCamera::TFakeCamera(TFakeCameraSystem& system, std::shared_ptr<TFakeCameraDevice> device)
    : system_(system), device_(std::move(device))
{
    // A camera starts at a middle size when it has one, as most drivers do.
    for (size_t i = 0; i < device_->Modes.size(); ++i)
        if (device_->Modes[i].Width == 640 && device_->Modes[i].Height == 480) {
            mode_ = int(i);
            break;
        }
    if (mode_ < 0 && !device_->Modes.empty())
        mode_ = 0;
}

TFakeCamera::~TFakeCamera()
{
    system_.Closed(this);
}

bool TFakeCamera::SetMode(int index)
{
    if (running_ || index < 0 || size_t(index) >= device_->Modes.size())
        return false;
    mode_ = index;
    return true;
}

TCameraReadiness TFakeCamera::Prepare(TPreparedHandler prepared)
{
    if (!device_->PrepareWaits || ready_)
        return TCameraReadiness::Ready;
    prepared_ = std::move(prepared);
    return TCameraReadiness::Pending;
}

bool TFakeCamera::FinishPrepare(const QString& error)
{
    const TPreparedHandler prepared = std::exchange(prepared_, {});
    if (!prepared)
        return false;
    ready_ = error.isEmpty();
    prepared(error);
    return true;
}

bool TFakeCamera::Start(QString* error)
{
    ++Starts;
    if (!device_->StartError.isEmpty()) {
        if (error)
            *error = device_->StartError;
        return false;
    }
    running_ = true;
    return true;
}

void TFakeCamera::Stop()
{
    ++Stops;
    prepared_ = nullptr;
    running_ = false;
}

bool TFakeCamera::Deliver(QColor colour)
{
    QSize size = DecodeSize;
    if (size.isEmpty() && mode_ >= 0)
        size = {device_->Modes[size_t(mode_)].Width, device_->Modes[size_t(mode_)].Height};
    QImage frame(size.isEmpty() ? QSize(64, 48) : size,
                 GrabFormat == QImage::Format_Invalid ? QImage::Format_BGR888 : GrabFormat);
    frame.fill(colour);
    return Deliver(frame);
}

bool TFakeCamera::Deliver(const QImage& frame)
{
    return Deliver(TCameraFrame{frame, {}, false});
}

bool TFakeCamera::Deliver(const TCameraFrame& frame)
{
    if (!running_ || !frames_)
        return false;
    frames_(frame);
    return true;
}

void TFakeCamera::Fail(TCameraFailure failure, const QString& reason)
{
    if (running_ && failures_)
        failures_(failure, reason);
}
