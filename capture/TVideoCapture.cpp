#include "capture/TVideoCapture.h"

#include "capture/EVideoCaptureError.h"
#include "capture/TGraphConfig.h"
#include "capture/TSampleGrabberCB.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/ui/TUiServices.h"

#include <QFileInfo>
#include <QPointer>
#include <QResizeEvent>
#include <array>
#include <cmath>

TVideoCapture::TVideoCapture(ICaptureSystem& system, QWidget* parent)
    : QWidget(parent), system_(system), lists_(system),
      callback_(std::make_unique<TSampleGrabberCB>())
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
    StopPreview();
    TearDownGraph();
    ResetAll();
    callback_->Window.store(nullptr);
    lists_.ClearDeviceLists();
}

void TVideoCapture::ResetAll()
{
    ReleaseFilters();
    if (videoWindow_)
        videoWindow_->SetOwner(nullptr);
    videoWindow_.reset();
    eventSource_ = false;
    mux_.reset();
    fileWriter_.reset();
    muxConfig_.reset();
    graphBuilt_ = false;
    previewing_ = false;
    masterStream_ = -1;
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

void TVideoCapture::SetFrameRate(double value)
{
    // Outside what cameras deliver (or not a number at all): fall back to PAL's rate.
    frameRate_ = (std::isnan(value) || value < 1 || value > 50) ? 25.0 : value;
}

void TVideoCapture::SetTempCaptureFileName(const QString& name)
{
    tempCaptureFileName_ = name;
    if (fileWriter_)
        fileWriter_->SetFileName(ResolveFile(name));
}

QString TVideoCapture::ResolveFile(const QString& name) const
{
    // The program's files live beside it, never in whatever the current directory is.
    if (name.isEmpty() || !QFileInfo(name).isRelative())
        return name;
    return TProgramFolder::File(name);
}

QString TVideoCapture::FormatCaptureError(const QString& message, HRESULT code)
{
    QString text = message;
    return text.replace(QLatin1String("%x"), QString::number(quint32(code), 16).toUpper());
}

void TVideoCapture::ShowCaptureError(const QString& message, HRESULT code)
{
    const QString text = FormatCaptureError(message, code);
    qCWarning(lcCapture).noquote() << ErrorCaption + ":" << text;
    Ui().CaptionedError(ErrorCaption, text);
}

void TVideoCapture::RaiseCaptureError(const QString& message, HRESULT code)
{
    ShowCaptureError(message, code);
    throw EVideoCaptureError(FormatCaptureError(message, code));
}

bool TVideoCapture::Initialize()
{
    if (!graph_ && (Hr::Failed(system_.CreateFilterGraph(graph_)) || !graph_)) {
        graph_.reset();
        return false;
    }
    if (!builder_ && (Hr::Failed(system_.CreateCaptureGraphBuilder(builder_)) || !builder_)) {
        builder_.reset();
        return false;
    }
    builder_->SetFiltergraph(graph_);
    lists_.RefreshDeviceLists();
    return !lists_.List(TDeviceCategory::VideoInput).empty();
}

void TVideoCapture::ApplyConfig(const TGraphConfig& config)
{
    TearDownGraph();
    ReleaseFilters();

    UseTempFile = config.UseTempFile;
    WantBitmaps = config.WantBitmaps;
    DoPreallocFile = config.DoPreallocFile;
    WantCapture = config.WantCapture;
    WantPreview = config.WantPreview;
    WantDVAudio = config.WantDVAudio;
    WantAudio = config.WantAudio;
    WantAudioPreview = config.WantAudioPreview;
    PreallocFileSize = config.PreallocFileSize;
    SetDVResolution(config.DVResolution);
    BitmapPixelFormat = config.PixelFormat;
    if (!config.TempCaptureFileName.isEmpty())
        SetTempCaptureFileName(config.TempCaptureFileName);
    if (!config.CaptureFileName.isEmpty())
        SetCaptureFileName(config.CaptureFileName);

    lists_.RefreshDeviceLists();
    videoDevice_ = lists_.FindByName(TDeviceCategory::VideoInput, config.VCapSource);
    audioDevice_ = lists_.FindByName(TDeviceCategory::AudioInput, config.ACapSource);
    audioCompressorDevice_ = lists_.FindByName(TDeviceCategory::AudioCompressor, config.AComp);
    videoCompressorDevice_ = lists_.FindByName(TDeviceCategory::VideoCompressor, config.VComp);

    CreateCaptureFilters();
    if (!config.VCompState.isEmpty() && vfwCompressDialogs_)
        vfwCompressDialogs_->SetState(config.VCompState);
    SetACapModeByValue(config.ACapMode);
    SetVCapModeByValue(config.VCapMode);
    if (BuildGraph() && WantPreview)
        StartPreview();
    emit OnChangeDevice();
    emit OnChangeCompressor();
}

void TVideoCapture::ReadConfig(TGraphConfig& config)
{
    config.Clear();
    config.UseTempFile = UseTempFile;
    config.WantBitmaps = WantBitmaps;
    config.DoPreallocFile = DoPreallocFile;
    config.WantCapture = WantCapture;
    config.WantPreview = WantPreview;
    config.WantDVAudio = WantDVAudio;
    config.WantAudio = WantAudio;
    config.WantAudioPreview = WantAudioPreview;
    config.PreallocFileSize = PreallocFileSize;
    config.TempCaptureFileName = tempCaptureFileName_;
    config.CaptureFileName = captureFileName_;
    config.DVResolution = dvResolution_;
    config.PixelFormat = BitmapPixelFormat;
    GetCurrentACapMode(config.ACapMode);
    GetCurrentVCapMode(config.VCapMode);
    config.VCompState.clear();
    QByteArray state;
    if (vfwCompressDialogs_ && Hr::Succeeded(vfwCompressDialogs_->GetState(state)) &&
        !state.isEmpty())
        config.VCompState = state;

    // A device missing from its list may have come back under a new position: look once more.
    const auto nameOf = [this](TDeviceCategory category, const MonikerPtr& device) {
        QString name = lists_.FindByMoniker(category, device);
        if (name.isEmpty()) {
            lists_.Enumerate(category);
            name = lists_.FindByMoniker(category, device);
        }
        return name;
    };
    config.VCapSource = nameOf(TDeviceCategory::VideoInput, videoDevice_);
    config.ACapSource = nameOf(TDeviceCategory::AudioInput, audioDevice_);
    config.VComp = nameOf(TDeviceCategory::VideoCompressor, videoCompressorDevice_);
    config.AComp = nameOf(TDeviceCategory::AudioCompressor, audioCompressorDevice_);
}

void TVideoCapture::HandleGraphEvents()
{
    if (!eventSource_ || !graph_)
        return;
    const bool wasPreviewing = previewing_;
    const GraphPtr graph = graph_; // handlers may rebuild the component's graph
    qint32 code = 0;
    qint64 param1 = 0;
    qint64 param2 = 0;
    while (Hr::Succeeded(graph->GetEvent(code, param1, param2, 0))) {
        graph->FreeEventParams(code, param1, param2);
        if (code == GraphEvent::EC_ERRORABORT) {
            emit OnAborted();
        } else if (code == GraphEvent::EC_DEVICE_LOST) {
            emit OnDeviceLost();
            StopPreview();
        }
    }
    if (wasPreviewing != previewing_ && WantPreview)
        StartPreview();
}

void TVideoCapture::DevicesChanged()
{
    struct TInUse
    {
        TDeviceCategory category;
        MonikerPtr& device;
        QString name;
    };
    std::array<TInUse, 4> inUse{{{TDeviceCategory::VideoInput, videoDevice_, {}},
                                 {TDeviceCategory::AudioInput, audioDevice_, {}},
                                 {TDeviceCategory::VideoCompressor, videoCompressorDevice_, {}},
                                 {TDeviceCategory::AudioCompressor, audioCompressorDevice_, {}}}};
    for (TInUse& use : inUse)
        use.name = lists_.FindByMoniker(use.category, use.device);
    lists_.RefreshDeviceLists();
    for (TInUse& use : inUse) {
        // A system may hand out new handles for the same devices on every enumeration: the
        // device in use is found again by its name, so that reading the configuration still
        // names it. The running graph keeps the filter it was built with.
        if (use.device && !use.name.isEmpty() &&
            lists_.FindByMoniker(use.category, use.device).isEmpty())
            if (MonikerPtr again = lists_.FindByName(use.category, use.name))
                use.device = again;
    }
    qCDebug(lcCapture) << "device lists read again:"
                       << lists_.List(TDeviceCategory::VideoInput).size() << "cameras,"
                       << lists_.List(TDeviceCategory::AudioInput).size() << "sound sources";
    // Emitted on every word from the system, also when the lists read the same: Apply may
    // have read them in between, and whoever shows them last showed them before that.
    emit OnDevicesChanged();
}

bool TVideoCapture::event(QEvent* event)
{
    if (event->type() == TGrabberEvent::TypeOf(TGrabberEvent::WM_BITMAPGRABBED) ||
        event->type() == TGrabberEvent::TypeOf(TGrabberEvent::WM_FRAMERENDERED)) {
        const auto* grabbed = static_cast<TGrabberEvent*>(event);
        if (grabbed->Message == TGrabberEvent::WM_BITMAPGRABBED)
            HandleBitmapGrabbed(grabbed->Callback);
        else
            emit OnFrameRendered();
        return true;
    }
    return QWidget::event(event);
}

void TVideoCapture::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (videoWindow_)
        videoWindow_->SetWindowPosition(0, 0, width(), height());
}
