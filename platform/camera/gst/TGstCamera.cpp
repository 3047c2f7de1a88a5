#include "platform/camera/gst/TGstCamera.h"

#include "platform/camera/gst/GstCameraFrame.h"
#include "platform/camera/gst/GstCameraModes.h"
#include "platform/camera/gst/TGstScreenSource.h"
#include "platform/camera/gst/TTestCameraBalance.h"
#include "platform/camera/v4l2/TV4l2ControlPage.h"
#include "platform/camera/v4l2/TV4l2Device.h"
#include "platform/camera/v4l2/TV4l2TunerPage.h"
#include "platform/elements/TGstElements.h"
#include "platform/elements/gst/TGstDeviceWatch.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

namespace {

constexpr qint64 StartTimeoutMs = 4000;

bool SameDevice(GstDevice* a, GstDevice* b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    // The provider may announce the removal with another object for the same device.
    gchar* nameA = gst_device_get_display_name(a);
    gchar* nameB = gst_device_get_display_name(b);
    GstStructure* propsA = gst_device_get_properties(a);
    GstStructure* propsB = gst_device_get_properties(b);
    const bool same =
        g_strcmp0(nameA, nameB) == 0 && propsA && propsB && gst_structure_is_equal(propsA, propsB);
    g_free(nameA);
    g_free(nameB);
    if (propsA)
        gst_structure_free(propsA);
    if (propsB)
        gst_structure_free(propsB);
    return same;
}

} // namespace

TGstCamera::TGstCamera(TGstObjectPtr<GstDevice> device, std::shared_ptr<TTestCameraBalance> balance)
    : TGstCamera(std::move(device), TGstTestCamera::None, std::move(balance))
{}

TGstCamera::TGstCamera(TGstTestCamera test, std::shared_ptr<TTestCameraBalance> balance)
    : TGstCamera(nullptr, test, std::move(balance))
{}

TGstCamera::TGstCamera(std::unique_ptr<TGstScreenSource> screen)
    : TGstCamera(nullptr, TGstTestCamera::None, nullptr)
{
    screen_ = std::move(screen);
    if (screen_) {
        modes_ = screen_->Modes();
        mode_ = GstCameraModes::DefaultMode(modes_);
    }
}

TGstCamera::TGstCamera(TGstObjectPtr<GstDevice> device, TGstTestCamera test,
                       std::shared_ptr<TTestCameraBalance> balance)
    : device_(std::move(device)), test_(test), balance_(std::move(balance)),
      context_(std::make_unique<QObject>()), frames_([this](const TCameraFrame& frame) {
          if (const auto handler = frameHandler_)
              handler(frame);
      })
{
    gst_init(nullptr, nullptr);
    if (!balance_ && test_ == TGstTestCamera::Pattern)
        balance_ = std::make_shared<TTestCameraBalance>();
    if (device_) {
        TGstCapsPtr caps(gst_device_get_caps(device_.get()));
        modes_ = GstCameraModes::FromCaps(caps.get());
    } else if (test_ != TGstTestCamera::None) {
        modes_ = GstCameraModes::FromCaps(test_ == TGstTestCamera::PatternDV
                                              ? GstCameraModes::TestDVCameraCaps()
                                              : GstCameraModes::TestCameraCaps());
    }
    mode_ = GstCameraModes::DefaultMode(modes_);
}

TGstCamera::~TGstCamera()
{
    Stop();
}

bool TGstCamera::SetMode(int index)
{
    if (Running() || index < 0 || size_t(index) >= modes_.size())
        return false;
    mode_ = index;
    return true;
}

void TGstCamera::SetGrabFormat(QImage::Format format)
{
    if (GstCameraFrame::GrabLayout(format).isEmpty())
        qCWarning(lcCapture) << "frames are not grabbed as" << format;
    else
        grabFormat_ = format;
}

TCameraReadiness TGstCamera::Prepare(TPreparedHandler prepared)
{
    return screen_ ? screen_->Prepare(std::move(prepared)) : TCameraReadiness::Ready;
}

void TGstCamera::CancelPrepare()
{
    if (screen_)
        screen_->CancelPrepare();
}

