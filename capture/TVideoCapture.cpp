#include "capture/TVideoCapture.h"

#include "platform/camera/ICamera.h"
#include "platform/camera/ICameraSystem.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TUiServices.h"

#include <QPainter>
#include <QPointer>

#include <optional>

namespace {

// The layout grabbed frames are handed out in. Depths no encoder takes come as 24-bit colour.
QImage::Format GrabFormat(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
        return QImage::Format_RGB555;
    case TPixelFormat::pf32bit:
        return QImage::Format_RGB32;
    default:
        return QImage::Format_BGR888;
    }
}

// What a configuration holds besides the camera, as the main window runs it: no recording
// branch, no sound, the file names the settings window never changes.
TGraphConfig FormSettings()
{
    TGraphConfig c;
    c.WantCapture = c.WantAudio = c.WantDVAudio = c.WantAudioPreview = false;
    c.DoPreallocFile = c.UseTempFile = false;
    c.PreallocFileSize = 1;
    c.DVResolution = TDVResolution::dvrDontWorry;
    return c;
}

} // namespace

TVideoCapture::TVideoCapture(ICameraSystem& system, QWidget* parent)
    : QWidget(parent), system_(system), lists_(system), carried_(FormSettings())
{
    setAutoFillBackground(true);
    SetColor(QColor(0x00, 0x00, 0xFF));
    resize(100, 100);
    // The system may outlive this control (and this control its system, as the main window's
    // children go last): the handler checks it is still there and is never cleared from here.
    system_.SetDevicesChanged([self = QPointer<TVideoCapture>(this)] {
        if (self)
            self->DevicesChanged();
    });
}

TVideoCapture::~TVideoCapture()
{
    // Nobody is told on the way out.
    CancelPending(false);
    ReleaseFilters();
}

QColor TVideoCapture::Color() const
{
    return palette().color(QPalette::Window);
}

void TVideoCapture::SetColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
}

QString TVideoCapture::ErrorCaption() const
{
    // A camera that cannot be found is named as the configuration names it.
    return CaptionFor(!videoDeviceName_.isEmpty() ? videoDeviceName_ : videoDisplayName_);
}

QString TVideoCapture::CaptionFor(const QString& name)
{
    return (name.isEmpty() ? tr("Camera") : name) + tr(" - Capture");
}

void TVideoCapture::ShowCaptureError(const QString& message)
{
    ShowCaptureError(ErrorCaption(), message);
}

void TVideoCapture::ShowCaptureError(const QString& caption, const QString& message)
{
    qCWarning(lcCapture).noquote() << caption + ":" << message;
    Ui().CaptionedError(caption, message);
}

bool TVideoCapture::Initialize()
{
    lists_.Refresh();
    return !lists_.VideoCaptureDeviceNames(false).isEmpty();
}

void TVideoCapture::ApplyConfig(const TGraphConfig& wanted)
{
    // A copy: whoever hears of a dropped wait may change the caller's record.
    const TGraphConfig config = wanted;
    // A newer choice replaces one still waiting for the desktop.
    CancelPending();
    // A newly chosen camera that opens but will not start (a screen share the desktop
    // refused, a camera another program holds) gives way to the one that was running, so the
    // picture the peer sees stays. One that waits for the user's pick of a screen is readied
    // while the running camera goes on.
    std::optional<TGraphConfig> running;
    if (camera_ && previewing_ && config.VCapSource != videoDisplayName_) {
        running.emplace();
        ReadConfig(*running);
        if (config.WantPreview && !prepared_ && !PrepareCandidate(config))
            return;
    }
    ReleaseFilters();
    carried_ = config;
    WantPreview = config.WantPreview;
    WantBitmaps = config.WantBitmaps;
    BitmapPixelFormat = config.PixelFormat;
    SetDVResolution(config.DVResolution);

    lists_.Refresh();
    videoDisplayName_ = config.VCapSource;
    const bool opened = CreateCaptureFilters();
    SetVCapModeByValue(config.VCapMode);
    if (BuildGraph() && WantPreview)
        StartPreview();
    if (running && opened && WantPreview && !previewing_) {
        qCInfo(lcCapture).noquote() << "going back to" << running->VCapSource;
        ApplyConfig(*running);
        return;
    }
    emit OnChangeDevice();
}

