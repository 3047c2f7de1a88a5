#include "app/TPhone.h"

#include "app/TDesktopNotices.h"
#include "app/TLocalAddress.h"
#include "app/TPeerKeyBook.h"
#include "app/TSoundDeviceChoice.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "capture/TFGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "contacts/TKnownKeys.h"
#include "contacts/TSettingsStore.h"
#include "contacts/TfrmExport.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "contacts/TfrmSettings.h"
#include "platform/camera/ICameraSystem.h"
#include "platform/crypto/TIdentity.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/player/IMediaPlayer.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "platform/voice/ISoundDevices.h"
#include "platform/voice/IVoiceLink.h"
#include "platform/volume/IOutputVolume.h"
#include "transfer/TfrmTransfer.h"
#include "transfer/TfrmTxtMessage.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TDice.h"
#include "widgets/TTextFit.h"

#include <QCoreApplication>
#include <QTimer>

TPhoneParts::TPhoneParts() = default;
TPhoneParts::~TPhoneParts() = default;
TPhoneParts::TPhoneParts(TPhoneParts&&) noexcept = default;
TPhoneParts& TPhoneParts::operator=(TPhoneParts&&) noexcept = default;

TPhone::TPhone(TPhoneParts parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    session_ = new TCallSession(settings_, parts_.ports, this);
    session_->setObjectName(QStringLiteral("CallSession"));
    if (parts_.ringPlayer)
        session_->SetRingPlayer(std::move(parts_.ringPlayer));
    if (parts_.voice)
        session_->SetVoiceLink(parts_.voice);
    video_ = new TVideoLink(parts_.ports, this);
    video_->setObjectName(QStringLiteral("VideoLink"));
    if (parts_.voice && parts_.soundDevices)
        deviceChoice_ = std::make_unique<TSoundDeviceChoice>(parts_.soundDevices, parts_.voice);
    applyTimer_ = new QTimer(this);
    applyTimer_->setObjectName(QStringLiteral("Timer"));
    applyTimer_->setInterval(200);
    applyTimer_->setSingleShot(true);

    // The camera control is placed in the main window, which owns it from then on.
    cap_ = new TVideoCapture(*parts_.cameras);
    window_ = std::make_unique<TfrmMain>(*session_, *video_, cap_, parts_.outputVolume.get());
    CreateWindows();
    Connect();
    if (parts_.notifications)
        notices_ = std::make_unique<TDesktopNotices>(*parts_.notifications, *session_, *window_,
                                                     windows_.transfer);
    ConnectSignalling();
}

TPhone::~TPhone()
{
    // Withdrawn before the windows go, so the network stops listing a copy that has ended.
    parts_.publisher.reset();
    notices_.reset();
    window_.reset();
}

QString TPhone::CaptureConfigFileName()
{
    return TProgramFolder::File(QStringLiteral("ConfigGraph.ini"));
}

// The windows that follow the main window, in their order, owned by it.
void TPhone::CreateWindows()
{
    TfrmMain* main = window_.get();
    windows_.videoOptions = new TFGraphConfig(captureConfig_, *cap_, main);
    windows_.calling = new TfrmCalling(main);
    windows_.calling->btnCancelClick = [session = session_] { session->CancelPlacing(); };
    TPortalHost host;
    host.prompt = TfrmMain::HostNamePrompt();
    host.hostName = [main] { return main->HostName(); };
    host.offerHostName = [main](const QString& address) { return main->OfferHostName(address); };
    host.userBusy = [main] { return main->UserBusy(); };
    host.focusHostName = [main] { main->FocusHostName(); };
    host.receiveFolder = [this] { return settings_.FilePath; };
    windows_.transfer = new TfrmTransfer(std::move(host), parts_.transferPort, main);
    windows_.addressBook = new TfrmIP(main);
    windows_.addressBook->SetHostName = [main](const QString& text) { main->SetHostName(text); };
    windows_.networkClients =
        new TfrmNetworkClients(parts_.peers, windows_.addressBook, windows_.addressBook);
    windows_.addressBook->OnWhosOnline = [clients = windows_.networkClients] {
        clients->Execute();
    };
    windows_.settings =
        new TfrmSettings(settings_, deviceChoice_ ? parts_.soundDevices : nullptr, main);
    windows_.settings->OnSaved = [this](const TCallSettings& saved) { SettingsChanged(saved); };
    if (deviceChoice_) {
        windows_.settings->OnDevicesChosen = [this](const QString& mic, const QString& speaker) {
            deviceChoice_->Choose(mic, speaker);
        };
    }
    windows_.message = new TfrmTxtMessage(*windows_.transfer, main);
    windows_.transfer->frmTxtMessage = windows_.message;
    // The controls sit where the English texts fit; longer languages may need more room.
    for (QWidget* window : std::initializer_list<QWidget*>{
             windows_.videoOptions, windows_.calling, windows_.transfer, windows_.addressBook,
             windows_.networkClients, windows_.networkClients->frmExport, windows_.settings,
             windows_.message})
        TTextFit::Fit(window);
}

