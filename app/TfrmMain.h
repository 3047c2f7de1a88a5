#pragma once

#include "app/CallStatsText.h"
#include "app/IDatagramSender.h"
#include "app/TCallCounters.h"
#include "capture/TCapturedBitmap.h"
#include "capture/TGraphConfig.h"
#include "contacts/TCallSettings.h"
#include "platform/elements/TGstElements.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/player/IMediaPlayer.h"
#include "voice/TVOIPMedia.h"
#include "widgets/PaintGradient.h"

#include <QHostAddress>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class TUdpListener;
class TFormPlacement;
class TImage;
class TImageButton;
class TTrackBar;
class TWindowDragger;
class TVideoCapture;
class ICaptureSystem;
class TFrameDecoder;
class TPulseVolume;
class TStatsOverlay;

// The ports the program talks on; tests run several main windows in one process.
struct TCallPorts
{
    quint16 signallingListen = 6767;
    quint16 signallingPeer = 6767;
    quint16 voice = 8500;
    quint16 videoListen = 8800;
    quint16 videoPeer = 8800;
};

// The main window: the peer's video with the local preview and the caller-ID line on the
// left, the sidebar with the address, the call and tool buttons and the level bars on the
// right. It owns the live state of the whole call machinery.
class TfrmMain : public QWidget
{
    Q_OBJECT
public:
    static const QString HostNamePrompt;

    using TPorts = TCallPorts;

    // The camera comes from capture; the program passes the GStreamer system, tests a fake.
    explicit TfrmMain(std::shared_ptr<ICaptureSystem> capture, TPorts ports = TPorts());
    ~TfrmMain() override;

    // State, in the order the rest of the program knows it.
    bool PeerFrameSeen = false;
    std::unique_ptr<TVOIPMedia> VoiceSession;
    TGraphConfig CaptureConfig;
    qint32 JpegQuality = 100;
    TCallSettings CallSettings;
    bool Connected = false;
    bool Busy = false;
    bool CallOffered = false;
    bool Ringing = false;
    qint32 SavedMicLevel = 0;
    qint32 MicLevel = 0;
    // The dotted address of the one host this call is with, from the moment it rings or is
    // accepted until it ends; signalling and video from anyone else never change the call.
    QString CallPeer;

    // Controls.
    QWidget* Panel1 = nullptr; // sidebar
    QWidget* Panel2 = nullptr; // video area
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblIPAddress = nullptr;
    TImageButton* Image4 = nullptr;
    TImageButton* Image5 = nullptr;
    QLineEdit* edtHostName = nullptr;
    TImageButton* Image7 = nullptr;
    TImageButton* Image6 = nullptr;
    TImageButton* Image9 = nullptr;
    TImageButton* Image8 = nullptr;
    TImageButton* Image11 = nullptr;
    TImageButton* Image10 = nullptr;
    TTrackBar* TrbMic = nullptr;
    TTrackBar* TrbVoice = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label9 = nullptr;
    TImageButton* Image3 = nullptr;
    TImageButton* btnPreview = nullptr;
    TImageButton* btnTransfer = nullptr;
    TImageButton* btnVideoSource = nullptr;
    QLabel* Label3 = nullptr;
    QToolButton* btnSidebar = nullptr;
    QLabel* lblCallerID = nullptr;
    TImage* Image1 = nullptr;
    TImage* Image12 = nullptr;
    TVideoCapture* cap = nullptr; // the camera and its local preview
    QTimer* Timer = nullptr;      // applies the stored capture configuration once
    QTimer* Timer1 = nullptr;     // ring timer
    TFormPlacement* PlacementStore = nullptr;
    TUdpListener* UDPServer = nullptr;           // call signalling listener
    std::unique_ptr<IDatagramSender> UDPClient;  // call signalling sender
    std::unique_ptr<IMediaPlayer> MediaPlayer1;  // ring tone
    QString VideoHost;                           // where video frames go during a call
    TUdpListener* UDPServer1 = nullptr;          // video listener
    std::unique_ptr<IDatagramSender> UDPClient1; // video sender
    TFrameDecoder* FrameDecoder = nullptr;       // decodes received frames off the UI thread
    // Video buffers, allocated once and reused for every frame.
    static constexpr qsizetype FrameBufferSize = 1048576;
    static constexpr qsizetype MaxVideoDatagram = 1048575;
    QByteArray FrameBuffer;
    QByteArray FrameInStream;
    QByteArray FrameOutStream;
    TJpegEncoder FrameEncoder;
    // Call statistics: the overlay over the picture (F3 or Ctrl+I shows and hides it), the
    // timer that refreshes it and logs the figures on parlavue.stats once a second during a
    // call, and the video counters. StatsClock is the counters' time; tests set their own.
    TStatsOverlay* StatsOverlay = nullptr;
    QTimer* StatsTimer = nullptr;
    TCallCounters CallCounters;
    std::function<TRateWindow::TTime()> StatsClock = [] { return TRateWindow::TClock::now(); };

