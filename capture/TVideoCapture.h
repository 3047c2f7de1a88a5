#pragma once

#include "capture/TACapMode.h"
#include "capture/TCapturedBitmap.h"
#include "capture/TDVResolution.h"
#include "capture/TDeviceLists.h"
#include "capture/TPixelFormat.h"
#include "capture/TVCapMode.h"
#include "platform/capturegraph/CaptureInterfaces.h"

#include <QColor>
#include <QWidget>
#include <memory>

class TGraphConfig;
class TSampleGrabberCB;

// The camera control: owns one capture graph, shows the live picture in itself and hands
// single frames out as bitmaps. Everything runs on the UI thread; the grabber's callback is the
// only thing the streaming side touches.
class TVideoCapture : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)

public:
    // Bits of Dialogs(): the property dialogs a device offers.
    enum TCaptureDialog
    {
        cdVideoFormat,
        cdVideoSource,
        cdVideoDisplay,
        cdVideoCaptureFilter,
        cdVideoCrossbar,
        cdTVTuner,
        cdAudioCaptureFilter,
        cdAudioCrossbar,
        cdTVAudio,
        cdVideoCapturePin,
        cdVideoPreviewPin,
        cdAudioCapturePin,
        cdVideoCompressor,
        cdAudioCompressor,
    };

    static constexpr int WM_GRAPHNOTIFY = 1025;
    static inline const QString ErrorCaption = QStringLiteral("DirectShow - Capture");

    explicit TVideoCapture(ICaptureSystem& system, QWidget* parent = nullptr);
    ~TVideoCapture() override;

    // Plain settings, read when the graph is built.
    bool WantBitmaps = true;
    TPixelFormat BitmapPixelFormat = TPixelFormat::pf24bit;
    bool WantAudio = true;
    bool WantDVAudio = true;
    bool WantAudioPreview = true;
    bool WantPreview = true;
    bool WantCapture = true;
    bool UseFrameRate = false;
    bool UseTempFile = false;
    bool UseTimeLimit = false; // kept for the configuration; nothing records
    qint32 TimeLimit = 0;
    bool DoPreallocFile = false;
    quint32 PreallocFileSize = 1; // megabytes

    QColor Color() const;
    void SetColor(const QColor& color);
    TDVResolution DVResolution() const { return dvResolution_; }
    void SetDVResolution(TDVResolution value);
    double FrameRate() const { return frameRate_; }
    void SetFrameRate(double value);
    QString CaptureFileName() const { return captureFileName_; }
    void SetCaptureFileName(const QString& name) { captureFileName_ = name; }
    QString TempCaptureFileName() const { return tempCaptureFileName_; }
    void SetTempCaptureFileName(const QString& name);

    bool Previewing() const { return previewing_; }
    bool GraphBuilt() const { return graphBuilt_; }
    quint16 Dialogs() const { return dialogs_; }
    int MasterStream() const { return masterStream_; }
    QString VideoDeviceName() const { return videoDeviceName_; }
    QString AudioDeviceName() const { return audioDeviceName_; }
    // The file the capture branch writes, resolved against the program's folder.
    QString CurrentCaptureFile() const { return currentCaptureFile_; }
    TDeviceLists& DeviceLists() { return lists_; }

    bool Initialize();
    void ApplyConfig(const TGraphConfig& config);
    void ReadConfig(TGraphConfig& config);
    bool StartPreview();
    bool StopPreview();
    bool GrabNextFrame();

    // The graph's life, step by step.
    void ReleaseFilters();
    bool CreateCaptureFilters();
    bool BuildGraph();
    void TearDownGraph();
    void RemoveDownstream(const FilterPtr& filter);
    bool ControlCaptureStream(bool start);
    bool MakePreviewWindow();
    bool AllocCaptureFile(quint32 megabytes);
    bool SetMasterStream(int stream);
    bool IsDV();
    void DetectDialogs();
    // Opens a dialog the device offers (in Dialogs()): false when it does not.
    bool ShowDialog(TCaptureDialog dialog);
    // The settings pages behind a dialog, generated from what the objects offer.
    std::vector<PropertyPagePtr> DialogPages(TCaptureDialog dialog);
    // The dialogs' names, by ordinal.
    static const QStringList& DialogCaptions();

    // Capture modes of the selected devices.
    int GetACapModeCount();
    int GetVCapModeCount();
    void GetCurrentACapMode(TACapMode& mode);
    void GetCurrentVCapMode(TVCapMode& mode);
    void GetACapMode(int index, TACapMode& mode);
    void GetVCapMode(int index, TVCapMode& mode);
    bool SetACapMode(int index);
    bool SetVCapMode(int index);
    bool SetACapModeByValue(const TACapMode& mode);
    bool SetVCapModeByValue(const TVCapMode& mode);
    static bool ACapModesMatch(const TACapMode& a, const TACapMode& b);
    static bool VCapModesMatch(const TVCapMode& a, const TVCapMode& b);

    // "%x" in the message becomes the code in upper-case hexadecimal (32-bit, no leading zeros).
    static QString FormatCaptureError(const QString& message, HRESULT code);
    void ShowCaptureError(const QString& message, HRESULT code = 0);
    [[noreturn]] void RaiseCaptureError(const QString& message, HRESULT code = 0);