void TPhone::Connect()
{
    TfrmMain* main = window_.get();
    connect(main, &TfrmMain::firstShown, this, &TPhone::Start);
    connect(main, &TfrmMain::closing, this, &TPhone::Closing);
    connect(main, &TfrmMain::placementRestored, this,
            [this](const QString& file) { ReadCaptureConfig(file); });
    connect(main, &TfrmMain::placementSaving, this,
            [this](const QString& file) { WriteCaptureConfig(file); });
    connect(main, &TfrmMain::settingsRequested, this, &TPhone::ShowSettings);
    connect(main, &TfrmMain::addressBookRequested, this,
            [this] { windows_.addressBook->Execute(); });
    connect(main, &TfrmMain::videoSourceRequested, this, &TPhone::ChooseVideoSource);
    connect(main, &TfrmMain::transferRequested, this, &TPhone::ShowTransfer);

    connect(applyTimer_, &QTimer::timeout, this,
            [this] { Guarded([this] { ApplyCaptureConfig(); }); });
    connect(cap_, &TVideoCapture::OnFrameGrabbed, video_,
            [video = video_](const TCameraFrame& frame) { Guarded([&] { video->Send(frame); }); });
    connect(cap_, &TVideoCapture::OnChangeDevice, this,
            [this] { windows_.videoOptions->FillDialogs(cap_->Dialogs()); });
    connect(cap_, &TVideoCapture::OnWaitingForDesktop, this, [this](bool waiting) {
        window_->ShowStatus(waiting ? tr("Waiting for the desktop: pick the screen or "
                                         "window to share")
                                    : QString());
        // The pick may have changed the camera in use after the options window was saved.
        if (!waiting)
            Guarded([this] { WriteCaptureConfig(CaptureConfigFileName()); });
    });
    connect(session_, &TCallSession::accepted, video_, &TVideoLink::Start);
    connect(session_, &TCallSession::ended, video_, &TVideoLink::Stop);
    ConnectCalling();

    if (deviceChoice_) {
        deviceChoice_->OnNotice = [main](const QString& text) { main->ShowNotice(text); };
        parts_.soundDevices->SetChanged([this] {
            deviceChoice_->Refresh();
            windows_.settings->DevicesChanged();
        });
    }
}

// The calling-status window, while a call is placed.
void TPhone::ConnectCalling()
{
    connect(session_, &TCallSession::placingStarted, this,
            [this] { Guarded([this] { PlacingStarted(); }); });
    connect(session_, &TCallSession::statusText, this, [this](const QString& text) {
        windows_.calling->Dice1->SetRotate(false);
        windows_.calling->SetStatus(text);
    });
    connect(session_, &TCallSession::placingEnded, this,
            [this] { windows_.calling->done(QDialog::Rejected); });
}

void TPhone::PlacingStarted()
{
    TfrmCalling* calling = windows_.calling;
    calling->Dice1->SetRotate(true);
    calling->SetStatus(tr("Calling..."));
    // Answered or given up before the window came up: nothing to wait for.
    if (!session_->Placing())
        return;
    calling->Execute();
    // Closed by its title-bar button: nothing is sent and Busy stays set.
    session_->AbandonPlacing();
}

void TPhone::Start()
{
    const bool loaded = ReadCaptureConfig(CaptureConfigFileName());
    qCDebug(lcCapture) << "capture configuration" << (loaded ? "loaded" : "empty");
    localAddress_ = TLocalAddress::Get();
    window_->ShowLocalAddress(localAddress_);
    // The key first: the network hears of this copy once, with it.
    LoadIdentity();
    LoadKeys();
    LoadSettings();
    const QString portInUse = tr("Could not bind socket. Address and port are already in use.");
    if (!session_->Listen())
        Ui().Error(portInUse);
    window_->SettingsLoaded(settings_);
    if (!video_->Listen())
        Ui().Error(portInUse);
    CheckGstElements();
    if (!cap_->Initialize()) {
        Ui().ShowMessage(tr("Can't init capture!"));
        terminateRequested_ = true;
        QCoreApplication::quit();
        return;
    }
    qCInfo(lcApp).noquote() << "start-up complete; address" << localAddress_;
}

