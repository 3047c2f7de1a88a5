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
    const QString name = !videoDeviceName_.isEmpty() ? videoDeviceName_ : videoDisplayName_;
    return (name.isEmpty() ? QStringLiteral("Camera") : name) + QStringLiteral(" - Capture");
}

void TVideoCapture::ShowCaptureError(const QString& message)
{
    qCWarning(lcCapture).noquote() << ErrorCaption() + ":" << message;
    Ui().CaptionedError(ErrorCaption(), message);
}

bool TVideoCapture::Initialize()
{
    lists_.Refresh();
    return !lists_.VideoCaptureDeviceNames(false).isEmpty();
}

void TVideoCapture::ApplyConfig(const TGraphConfig& config)
{
    // A newly chosen camera that opens but will not start (a screen share the desktop
    // refused, a camera another program holds) gives way to the one that was running, so the
    // picture the peer sees stays.
    std::optional<TGraphConfig> running;
    if (camera_ && previewing_ && config.VCapSource != videoDisplayName_) {
        running.emplace();
        ReadConfig(*running);
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
    if (index >= 0)
        camera_ = system_.Open(index);
    if (!camera_) {
        ShowCaptureError(QStringLiteral("Can't create video capture filter - propably you "
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
    if (!built_)
        return;
    if (previewing_)
        StopPreview();
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
    QString error;
    if (!camera_->Start(&error)) {
        camera_->Stop();
        ShowCaptureError(QStringLiteral("Cannot run preview graph!") +
                         (error.isEmpty() ? QString() : QStringLiteral("\r\n") + error));
        return false;
    }
    previewing_ = true;
    emit OnStartPreview();
    return true;
}

bool TVideoCapture::StopPreview()
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
        StopPreview();
    } else {
        emit OnAborted();
    }
    if (wasPreviewing != previewing_ && WantPreview)
        StartPreview();
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