void TVideoCapture::ReadConfig(TGraphConfig& config)
{
    config = carried_;
    config.WantPreview = WantPreview;
    config.WantBitmaps = WantBitmaps;
    config.PixelFormat = BitmapPixelFormat;
    config.DVResolution = dvResolution_;
    config.VCapSource = camera_ ? videoDisplayName_ : QString();
    GetCurrentVCapMode(config.VCapMode);
}

bool TVideoCapture::CreateCaptureFilters()
{
    ReleaseFilters();
    const int index = lists_.IndexOf(videoDisplayName_);
    videoDeviceName_ = lists_.FriendlyName(videoDisplayName_);
    if (prepared_)
        camera_ = std::move(prepared_);
    else if (index >= 0)
        camera_ = system_.Open(index);
    if (!camera_) {
        ShowCaptureError(tr("Can't create video capture filter - propably you "
                            "havn't video capture device!"));
        return false;
    }
    camera_->SetFrameHandler([this](const TCameraFrame& frame) { FrameArrived(frame); });
    camera_->SetFailureHandler(
        [this](TCameraFailure failure, const QString& reason) { Failed(failure, reason); });
    return true;
}

void TVideoCapture::ReleaseFilters()
{
    CancelPending();
    TearDownGraph();
    StopPreview();
    camera_.reset();
    dialogs_ = 0;
}

bool TVideoCapture::BuildGraph()
{
    if (!camera_)
        return false;
    if (built_)
        return true;
    camera_->SetGrabFormat(GrabFormat(BitmapPixelFormat));
    camera_->SetDecodeSize(IsDV() ? DVSize(dvResolution_) : QSize());
    DetectDialogs();
    built_ = true;
    return true;
}

void TVideoCapture::TearDownGraph()
{
    // The open camera's own wait goes with its readied state; a newly chosen one's goes on.
    if (pending_ && !pending_->candidate)
        CancelPending();
    if (!built_)
        return;
    if (previewing_)
        StopRunning();
    built_ = false;
    frame_ = QImage();
    update();
}

bool TVideoCapture::StartPreview()
{
    if (camera_ && previewing_)
        return true;
    if (!BuildGraph())
        return false;
    if (pending_ && !pending_->candidate)
        return false; // the start that waits comes with the answer
    const quint64 serial = pendingSerial_ + 1;
    if (camera_->Prepare(PreparedHandler(serial)) == TCameraReadiness::Pending) {
        if (pending_) {
            camera_->CancelPrepare(); // one wait for the desktop at a time
            return false;
        }
        Waiting({nullptr, {}, {}}, serial);
        return false;
    }
    QString error;
    if (!camera_->Start(&error)) {
        camera_->Stop();
        ShowCaptureError(tr("Cannot run preview graph!") +
                         (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error));
        return false;
    }
    previewing_ = true;
    emit OnStartPreview();
    return true;
}

bool TVideoCapture::StopPreview()
{
    CancelPending();
    return StopRunning();
}

bool TVideoCapture::StopRunning()
{
    if (!previewing_)
        return false;
    if (camera_)
        camera_->Stop();
    update();
    emit OnStopPreview();
    previewing_ = false;
    return true;
}

void TVideoCapture::FrameArrived(const TCameraFrame& frame)
{
    if (!previewing_)
        return;
    // The preview paints the very image the window sends: no copy for either.
    frame_ = frame.picture;
    update();
    if (WantBitmaps) {
        emit OnBitmapGrabbed(frame.picture);
        emit OnFrameGrabbed(frame);
    }
}

