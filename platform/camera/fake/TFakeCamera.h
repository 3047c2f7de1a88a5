#pragma once

#include "platform/camera/ICamera.h"
#include "platform/camera/fake/TFakeCameraDevice.h"

#include <memory>

class TFakeCameraSystem;

// An opened fake camera: a test hands it frames and failures; it hands them on at once, as
// the real one does from the UI thread.
class TFakeCamera : public ICamera
{
public:
    TFakeCamera(TFakeCameraSystem& system, std::shared_ptr<TFakeCameraDevice> device);
    ~TFakeCamera() override;

    const std::vector<TCameraMode>& Modes() const override { return device_->Modes; }
    int Mode() const override { return mode_; }
    bool SetMode(int index) override;
    void SetDecodeSize(QSize size) override { DecodeSize = size; }
    void SetGrabFormat(QImage::Format format) override { GrabFormat = format; }
    TCameraReadiness Prepare(TPreparedHandler prepared) override;
    void CancelPrepare() override { prepared_ = nullptr; }
    bool Start(QString* error) override;
    void Stop() override;
    bool Running() const override { return running_; }
    void SetFrameHandler(TFrameHandler handler) override { frames_ = std::move(handler); }
    void SetFailureHandler(TFailureHandler handler) override { failures_ = std::move(handler); }
    std::vector<PropertyPagePtr> ControlPages() override { return device_->Controls; }
    std::vector<PropertyPagePtr> TunerPages() override { return device_->Tuner; }

    // A frame of the chosen mode's size in the grab format, filled with one colour; handed
    // on only while running. False when it was not.
    bool Deliver(QColor colour);
    bool Deliver(const QImage& frame);
    bool Deliver(const TCameraFrame& frame);
    void Fail(TCameraFailure failure, const QString& reason = QStringLiteral("test"));
    // Answers the pending Prepare() (empty: ready), as the event loop would; false when none
    // is pending. The handler may end this camera.
    bool FinishPrepare(const QString& error = {});

    const TFakeCameraDevice& Device() const { return *device_; }
    QImage::Format GrabFormat = QImage::Format_Invalid;
    QSize DecodeSize;
    int Starts = 0;
    int Stops = 0;

private:
    TFakeCameraSystem& system_;
    std::shared_ptr<TFakeCameraDevice> device_;
    int mode_ = -1;
    bool running_ = false;
    bool ready_ = false;
    TPreparedHandler prepared_;
    TFrameHandler frames_;
    TFailureHandler failures_;
};
