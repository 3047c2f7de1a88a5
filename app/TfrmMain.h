#pragma once

#include "app/CallStatsText.h"
#include "calls/TCallSettings.h"

#include <QImage>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;
class TCallSession;
struct TCameraFrame;
class TVideoLink;
class TFormPlacement;
class TImage;
class TImageButton;
class TTrackBar;
class TWindowDragger;
class TVideoCapture;
class IOutputVolume;
class TStatsOverlay;

// The main window: the peer's video with the local preview and the caller-ID line on the
// left, the sidebar with the address, the call and tool buttons and the level bars on the
// right. It is the phone's view: it shows the call (TCallSession) and its video (TVideoLink),
// forwards the call buttons to them and asks the phone for the rest (the signals below).
class TfrmMain : public QWidget
{
    Q_OBJECT
public:
    // The field's prompt, in the user's language.
    static QString HostNamePrompt();

    // camera is the camera control, placed in the video area and owned from then on; volume
    // may be null (no output volume to show).
    TfrmMain(TCallSession& session, TVideoLink& video, TVideoCapture* camera,
             IOutputVolume* volume);
    ~TfrmMain() override;

    // The host-name field, where the user says whom to call and where files and messages go.
    QString HostName() const;
    // The user's own choice (a contact picked in the address book): replaces the field.
    void SetHostName(const QString& host);
    // An address the network offers (who sent a file or the first video): written only while no
    // call rings or runs, and only over the prompt, nothing, or what the network wrote before,
    // never over what the user typed. True when it was written.
    bool OfferHostName(const QString& address);
    bool HostNameEmpty() const;
    void FocusHostName();
    // The user is in a call (placing, ringing or up) or typing in one of the program's windows:
    // what arrives from the network then does not bring a window up.
    bool UserBusy() const;

    // Shows the window in front, restored if it was minimised, and alerts the taskbar.
    void BringToFront();
    // "Make / Answer Call" and "End / Decline Call", as the buttons do them.
    void MakeOrAnswer();
    void EndOrDecline();

    // Start-up: the machine's address, then the settings as loaded (the microphone level) and
    // the output volume as the sound server has it.
    void ShowLocalAddress(const QString& address);
    void SettingsLoaded(const TCallSettings& settings);
    // The microphone level last applied (0: muted), and the bar's own position.
    qint32 MicLevel() const { return micLevel_; }
    int MicPosition() const;

    // Statistics: the figures as they stand now (outside a call the video rates are 0), and the
    // once-a-second refresh of the overlay and the parlavue.stats line.
    CallStatsText::TFigures CallFigures();
    // How the call that runs is protected, for the overlay and the logged figures.
    std::function<CallStatsText::TEncryption()> CallEncryption;
    void StatsTimerTimer();

    // Where the placement store keeps its file: the per-user config folder.
    static QString PlacementFileName();

    // A short notice on the caller-ID line of the video area (a device gone during a call); it
    // goes after a few seconds unless something else was shown there since.
    void ShowNotice(const QString& text);
    // A line that stays on the caller-ID line while something takes its time (the desktop asking
    // the user which screen to share); empty takes it away unless something else was shown since.
    void ShowStatus(const QString& text);
    // How the call that rings or runs is protected ("Encrypted", "Not encrypted", "Key
    // changed"), beside the caller-ID line; alarm shows it in red. Empty takes it away.
    void ShowCallSecurity(const QString& text, bool alarm);
    // Shows or takes away the two buttons of the numbers' comparison.
    void OfferNumbers(bool offer);
    // The user's answer: true for "Same numbers".
    std::function<void(bool same)> OnNumbersCompared;

signals:
    // Shown for the first time, its placement restored: the phone starts.
    void firstShown();
    // The user closes the window, before its placement is saved.
    void closing();
    // The placement store read or is about to write its file.
    void placementRestored(const QString& iniFile);
    void placementSaving(const QString& iniFile);
    // "Call Settings...", "Address Book", "Video Settings..." and "File Transfer" (with a host
    // in the field).
    void settingsRequested();
    void addressBookRequested();
    void videoSourceRequested();
    void transferRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateSidebar();
    void CreateVideoArea();
    void SetUpKeyboard();
    void ConnectHandlers();
    void ConnectCall();
    void PlaceCallSecurity();
    void CallerLine(const QString& text);
    void LayoutPanels();

    // Handlers.
    void FormResize();
    void TrbMicChange();
    void TrbVoiceChange();
    void Image11Click();
    bool GetWaveOutVolume(quint16& left, quint16& right);
    bool SetWaveOutVolume(quint32 value);
    void Image8Click();
    void btnSidebarClick();
    void ToolButton3Click();
    void ToolButton1Click();
    void Image10Click();
    void btnTransferClick();
    void Image4Click();
    void Image5Click();
    void Image9Click();
    void btnPreviewClick();
    void ToggleStats();

    // What the call asks the window to show.
    void IncomingCall(const QString& callerID, const QString& address, bool autoAnswer);
    void PlaceFailed(const QString& message);
    void ShowIdlePicture();

    TCallSession* session_ = nullptr;
    TVideoLink* video_ = nullptr;
    IOutputVolume* volume_ = nullptr;
    bool shown_ = false;
    qint32 savedMicLevel_ = 0;
    qint32 micLevel_ = 0;
    // What the network last wrote into the host-name field; the field is the user's once it
    // holds anything else.
    QString hostFromNetwork_;
    QString status_; // the lasting line shown, if any
    TWindowDragger* dragger_ = nullptr;

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
    QLabel* lblCallSecurity = nullptr;
    // Under it while the numbers of an encrypted call wait for the user's comparison.
    QPushButton* btnSameNumbers = nullptr;
    QPushButton* btnDifferentNumbers = nullptr;
    TImage* Image1 = nullptr;
    TImage* Image12 = nullptr;
    TVideoCapture* cap = nullptr; // the camera and its local preview
    TFormPlacement* PlacementStore = nullptr;
    // Call statistics: the overlay over the picture (F3 or Ctrl+I shows and hides it) and the
    // timer that refreshes it and logs the figures on parlavue.stats once a second during a call.
    TStatsOverlay* StatsOverlay = nullptr;
    QTimer* StatsTimer = nullptr;
};