bool TGstCamera::Start(QString* error)
{
    if (Running())
        return true;
    const auto fail = [&](const QString& why) {
        qCWarning(lcCapture).noquote() << "the camera did not start:" << why;
        if (error)
            *error = why;
        return false;
    };
    if (!device_ && test_ == TGstTestCamera::None && !screen_)
        return fail(QCoreApplication::translate("TGstCamera", "The camera is gone."));
    const TCameraMode* mode = mode_ >= 0 ? &modes_[size_t(mode_)] : nullptr;
    if (screen_ && !screen_->Ready())
        return fail(
            QCoreApplication::translate("TGstCamera", "No screen was chosen to be shared."));
    auto pipeline =
        screen_ ? std::make_unique<TGstCameraPipeline>(*screen_, mode,
                                                       GstCameraFrame::GrabLayout(grabFormat_))
                : std::make_unique<TGstCameraPipeline>(device_.get(), test_, mode, decodeSize_,
                                                       GstCameraFrame::GrabLayout(grabFormat_),
                                                       balance_.get());
    if (!pipeline->Missing().isEmpty())
        return fail(
            QCoreApplication::translate(
                "TGstCamera", "The GStreamer element %1 is missing; install it and try again.")
                .arg(DescribeGstElement(pipeline->Missing())));
    if (!pipeline->Built())
        return fail(QCoreApplication::translate("TGstCamera",
                                                "The camera cannot be opened in the chosen mode."));
    failed_ = false;
    {
        std::lock_guard lock(lock_);
        ++run_;
        starting_ = true;
        startError_.clear();
        pipeline_ = std::move(pipeline);
    }
    TGstObjectPtr<GstBus> bus(gst_element_get_bus(pipeline_->Pipeline()));
    gst_bus_set_sync_handler(bus.get(), OnPipelineMessage, this, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnSample;
    jpegFrames_ = pipeline_->JpegFrames();
    gst_app_sink_set_callbacks(pipeline_->Sink(), &callbacks, this, nullptr);

    const bool playing = WaitUntilPlaying();
    QString startError;
    {
        std::lock_guard lock(lock_);
        starting_ = false;
        startError = startError_;
    }
    if (!playing || !startError.isEmpty()) {
        Stop();
        return fail(
            startError.isEmpty()
                ? QCoreApplication::translate("TGstCamera",
                                              "The camera sent no picture within %1 seconds.")
                      .arg(StartTimeoutMs / 1000)
                : QCoreApplication::translate("TGstCamera", "The camera could not be started: %1")
                      .arg(startError));
    }
    WatchRemoval();
    return true;
}

bool TGstCamera::WaitUntilPlaying()
{
    QElapsedTimer timer;
    timer.start();
    GstStateChangeReturn ret = gst_element_set_state(pipeline_->Pipeline(), GST_STATE_PLAYING);
    // Waited for in slices, so that an error ends the wait at once.
    while (ret == GST_STATE_CHANGE_ASYNC && timer.elapsed() < StartTimeoutMs) {
        {
            std::lock_guard lock(lock_);
            if (!startError_.isEmpty())
                return false;
        }
        ret = gst_element_get_state(pipeline_->Pipeline(), nullptr, nullptr, 50 * GST_MSECOND);
    }
    return ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
}

void TGstCamera::Stop()
{
    CancelPrepare();
    StopWatchingRemoval();
    std::unique_ptr<TGstCameraPipeline> stopping;
    {
        std::lock_guard lock(lock_);
        stopping = std::move(pipeline_);
    }
    // Outside the lock: the streaming threads being joined may be reporting.
    stopping.reset();
    frames_.Drop();
}

GstFlowReturn TGstCamera::OnSample(GstAppSink* sink, gpointer data)
{
    TGstSamplePtr sample(gst_app_sink_pull_sample(sink));
    if (!sample)
        return GST_FLOW_EOS;
    auto* self = static_cast<TGstCamera*>(data);
    TCameraFrame frame;
    // Set once before any start, so the streaming thread may read it.
    frame.screen = self->screen_ != nullptr;
    if (self->jpegFrames_) {
        frame.jpeg = GstCameraFrame::Bytes(sample.get());
        // Enough for the preview, at a fraction of the cost of the whole picture.
        if (std::optional<QImage> preview = TJpegDecoder::DecodeScaled(frame.jpeg, PreviewSize))
            frame.picture = std::move(*preview);
    } else {
        frame.picture = GstCameraFrame::Wrap(std::move(sample));
    }
    if (frame.isNull())
        qCDebug(lcCapture) << "a frame that is no whole picture was dropped";
    else
        self->frames_.Push(std::move(frame));
    return GST_FLOW_OK;
}

GstBusSyncReply TGstCamera::OnPipelineMessage(GstBus*, GstMessage* message, gpointer data)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
        return GST_BUS_DROP;
    auto* self = static_cast<TGstCamera*>(data);
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    qCWarning(lcCapture) << "camera error:" << (error ? error->message : "")
                         << (debug ? debug : "");
    // A resource error of the source means the device is gone (unplugged, taken away, no
    // longer answering); any other error breaks the stream.
    bool lost = false;
    if (error && error->domain == GST_RESOURCE_ERROR) {
        std::lock_guard lock(self->lock_);
        lost = self->pipeline_ && self->pipeline_->FromSource(GST_MESSAGE_SRC(message));
    }
    self->Report(lost ? TCameraFailure::Lost : TCameraFailure::Failed,
                 QString::fromUtf8(error ? error->message : "unknown error"));
    g_clear_error(&error);
    g_free(debug);
    return GST_BUS_DROP;
}

