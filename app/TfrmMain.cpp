#include "app/TfrmMain.h"

#include "app/TForms.h"
#include "app/TLocalAddress.h"
#include "calls/TCallSession.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TUdpListener.h"
#include "calls/TVideoLink.h"
#include "capture/TFGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "contacts/TSettingsStore.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmSettings.h"
#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/player/gst/TGstMediaPlayer.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "platform/volume/TPulseVolume.h"
#include "transfer/TfrmTransfer.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TFonts.h"
#include "widgets/TFormPlacement.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"
#include "widgets/TTrackBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

const QString TfrmMain::HostNamePrompt = QStringLiteral("Enter Host Name To Call");

TfrmMain::TfrmMain(std::shared_ptr<ICameraSystem> capture, TPorts ports)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), captureSystem_(std::move(capture)),
      ports_(ports)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Halvorn Software - Parlavue Video Phone"));
    resize(1000, 650);
    setFont(TFonts::SansSerif(8));
    // The sound server connection is made when the volume is first wanted, and kept.
    ReadOutputVolume = [this](quint16& left, quint16& right) {
        return OutputVolume().GetWaveOutVolume(left, right);
    };
    WriteOutputVolume = [this](quint32 value) { return OutputVolume().SetWaveOutVolume(value); };
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    session_ = new TCallSession(callSettings_, ports_, this);
    session_->setObjectName(QStringLiteral("CallSession"));
    session_->SetRingPlayer(std::make_unique<TGstMediaPlayer>());
    video_ = new TVideoLink(ports_, this);
    video_->setObjectName(QStringLiteral("VideoLink"));
    CreateControls();
    ConnectCall();
}

TfrmMain::~TfrmMain()
{
    if (!PlacementStore->Saved())
        Guarded([this] { PlacementStore->Save(); });
}

TPulseVolume& TfrmMain::OutputVolume()
{
    if (!outputVolume_)
        outputVolume_ = std::make_unique<TPulseVolume>();
    return *outputVolume_;
}

QString TfrmMain::PlacementFileName()
{
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QLatin1Char('/') +
           (exe.isEmpty() ? QStringLiteral("parlavue") : exe) + QStringLiteral(".INI");
}

QString TfrmMain::CaptureConfigFileName()
{
    return TProgramFolder::File(QStringLiteral("ConfigGraph.ini"));
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    // Moved to a screen of another density, received pictures are scaled for its pixels.
    if (QWindow* window = windowHandle())
        connect(window, &QWindow::screenChanged, this, [this] { LayoutPanels(); });
    Guarded([this] { PlacementStore->Restore(); });
    Guarded([this] { FormShow(); });
}

void TfrmMain::FormShow()
{
    qCDebug(lcApp) << "start-up";
    LoadCaptureConfig();
    lblIPAddress->setText(TLocalAddress::Get());
    LoadSettings();
    const QString portInUse =
        QStringLiteral("Could not bind socket. Address and port are already in use.");
    if (!session_->Listen())
        Ui().Error(portInUse);
    TrbMic->SetPosition(callSettings_.MicVolume);
    quint16 left = 0, right = 0;
    TrbVoice->SetPosition(GetWaveOutVolume(left, right) ? left : 32767);
    micLevel_ = callSettings_.MicVolume;
    if (!video_->Listen())
        Ui().Error(portInUse);
    CheckGstElements();
    if (!cap->Initialize()) {
        Ui().ShowMessage(QStringLiteral("Can't init capture!"));
        terminateRequested_ = true;
        QCoreApplication::quit();
        return;
    }
    qCInfo(lcApp).noquote() << "start-up complete; address" << lblIPAddress->text();
}

void TfrmMain::CheckGstElements()
{
    if (!FindMissingElements)
        return;
    const QList<TGstElement> missing = FindMissingElements();
    if (missing.isEmpty())
        return;
    for (const TGstElement& e : missing)
        qCWarning(lcApp).noquote()
            << "missing GStreamer element" << DescribeGstElement(QLatin1String(e.name));
    // What is missing is said once, plainly, before anything fails for the want of it.
    Ui().Error(MissingGstElementsMessage(missing));
}

void TfrmMain::LoadCaptureConfig()
{
    const bool loaded = ReadCaptureConfig(CaptureConfigFileName());
    qCDebug(lcCapture) << "capture configuration" << (loaded ? "loaded" : "empty");
}

void TfrmMain::SaveCaptureConfig()
{
    WriteCaptureConfig(CaptureConfigFileName());
}

void TfrmMain::PlacementStoreRestorePlacement()
{
    ReadCaptureConfig(PlacementStore->IniFileName());
}

void TfrmMain::PlacementStoreSavePlacement()
{
    WriteCaptureConfig(PlacementStore->IniFileName());
}

// Both files hold the configuration the same way; the timer applies a non-empty one.
bool TfrmMain::ReadCaptureConfig(const QString& file)
{
    const QString text = TGraphConfig::ReadConfigText(file);
    captureConfig_.LoadFromString(text);
    if (text.isEmpty())
        Timer->stop();
    else
        Timer->start();
    return !text.isEmpty();
}

void TfrmMain::WriteCaptureConfig(const QString& file)
{
    cap->ReadConfig(captureConfig_);
    TGraphConfig::WriteConfigText(file, captureConfig_.SaveToString());
}