void TPhone::LoadSettings()
{
    settings_ = TSettingsStore::Load(TSettingsStore::FileName(), localAddress_);
    windows_.transfer->ReceiveFolderChanged();
    ApplyEncryption(settings_);
    if (parts_.publisher) {
        parts_.publisher->SetListed(settings_.ShowOnNetwork);
        parts_.publisher->SetName(settings_.CallerID);
    }
    if (deviceChoice_)
        deviceChoice_->Choose(settings_.Microphone, settings_.Speaker);
}

void TPhone::LoadIdentity()
{
    identity_ = std::make_unique<TIdentity>(
        TIdentity::Load(TProgramFolder::File(QString::fromLatin1(TIdentity::FileName))));
    windows_.settings->SetOwnKey(identity_->ShortText(), identity_->FingerprintText());
    if (!identity_->Notice().isEmpty())
        Ui().Warning(identity_->Notice());
}

void TPhone::SettingsChanged(const TCallSettings& settings)
{
    ApplyEncryption(settings);
    if (parts_.publisher) {
        parts_.publisher->SetListed(settings.ShowOnNetwork);
        parts_.publisher->SetName(settings.CallerID);
    }
    if (deviceChoice_)
        deviceChoice_->Choose(settings.Microphone, settings.Speaker);
}

void TPhone::CheckGstElements()
{
    if (!parts_.findMissingElements)
        return;
    const QList<TGstElement> missing = parts_.findMissingElements();
    if (missing.isEmpty())
        return;
    for (const TGstElement& e : missing)
        qCWarning(lcApp).noquote()
            << "missing GStreamer element" << DescribeGstElement(QLatin1String(e.name));
    // What is missing is said once, plainly, before anything fails for the want of it.
    Ui().Error(MissingGstElementsMessage(missing));
}

void TPhone::Closing()
{
    // A file still being sent would keep the program from ending until it is through.
    windows_.transfer->AbortTransfers();
    TSettingsStore::SaveMicVolume(TSettingsStore::FileName(), window_->MicPosition());
    cap_->StopPreview();
}

// The configuration file and the placement file hold the configuration the same way; the timer
// applies a non-empty one.
bool TPhone::ReadCaptureConfig(const QString& file)
{
    const QString text = TGraphConfig::ReadConfigText(file);
    captureConfig_.LoadFromString(text);
    if (text.isEmpty())
        applyTimer_->stop();
    else
        applyTimer_->start();
    return !text.isEmpty();
}

void TPhone::WriteCaptureConfig(const QString& file)
{
    cap_->ReadConfig(captureConfig_);
    TGraphConfig::WriteConfigText(file, captureConfig_.SaveToString());
}

void TPhone::ApplyCaptureConfig()
{
    TBusyCursor busy;
    cap_->ApplyConfig(captureConfig_);
}

void TPhone::ChooseVideoSource()
{
    // Saved in every case, also when opening or applying failed.
    struct TSave
    {
        TPhone* phone;
        ~TSave()
        {
            try {
                phone->WriteCaptureConfig(CaptureConfigFileName());
            } catch (const std::exception& e) {
                Ui().Error(QString::fromUtf8(e.what()));
            }
        }
    } save{this};
    cap_->ReadConfig(captureConfig_);
    TFGraphConfig* window = windows_.videoOptions;
    if (!window->LoadConfig(captureConfig_))
        return;
    // Only the hidden OK button accepts; "Apply" inside the window is what applies.
    if (window->exec() == QDialog::Accepted) {
        TBusyCursor busy;
        cap_->ApplyConfig(captureConfig_);
    }
}

void TPhone::ShowSettings()
{
    windows_.settings->Execute();
    windows_.transfer->ReceiveFolderChanged(); // the receive folder may have changed
}

void TPhone::ShowTransfer()
{
    TfrmTransfer* portal = windows_.transfer;
    // Not modal, centred on the main window.
    if (!portal->isVisible())
        portal->move(window_->geometry().center() - portal->rect().center());
    portal->show();
    portal->raise();
    portal->activateWindow();
}