    // Handlers.
    void FormShow();
    void FormResize();
    void PlacementStoreRestorePlacement();
    void PlacementStoreSavePlacement();
    void TimerTimer();
    void LoadCaptureConfig();
    void SaveCaptureConfig();
    QString GetLocalIPAddress();
    void LoadSettings();
    void SaveMicVolume();
    void TrbMicChange();
    void TrbVoiceChange();
    void Image11Click();
    // The default output's volume, 0..65535 per channel; false when it cannot be read or set.
    bool GetWaveOutVolume(quint16& left, quint16& right);
    bool SetWaveOutVolume(quint32 value);
    // Where the output volume is read and set; tests put their own here.
    std::function<bool(quint16&, quint16&)> ReadOutputVolume;
    std::function<bool(quint32)> WriteOutputVolume;
    // Which of the GStreamer elements this run needs are missing; start-up names them to the
    // user. main() asks the registry; unset, nothing is checked.
    std::function<QList<TGstElement>()> FindMissingElements;
    // Runs each time a call operation lets pending messages run, before they run; tests end
    // the call from here.
    std::function<void()> OnPendingMessages;
    // Called once "Settings.ini" has been read into CallSettings at start-up.
    std::function<void()> OnSettingsLoaded;
    // An incoming call has begun to ring (not one answered automatically), and the ring has
    // stopped: answered, timed out or cancelled by the caller.
    std::function<void(const QString& callerID, const QString& sender)> OnRing;
    std::function<void()> OnRingStopped;
    void Image7Click();
    void Image6Click();
    void Image8Click();
    void btnSidebarClick();
    void ToolButton3Click();
    void ToolButton1Click();
    void Image10Click();
    void btnTransferClick();
    void btnVideoSourceClick();

    // Calls.
    void Image4Click();
    void Image5Click();
    // Shows the window in front, restored if it was minimised, and alerts the taskbar.
    void BringToFront();
    void PlaceCall();
    void AnswerCall();
    void IncomingCall(const QString& callerID, const QString& sender, bool autoAnswer);
    void Timer1Timer();
    void CallAccepted(const QString& sender);
    void CallCancelled();
    void CallStatusText(const QString& text);
    void CancelCall();
    void EndCall();
    // Sends to the host's first address and returns that address.
    QHostAddress SendSignal(const QString& text, const QString& host);
    void UDPServerUDPRead(const QByteArray& datagram, const QString& sender);
    // The microphone or the speaker of the call's voice could not be opened.
    void VoiceDeviceFailed(TVoiceDevice device, const QString& detail);

    // Video.
    void UDPServer1UDPRead(const QByteArray& datagram, const QString& sender);
    void capBitmapGrabbed(const QImage& bitmap);
    void Image9Click();
    void btnPreviewClick();
    void capFrameRendered();
    void capChangeDevice();
    // Resolves where video frames go for the rest of the call.
    void SetVideoDestination(const QString& host);

    // Statistics.
    void ToggleStats();
    void StatsTimerTimer();
    // The figures as they stand now; outside a call the video rates are 0.
    CallStatsText::TFigures CallFigures();

    // Set when start-up found no camera and ended the program.
    bool TerminateRequested = false;

    // True when the host-name field names no host.
    bool HostNameEmpty() const;

    // The gradient painter the owner-drawn lists of the other windows use.
    void PaintGradient(QPainter& canvas, const TRect& rect, const QList<QColor>& colours,
                       bool horizontal);

    // Where the placement store keeps its file: the per-user config folder.
    static QString PlacementFileName();
    // "ConfigGraph.ini" beside the executable.
    static QString CaptureConfigFileName();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateSidebar();
    void CreateVideoArea();
    void ConnectHandlers();
    void FormClose();
    void LayoutPanels();

    void ReportPlaceCallError(const QString& message);
    void StartVoiceSession(const QString& remoteAddress);
    void StopRingTone();
    void CloseCallingWindow();
    void LogFlags() const;
    void SendSignalTo(const QString& text, const QHostAddress& to, const QString& host);
    void CheckGstElements();
    void LetPendingMessagesRun();
    bool AwaitingAnswerFrom(const QString& sender) const;
    bool HeldForAnotherHost(const QString& sender) const;
    void ShowDecodedFrame(const QImage& picture, const QImage& display, quint64 ticket);
    TPulseVolume& OutputVolume();

    std::shared_ptr<ICaptureSystem> captureSystem_;
    TPorts ports_;
    bool shown_ = false;
    bool callingWindowClosed_ = false;        // the call placed last was answered or cancelled
    bool placingCall_ = false;                // PlaceCall waits for an answer
    QList<QHostAddress> placedCallAddresses_; // what the host field resolved to for that call
    // Counts call operations; an operation that let pending messages run goes on only when no
    // other operation (an end, a new request, a cancel) ran meanwhile.
    quint64 callEpoch_ = 0;
    quint64 videoTicket_ = 0; // changes when a call starts or ends: late frames are not shown
    std::optional<QHostAddress> videoAddress_;
    QString videoAddressError_;
    bool voiceDeviceWarned_ = false; // once per call
    std::unique_ptr<TPulseVolume> outputVolume_;
    TWindowDragger* dragger_ = nullptr;
};
