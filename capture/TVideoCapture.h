#pragma once

#include "capture/TDVResolution.h"
#include "capture/TDeviceLists.h"
#include "capture/TGraphConfig.h"
#include "capture/TPixelFormat.h"
#include "capture/TVCapMode.h"
#include "platform/camera/ICamera.h"
#include "platform/camera/TCameraFrame.h"
#include "platform/ui/IPropertyPage.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class ICameraSystem;

// The camera control: opens the chosen camera, paints its live picture in itself and hands
// every frame it paints to the program as an image. Everything runs on the UI thread.
class TVideoCapture : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)

public:
    // Bits of Dialogs(): the property dialogs a device may offer. The ordinals are the rows'
    // meaning in the video options window and never change.
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

    explicit TVideoCapture(ICameraSystem& system, QWidget* parent = nullptr);
    ~TVideoCapture() override;

    // Read when the camera starts.
    bool WantBitmaps = true;
    TPixelFormat BitmapPixelFormat = TPixelFormat::pf24bit;
    bool WantPreview = true;

    QColor Color() const;
    void SetColor(const QColor& color);
    TDVResolution DVResolution() const { return dvResolution_; }
    void SetDVResolution(TDVResolution value);

    bool Previewing() const { return previewing_; }
    // A start waits for the desktop (the user picking the screen to share). A camera that was
    // running goes on meanwhile; the switch happens when the pick comes.
    bool WaitingForDesktop() const { return pending_.has_value(); }
    quint16 Dialogs() const { return dialogs_; }
    // The open camera's name as the system gives it; empty before one was opened.
    QString VideoDeviceName() const { return videoDeviceName_; }
    TDeviceLists& DeviceLists() { return lists_; }
    // The caption of the camera's error boxes: it names the camera.
    QString ErrorCaption() const;
    // The newest frame painted as the preview. A stopped preview keeps its last picture (under
    // the main window's stop marker); null before the first frame and once torn down.
    QImage PreviewFrame() const { return frame_; }

    bool Initialize();
    // Opens, readies and starts the configured camera. When a newly chosen camera opens but
    // will not start, the camera that was running is applied again. A newly chosen camera that
    // waits for the desktop leaves the running one on until the answer; a newer choice, a
    // stop or the end of this control drops the wait.
    void ApplyConfig(const TGraphConfig& config);
    // The camera in use (not one waiting for the desktop).
    void ReadConfig(TGraphConfig& config);
    // False also while the start waits for the desktop; it follows when the answer comes.
    bool StartPreview();
    // Also ends a wait for the desktop.
    bool StopPreview();

    // Opens the configured camera (closing the one open); false with the error shown.
    bool CreateCaptureFilters();
    // Readies the open camera for a start: grab format, DV size, dialogs.
    bool BuildGraph();
    // Stops the preview and forgets the readied state; the camera stays open.
    void TearDownGraph();
    void ReleaseFilters();
    bool IsDV() const;
    void DetectDialogs();
    // Opens a dialog the device offers (in Dialogs()): false when it does not.
    bool ShowDialog(TCaptureDialog dialog);
    // The settings pages behind a dialog, generated from what the camera offers.
    std::vector<PropertyPagePtr> DialogPages(TCaptureDialog dialog);
    // The dialogs' names, by ordinal.
    static QStringList DialogCaptions();

    // Capture modes of the open camera (a DV camera's are its four decoding sizes).
    int GetVCapModeCount() const;
    void GetCurrentVCapMode(TVCapMode& mode) const;
    void GetVCapMode(int index, TVCapMode& mode) const;
    bool SetVCapMode(int index);
    bool SetVCapModeByValue(const TVCapMode& mode);

    void ShowCaptureError(const QString& message);

signals:
    void OnAborted();
    void OnDeviceLost();
    void OnChangeDevice();
    void OnChangeVCapMode();
    void OnStopPreview();
    void OnStartPreview();
    void OnBitmapGrabbed(const QImage& frame);
    // The same frame with what the camera gave besides the picture (its own JPEG, the screen).
    void OnFrameGrabbed(const TCameraFrame& frame);
    // The device list was read afresh after devices were plugged in or out; the running
    // camera is left as it is.
    void OnDevicesChanged();
    // A start began (true) or ended (false) waiting for the desktop, whatever the outcome; the
    // camera in use, as ReadConfig() gives it, may have changed when it ends.
    void OnWaitingForDesktop(bool waiting);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A start waiting for the desktop.
    struct TPending
    {
        // The newly chosen camera, readied while the running one goes on; null when the open
        // camera itself waits.
        std::unique_ptr<ICamera> candidate;
        TGraphConfig config; // what to apply once the candidate is ready
        QString name;        // the candidate's, for its error box
    };

    // Opens the newly chosen camera while the running one goes on and readies it. False when it
    // waits for the desktop; else it is left for CreateCaptureFilters (none when it does not
    // open, which that says).
    bool PrepareCandidate(const TGraphConfig& config);
    ICamera::TPreparedHandler PreparedHandler(quint64 serial);
    void Waiting(TPending pending, quint64 serial);
    void Prepared(quint64 serial, const QString& error);
    // Drops the wait: the desktop's dialog goes, and nothing of it is used afterwards.
    void CancelPending(bool tell = true);
    bool StopRunning();
    void ShowCaptureError(const QString& caption, const QString& message);
    static QString CaptionFor(const QString& name);
    void FrameArrived(const TCameraFrame& frame);
    void Failed(TCameraFailure failure, const QString& reason);
    void DevicesChanged();
    // A DV camera's decoding size; empty for dvrDontWorry.
    static QSize DVSize(TDVResolution resolution);

    ICameraSystem& system_;
    TDeviceLists lists_;
    std::unique_ptr<ICamera> camera_;
    std::optional<TPending> pending_;
    quint64 pendingSerial_ = 0;         // a handler of an earlier wait finds it changed
    std::unique_ptr<ICamera> prepared_; // a ready candidate, taken instead of opening again
    QString videoDeviceName_;
    QString videoDisplayName_; // as listed, for the configuration
    // What the configuration holds that no camera uses (the recording branch, sound, files):
    // read from the file and written back unchanged.
    TGraphConfig carried_;

    bool built_ = false;
    bool previewing_ = false;
    quint16 dialogs_ = 0;
    TDVResolution dvResolution_ = TDVResolution::dvrDontWorry;
    QImage frame_;
};
