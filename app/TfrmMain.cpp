#include "app/TfrmMain.h"

#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "capture/TVideoCapture.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "platform/volume/IOutputVolume.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TFonts.h"
#include "widgets/TFormPlacement.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"
#include "widgets/TTextFit.h"
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

QString TfrmMain::HostNamePrompt()
{
    return tr("Enter Host Name To Call");
}

TfrmMain::TfrmMain(TCallSession& session, TVideoLink& video, TVideoCapture* camera,
                   IOutputVolume* volume)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), session_(&session), video_(&video),
      volume_(volume), cap(camera)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(tr("Halvorn Software - Parlavue Video Phone"));
    resize(1000, 650);
    setFont(TFonts::SansSerif(8));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    CreateControls();
    ConnectCall();
    TTextFit::Fit(this);
}

TfrmMain::~TfrmMain()
{
    if (!PlacementStore->Saved())
        Guarded([this] { PlacementStore->Save(); });
}

QString TfrmMain::PlacementFileName()
{
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QLatin1Char('/') +
           (exe.isEmpty() ? QStringLiteral("parlavue") : exe) + QStringLiteral(".INI");
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
    qCDebug(lcApp) << "start-up";
    Guarded([this] { emit firstShown(); });
}

void TfrmMain::ShowLocalAddress(const QString& address)
{
    lblIPAddress->setText(address);
}

void TfrmMain::SettingsLoaded(const TCallSettings& settings)
{
    TrbMic->SetPosition(settings.MicVolume);
    quint16 left = 0, right = 0;
    TrbVoice->SetPosition(GetWaveOutVolume(left, right) ? left : 32767);
    micLevel_ = settings.MicVolume;
}

int TfrmMain::MicPosition() const
{
    return TrbMic->Position();
}

void TfrmMain::TrbMicChange()
{
    const int position = TrbMic->Position();
    Label6->setText(QString::number(position));
    Label6->adjustSize();
    Label6->setAccessibleName(tr("Microphone Level %1").arg(position));
    micLevel_ = position;
    Image11->setChecked(position == 0);
    session_->SetMicLevel(position);
}

void TfrmMain::Image11Click()
{
    // The button's pressed state follows the level, not the click (outside a call it does
    // nothing).
    struct ShowMuted
    {
        TfrmMain* form;
        ~ShowMuted() { form->Image11->setChecked(form->micLevel_ == 0); }
    } showMuted{this};
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
    Label9->setAccessibleName(tr("Volume Level %1 %").arg(Label9->text()));
    SetWaveOutVolume(position * 65536 + position);
}

bool TfrmMain::GetWaveOutVolume(quint16& left, quint16& right)
{
    return volume_ && volume_->GetWaveOutVolume(left, right);
}

bool TfrmMain::SetWaveOutVolume(quint32 value)
{
    return volume_ && volume_->SetWaveOutVolume(value);
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
    Panel1->setVisible(Panel1->isHidden());
    btnSidebar->setChecked(!Panel1->isHidden());
    LayoutPanels();
}

void TfrmMain::ToolButton3Click()
{
    cap->setVisible(cap->isHidden());
    ToolButton3->setChecked(!cap->isHidden());
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
        emit transferRequested();
        return;
    }
    Ui().Information(tr("Please enter a valid IP Address or Host Name First."));
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

void TfrmMain::closeEvent(QCloseEvent* event)
{
    Guarded([this] { emit closing(); });
    Guarded([this] { PlacementStore->Save(); });
    event->accept();
    QCoreApplication::quit();
}