void TVideoCapture::Failed(TCameraFailure failure, const QString& reason)
{
    qCWarning(lcCapture).noquote()
        << "camera" << videoDeviceName_ << (failure == TCameraFailure::Lost ? "lost:" : "failed:")
        << reason;
    const bool wasPreviewing = previewing_;
    if (failure == TCameraFailure::Lost) {
        emit OnDeviceLost();
        StopRunning(); // a pick the user is making for another camera goes on
    } else {
        emit OnAborted();
    }
    if (wasPreviewing != previewing_ && WantPreview)
        StartPreview();
}

bool TVideoCapture::PrepareCandidate(const TGraphConfig& config)
{
    lists_.Refresh();
    const int index = lists_.IndexOf(config.VCapSource);
    std::unique_ptr<ICamera> candidate = index >= 0 ? system_.Open(index) : nullptr;
    if (!candidate)
        return true;
    const quint64 serial = pendingSerial_ + 1;
    if (candidate->Prepare(PreparedHandler(serial)) == TCameraReadiness::Ready) {
        prepared_ = std::move(candidate);
        return true;
    }
    Waiting({std::move(candidate), config, lists_.FriendlyName(config.VCapSource)}, serial);
    return false;
}

ICamera::TPreparedHandler TVideoCapture::PreparedHandler(quint64 serial)
{
    // The camera never calls after its wait was cancelled or it is gone; the serial also keeps
    // an answer to an earlier wait from being taken for the current one.
    return [this, serial](const QString& error) { Prepared(serial, error); };
}

void TVideoCapture::Waiting(TPending pending, quint64 serial)
{
    pendingSerial_ = serial;
    pending_ = std::move(pending);
    qCInfo(lcCapture).noquote() << "waiting for the desktop: the user picks the screen to share"
                                << (pending_->candidate ? "while the camera in use goes on" : "");
    emit OnWaitingForDesktop(true);
}

void TVideoCapture::Prepared(quint64 serial, const QString& error)
{
    if (!pending_ || serial != pendingSerial_)
        return;
    TPending pending = std::move(*pending_);
    pending_.reset();
    qCInfo(lcCapture).noquote() << "the desktop answered:"
                                << (error.isEmpty() ? QStringLiteral("shared") : error);
    const QString failed = tr("Cannot run preview graph!") +
                           (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error);
    if (!pending.candidate) {
        // The open camera itself waited.
        emit OnWaitingForDesktop(false);
        if (!error.isEmpty())
            ShowCaptureError(failed);
        else if (camera_)
            StartPreview();
        return;
    }
    if (error.isEmpty()) {
        prepared_ = std::move(pending.candidate);
        ApplyConfig(pending.config);
        prepared_.reset(); // taken, unless the apply went another way
        emit OnWaitingForDesktop(false);
        return;
    }
    // The camera in use simply stays.
    pending.candidate.reset();
    emit OnWaitingForDesktop(false);
    ShowCaptureError(CaptionFor(pending.name), failed);
}

void TVideoCapture::CancelPending(bool tell)
{
    if (!pending_)
        return;
    TPending pending = std::move(*pending_);
    pending_.reset();
    if (pending.candidate)
        pending.candidate->CancelPrepare();
    else if (camera_)
        camera_->CancelPrepare();
    qCInfo(lcCapture) << "no longer waiting for the desktop";
    if (tell)
        emit OnWaitingForDesktop(false);
}

void TVideoCapture::DevicesChanged()
{
    lists_.Refresh();
    qCDebug(lcCapture) << "camera list read again:" << lists_.Names().size() << "cameras";
    // Emitted on every word from the system, also when the list reads the same: Apply may
    // have read it in between, and whoever shows it last showed it before that.
    emit OnDevicesChanged();
}

void TVideoCapture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (frame_.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(rect(), frame_);
}
