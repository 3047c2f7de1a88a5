#pragma once

// A camera on GStreamer: a device the device monitor listed, or a test camera. Each start
// builds a pipeline that ends in frames of the grab format; a device monitor watches for the
// running device's removal.

#include "platform/camera/ICamera.h"
#include "platform/camera/TNewestFrame.h"
#include "platform/camera/gst/TGstCameraPipeline.h"
#include "platform/elements/gst/GstRef.h"

#include <QObject>

#include <memory>
#include <mutex>

class TGstScreenSource;
class TTestCameraBalance;

class TGstCamera : public ICamera
{
public:
    // A camera that sends JPEG hands out its pictures as they came, and a preview decoded at
    // the smallest reduced scale that still covers this size.
    static constexpr QSize PreviewSize{320, 180};

    // balance: the test camera's picture controls, kept by the caller across openings.
    explicit TGstCamera(TGstObjectPtr<GstDevice> device,
                        std::shared_ptr<TTestCameraBalance> balance = nullptr);
    explicit TGstCamera(TGstTestCamera test, std::shared_ptr<TTestCameraBalance> balance = nullptr);
    explicit TGstCamera(std::unique_ptr<TGstScreenSource> screen);
    ~TGstCamera() override;
    TGstCamera(const TGstCamera&) = delete;
    TGstCamera& operator=(const TGstCamera&) = delete;

    const std::vector<TCameraMode>& Modes() const override { return modes_; }
    int Mode() const override { return mode_; }
    bool SetMode(int index) override;
    void SetDecodeSize(QSize size) override { decodeSize_ = size; }
    // Format_BGR888, Format_RGB888, Format_RGB32, Format_RGB16 or Format_RGB555; others are
    // refused and the format stays.
    void SetGrabFormat(QImage::Format format) override;

    // Pending only for the screen the desktop's portal shares, while the user picks it.
    TCameraReadiness Prepare(TPreparedHandler prepared) override;
    void CancelPrepare() override;
    bool Start(QString* error) override;
    void Stop() override;
    bool Running() const override { return pipeline_ != nullptr; }

    void SetFrameHandler(TFrameHandler handler) override { frameHandler_ = std::move(handler); }
    void SetFailureHandler(TFailureHandler handler) override
    {
        failureHandler_ = std::move(handler);
    }

    std::vector<PropertyPagePtr> ControlPages() override;
    std::vector<PropertyPagePtr> TunerPages() override;

private:
    TGstCamera(TGstObjectPtr<GstDevice> device, TGstTestCamera test,
               std::shared_ptr<TTestCameraBalance> balance);
    static GstBusSyncReply OnPipelineMessage(GstBus*, GstMessage* message, gpointer camera);
    static GstBusSyncReply OnMonitorMessage(GstBus*, GstMessage* message, gpointer camera);
    static GstFlowReturn OnSample(GstAppSink* sink, gpointer camera);
    // Any thread: a failure of the current run, told on the UI thread unless it is starting.
    void Report(TCameraFailure failure, const QString& reason);
    void Fail(quint64 run, TCameraFailure failure, const QString& reason);
    bool WaitUntilPlaying();
    void WatchRemoval();
    void StopWatchingRemoval();
    QString DevicePath() const;

    TGstObjectPtr<GstDevice> device_;
    TGstTestCamera test_;
    std::shared_ptr<TTestCameraBalance> balance_;
    std::unique_ptr<TGstScreenSource> screen_; // the screen instead of a device
    std::vector<TCameraMode> modes_;
    int mode_ = -1;
    QSize decodeSize_{720, 576};
    QImage::Format grabFormat_ = QImage::Format_RGB32;
    TFrameHandler frameHandler_;
    TFailureHandler failureHandler_;

    // Lives on the UI thread; failures queued to it die with the camera.
    std::unique_ptr<QObject> context_;
    TNewestFrame frames_;
    TGstObjectPtr<GstDeviceMonitor> monitor_;
    bool failed_ = false;     // this run has told its failure
    bool jpegFrames_ = false; // this run's sink takes JPEG; set before it plays

    // What the streaming and monitor threads see; the UI thread alone changes it.
    std::mutex lock_;
    std::unique_ptr<TGstCameraPipeline> pipeline_;
    quint64 run_ = 0;
    bool starting_ = false; // failures make Start() fail instead of being told
    QString startError_;
};