void TfrmMain::TimerTimer()
{
    Timer->stop();
    TBusyCursor busy;
    cap->ApplyConfig(captureConfig_);
}

void TfrmMain::LoadSettings()
{
    callSettings_ = TSettingsStore::Load(TSettingsStore::FileName(), lblIPAddress->text());
    if (Forms().frmTransfer)
        Forms().frmTransfer->ReceiveFolderChanged();
    if (OnSettingsLoaded)
        OnSettingsLoaded();
}

void TfrmMain::SaveMicVolume()
{
    TSettingsStore::SaveMicVolume(TSettingsStore::FileName(), TrbMic->Position());
}

void TfrmMain::TrbMicChange()
{
    const int position = TrbMic->Position();
    Label6->setText(QString::number(position));
    Label6->adjustSize();
    Label6->setAccessibleName(QStringLiteral("Microphone Level %1").arg(position));
    micLevel_ = position;
    session_->SetMicLevel(position);
}

void TfrmMain::Image11Click()
{
    if (!session_->HasVoice())
        return;
    if (micLevel_ != 0) {
        savedMicLevel_ = TrbMic->Position();
        micLevel_ = 0;
        TrbMic->SetPosition(0);
        session_->SetMicLevel(0);
    } else {
        micLevel_ = savedMicLevel_;
        TrbMic->SetPosition(micLevel_);
        session_->SetMicLevel(micLevel_);
    }
}

void TfrmMain::TrbVoiceChange()
{
    const quint32 position = static_cast<quint32>(TrbVoice->Position());
    Label9->setText(QString::number(qRound(position * 100.0 / 65535)));
    Label9->adjustSize();
    Label9->setAccessibleName(QStringLiteral("Volume Level %1 %").arg(Label9->text()));
    SetWaveOutVolume(position * 65536 + position);
}

bool TfrmMain::GetWaveOutVolume(quint16& left, quint16& right)
{
    return ReadOutputVolume && ReadOutputVolume(left, right);
}

bool TfrmMain::SetWaveOutVolume(quint32 value)
{
    return WriteOutputVolume && WriteOutputVolume(value);
}

void TfrmMain::Image7Click()
{
    if (Forms().frmSettings)
        Forms().frmSettings->Execute();
    if (Forms().frmTransfer)
        Forms().frmTransfer->ReceiveFolderChanged(); // the receive folder may have changed
}

void TfrmMain::Image6Click()
{
    if (Forms().frmIP)
        Forms().frmIP->Execute();
}

void TfrmMain::btnVideoSourceClick()
{
    // Saved in every case, also when opening or applying failed.
    struct TSave
    {
        TfrmMain* form;
        ~TSave()
        {
            try {
                form->SaveCaptureConfig();
            } catch (const std::exception& e) {
                Ui().Error(QString::fromUtf8(e.what()));
            }
        }
    } save{this};
    cap->ReadConfig(captureConfig_);
    TFGraphConfig* window = Forms().FGraphConfig;
    if (!window || !window->LoadConfig(captureConfig_))
        return;
    // Only the hidden OK button accepts; "Apply" inside the window is what applies.
    if (window->exec() == QDialog::Accepted) {
        TBusyCursor busy;
        cap->ApplyConfig(captureConfig_);
    }
}

void TfrmMain::Image8Click()
{
    TBusyCursor busy;
    struct ResetMic
    {
        TfrmMain* form;
        ~ResetMic() { form->TrbMic->SetPosition(form->micLevel_); }
    } resetMic{this};
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void TfrmMain::btnSidebarClick()
{
    Panel1->setVisible(!Panel1->isVisible());
    LayoutPanels();
}

void TfrmMain::ToolButton3Click()
{
    cap->setVisible(!cap->isVisible());
}

void TfrmMain::ToolButton1Click()
{
    showMinimized();
}

void TfrmMain::Image10Click()
{
    close();
}

void TfrmMain::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    QApplication::alert(this);
}

void TfrmMain::btnTransferClick()
{
    if (!HostNameEmpty()) {
        if (TfrmTransfer* portal = Forms().frmTransfer) {
            // Not modal, centred on this window.
            if (!portal->isVisible())
                portal->move(geometry().center() - portal->rect().center());
            portal->show();
            portal->raise();
            portal->activateWindow();
        }
        return;
    }
    Ui().Information(QStringLiteral("Please enter a valid IP Address or Host Name First."));
    FocusHostName();
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutPanels();
    FormResize();
}

void TfrmMain::FormResize()
{
    cap->move(0, height() - cap->height());
    for (QWidget* w : {static_cast<QWidget*>(btnPreview), static_cast<QWidget*>(btnTransfer),
                       static_cast<QWidget*>(btnVideoSource)})
        w->move(w->x(), height() - w->height() - 20);
}

void TfrmMain::FormClose()
{
    try {
        SaveMicVolume();
        cap->StopPreview();
    } catch (const EError& e) {
        Ui().Error(e.Message());
    } catch (const std::exception& e) {
        Ui().Error(QString::fromUtf8(e.what()));
    }
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // A file still being sent would keep the program from ending until it is through.
    if (Forms().frmTransfer)
        Forms().frmTransfer->AbortTransfers();
    FormClose();
    Guarded([this] { PlacementStore->Save(); });
    event->accept();
    QCoreApplication::quit();
}