GstBusSyncReply TGstCamera::OnMonitorMessage(GstBus*, GstMessage* message, gpointer data)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_DEVICE_REMOVED)
        return GST_BUS_DROP;
    auto* self = static_cast<TGstCamera*>(data);
    GstDevice* removed = nullptr;
    gst_message_parse_device_removed(message, &removed);
    const TGstObjectPtr<GstDevice> owned(removed);
    if (SameDevice(self->device_.get(), removed))
        self->Report(TCameraFailure::Lost,
                     QCoreApplication::translate("TGstCamera", "The camera was disconnected."));
    return GST_BUS_DROP;
}

void TGstCamera::Report(TCameraFailure failure, const QString& reason)
{
    std::lock_guard lock(lock_);
    if (starting_) {
        if (startError_.isEmpty())
            startError_ = reason;
        return;
    }
    const quint64 run = run_;
    QMetaObject::invokeMethod(
        context_.get(), [this, run, failure, reason] { Fail(run, failure, reason); },
        Qt::QueuedConnection);
}

void TGstCamera::Fail(quint64 run, TCameraFailure failure, const QString& reason)
{
    {
        std::lock_guard lock(lock_);
        if (run != run_)
            return;
    }
    // One failure per run: an unplugged camera also breaks the stream behind it.
    if (!Running() || failed_)
        return;
    failed_ = true;
    if (const auto handler = failureHandler_)
        handler(failure, reason);
}

void TGstCamera::WatchRemoval()
{
    if (!device_)
        return;
    TGstDeviceWatch::LeaveOutPipeWire();
    monitor_.reset(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor_.get(), "Video/Source", nullptr);
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor_.get()));
    gst_bus_set_sync_handler(bus.get(), OnMonitorMessage, this, nullptr);
    if (!gst_device_monitor_start(monitor_.get())) {
        qCDebug(lcCapture) << "no device monitor: an unplugged camera shows as a failed stream";
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        monitor_.reset();
    }
}

void TGstCamera::StopWatchingRemoval()
{
    if (!monitor_)
        return;
    gst_device_monitor_stop(monitor_.get());
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    monitor_.reset();
}

QString TGstCamera::DevicePath() const
{
    GstStructure* props = device_ ? gst_device_get_properties(device_.get()) : nullptr;
    if (!props)
        return {};
    QString path;
    for (const char* key : {"api.v4l2.path", "device.path"})
        if (const gchar* value = gst_structure_get_string(props, key); value && path.isEmpty())
            path = QString::fromUtf8(value);
    gst_structure_free(props);
    return path;
}

std::vector<PropertyPagePtr> TGstCamera::ControlPages()
{
    if (test_ == TGstTestCamera::Pattern) {
        // The test camera's picture goes through a balance stage, as a camera's controls.
        return {balance_};
    }
    // A camera's own controls, asked of its driver; they change the running camera.
    const QString path = DevicePath();
    std::shared_ptr<IV4l2Device> v4l2 = path.isEmpty() ? nullptr : TV4l2Device::Open(path);
    if (!v4l2)
        return {};
    auto controls = std::make_shared<TV4l2ControlPage>(std::move(v4l2));
    if (controls->Controls().empty())
        return {};
    return {controls};
}

std::vector<PropertyPagePtr> TGstCamera::TunerPages()
{
    const QString path = DevicePath();
    std::shared_ptr<IV4l2Device> v4l2 = path.isEmpty() ? nullptr : TV4l2Device::Open(path);
    if (!v4l2 || !TV4l2TunerPage::HasTuner(*v4l2))
        return {};
    return {std::make_shared<TV4l2TunerPage>(std::move(v4l2))};
}