signals:
    void OnAborted();
    void OnDeviceLost();
    void OnChangeDevice();
    void OnChangeCompressor();
    void OnChangeVCapMode();
    void OnChangeACapMode();
    void OnCaptureProgress(); // recording is not offered: never emitted
    void OnStopCapture();     // never emitted
    void OnStopPreview();
    void OnStartCapture(); // never emitted
    void OnStartPreview();
    void OnBitmapGrabbed(const TCapturedBitmap& capturedImage);
    void OnFrameRendered();
    // The device lists were read afresh after devices were plugged in or out; the graph is
    // left as it is.
    void OnDevicesChanged();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool RenderPreview(const FilterPtr& videoSource);
    std::shared_ptr<IAMStreamConfig> FindPinConfig(TPinCategory category, const TGuid& major,
                                                   const FilterPtr& filter);
    void HandleGraphEvents();
    // The system's word that devices came or went.
    void DevicesChanged();
    void HandleBitmapGrabbed(const TSampleGrabberCB* callback);
    // Takes the capture branch and everything downstream of the sources out of the graph.
    void DismantleGraph();
    QString ResolveFile(const QString& name) const;
    void ResetAll();

    ICaptureSystem& system_;
    TDeviceLists lists_;
    // Declared before the graph objects so that it outlives their streaming.
    std::unique_ptr<TSampleGrabberCB> callback_;

    GraphPtr graph_;
    BuilderPtr builder_;
    std::shared_ptr<IVideoWindow> videoWindow_;
    bool eventSource_ = false;
    std::shared_ptr<IAMVfwCaptureDialogs> vfwCaptureDialogs_;
    std::shared_ptr<IAMVfwCompressDialogs> vfwCompressDialogs_;
    std::shared_ptr<IAMStreamConfig> audioStreamConfig_;
    std::shared_ptr<IAMStreamConfig> videoStreamConfig_;
    FilterPtr videoCapture_;
    FilterPtr audioCapture_;
    FilterPtr videoCompressor_;
    FilterPtr audioCompressor_;
    FilterPtr dvSplitter_;
    FilterPtr dvDecoder_;
    FilterPtr mux_;
    std::shared_ptr<IFileSinkFilter> fileWriter_;
    std::shared_ptr<IConfigAviMux> muxConfig_;
    std::shared_ptr<ISampleGrabber> grabber_;

    MonikerPtr videoDevice_;
    MonikerPtr audioDevice_;
    MonikerPtr videoCompressorDevice_;
    MonikerPtr audioCompressorDevice_;
    QString videoDeviceName_;
    QString audioDeviceName_;

    bool graphBuilt_ = false;
    bool previewing_ = false;
    int masterStream_ = -1;
    quint16 dialogs_ = 0;
    QString currentCaptureFile_;

    TDVResolution dvResolution_ = TDVResolution::dvrDontWorry;
    double frameRate_ = 0;
    QString captureFileName_;
    QString tempCaptureFileName_;
};
