#pragma once

#include "platform/crypto/IPeerKeys.h"

#include "calls/TCallPorts.h"
#include "calls/TCallSettings.h"
#include "capture/TGraphConfig.h"
#include "platform/elements/TGstElements.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>

class ICameraSystem;
class IMediaPlayer;
class IPeerBrowser;
class IOutputVolume;
class ISoundDevices;
class IVoiceLink;
class QTimer;
class TCallSession;
class TDesktopNotices;
class TDesktopNotifications;
class TDnsSdPublisher;
class TFGraphConfig;
class TIdentity;
class TSecureSignalling;
class TAnnouncedKeys;
class TKnownKeys;
class TPeerKeyBook;
class TTlsContext;
class TSoundDeviceChoice;
class TVideoCapture;
class TVideoLink;
class TfrmCalling;
class TfrmIP;
class TfrmMain;
class TfrmNetworkClients;
class TfrmSettings;
class TfrmTransfer;
class TfrmTxtMessage;

// What the phone is built from: the machine's own services, or fakes in tests. Every part but
// the camera system may be left out; the phone then goes without it.
struct TPhoneParts
{
    TPhoneParts();
    ~TPhoneParts();
    TPhoneParts(TPhoneParts&&) noexcept;
    TPhoneParts& operator=(TPhoneParts&&) noexcept;

    std::shared_ptr<ICameraSystem> cameras;
    TCallPorts ports;
    quint16 transferPort = 6501;
    std::shared_ptr<IVoiceLink> voice;
    std::shared_ptr<ISoundDevices> soundDevices;
    std::unique_ptr<IOutputVolume> outputVolume;
    std::unique_ptr<IMediaPlayer> ringPlayer;
    // The computers on the network, as they come and go.
    std::shared_ptr<IPeerBrowser> peers;
    // A second browser, running all the time, for the keys copies announce.
    std::shared_ptr<IPeerBrowser> keyPeers;
    // Announces this copy under its caller ID.
    std::unique_ptr<TDnsSdPublisher> publisher;
    // The desktop's notification service: incoming calls and arrivals are told there.
    TDesktopNotifications* notifications = nullptr;
    // Which of the GStreamer elements this run needs are missing; start-up names them.
    std::function<QList<TGstElement>()> findMissingElements;
};

// The phone: builds the call, the video, the camera and the windows, wires them, and keeps the
// settings and the camera configuration. The main window is its view.
class TPhone : public QObject
{
    Q_OBJECT
public:
    explicit TPhone(TPhoneParts parts, QObject* parent = nullptr);
    ~TPhone() override;

    TfrmMain& Window() { return *window_; }
    TCallSession& Session() { return *session_; }
    TVideoLink& Video() { return *video_; }
    TCallSettings& CallSettings() { return settings_; }
    const TGraphConfig& CaptureConfig() const { return captureConfig_; }

    // The secondary windows, owned by the main window.
    struct TWindows
    {
        TFGraphConfig* videoOptions = nullptr;
        TfrmCalling* calling = nullptr;
        TfrmTransfer* transfer = nullptr;
        TfrmIP* addressBook = nullptr;
        TfrmNetworkClients* networkClients = nullptr;
        TfrmSettings* settings = nullptr;
        TfrmTxtMessage* message = nullptr;
    };
    const TWindows& Windows() const { return windows_; }

    // This copy's key; null before start-up.
    const TIdentity* Identity() const { return identity_.get(); }

    // Set when start-up found no camera and ended the program.
    bool TerminateRequested() const { return terminateRequested_; }

    // "ConfigGraph.ini" beside the executable.
    static QString CaptureConfigFileName();

private:
    void CreateWindows();
    void Connect();
    void ConnectCalling();
    void Start();
    void Closing();
    void LoadSettings();
    void LoadIdentity();
    // The keys met before and those announced, then the secure channels.
    void LoadKeys();
    void SettingsChanged(const TCallSettings& settings);
    void CheckGstElements();
    bool ReadCaptureConfig(const QString& file); // false: the file holds none
    void WriteCaptureConfig(const QString& file);
    void ApplyCaptureConfig();
    void ChooseVideoSource();
    void ShowSettings();
    void ShowTransfer();
    void PlacingStarted();
    void ConnectSignalling();
    // Secure channels for calls and files once the key is loaded; keys outlives the phone's
    // channels.
    void StartSecurity(IPeerKeys* keys);
    void ShowCallSecurity(const QHostAddress& peer);
    // Whether anything may go or come plain, from the saved settings.
    void ApplyEncryption(const TCallSettings& settings);
    // The user compared the numbers of the call that runs.
    void NumbersCompared(bool same);

    TPhoneParts parts_;
    TCallSettings settings_;
    TGraphConfig captureConfig_;
    QString localAddress_;
    bool terminateRequested_ = false;
    TCallSession* session_ = nullptr;
    TVideoLink* video_ = nullptr;
    std::unique_ptr<TSoundDeviceChoice> deviceChoice_;
    std::unique_ptr<TIdentity> identity_; // this copy's key, read at start-up
    TSecureSignalling* signalling_ = nullptr;
    std::shared_ptr<const TTlsContext> tls_;
    IPeerKeys* peerKeys_ = nullptr;
    std::unique_ptr<TKnownKeys> knownKeys_;
    TAnnouncedKeys* announced_ = nullptr;
    std::unique_ptr<TPeerKeyBook> keyBook_;
    // Per peer address: whether its call is encrypted, and what its key was found to be.
    std::map<quint32, std::pair<bool, IPeerKeys::TState>> security_;
    // Once a second in an encrypted call: whether anything the peer sends still opens.
    QTimer* decryptWatch_ = nullptr;
    struct TDecryptWatch
    {
        quint64 failures = 0;
        quint64 received = 0;
        int silentSeconds = 0;
        bool told = false;
    } decrypt_;
    void WatchDecryption();
    QTimer* applyTimer_ = nullptr; // applies the stored capture configuration once, at start-up
    TVideoCapture* cap_ = nullptr; // the camera control, shown in the main window
    TWindows windows_;
    // Goes first: the windows and the camera control go with it.
    std::unique_ptr<TfrmMain> window_;
    std::unique_ptr<TDesktopNotices> notices_;
};
