// Calls: the signalling texts on the wire and the call state machine of the main window.
#include "app/TfrmMain.h"

#include "app/TForms.h"
#include "app/TSignalMessage.h"
#include "app/TfrmCalling.h"
#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "voice/EAssertionFailed.h"
#include "voice/TfrmCCN.h"
#include "widgets/TDice.h"
#include "widgets/TImage.h"
#include "widgets/TRemoteText.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

TfrmCalling& CallingWindow()
{
    if (!Forms().frmCalling)
        throw EError(QStringLiteral("The calling-status window does not exist."));
    return *Forms().frmCalling;
}

// Clears a flag when the scope ends, however it ends.
struct TFlagScope
{
    bool& flag;
    ~TFlagScope() { flag = false; }
};

} // namespace

void TfrmMain::LogFlags() const
{
    qCInfo(lcCall).noquote() << QStringLiteral("flags busy=%1 offered=%2 ringing=%3 connected=%4")
                                    .arg(int(Busy))
                                    .arg(int(CallOffered))
                                    .arg(int(Ringing))
                                    .arg(int(Connected));
}

void TfrmMain::LetPendingMessagesRun()
{
    if (OnPendingMessages)
        OnPendingMessages();
    QCoreApplication::processEvents();
}

bool TfrmMain::AwaitingAnswerFrom(const QString& sender) const
{
    if (!placingCall_ || callingWindowClosed_)
        return false;
    const QHostAddress from(sender);
    return std::any_of(placedCallAddresses_.cbegin(), placedCallAddresses_.cend(),
                       [&](const QHostAddress& a) { return a.isEqual(from); });
}

bool TfrmMain::HeldForAnotherHost(const QString& sender) const
{
    // A phone that rings, or a call taken automatically (Busy stays clear there), belongs to
    // its caller until it ends.
    const bool ringing = Ringing && CallOffered;
    const bool answeredAutomatically = Connected && !Busy;
    return (ringing || answeredAutomatically) && sender != CallPeer;
}

void TfrmMain::UDPServerUDPRead(const QByteArray& datagram, const QString& sender)
{
    const TSignalMessage message = TSignalMessage::Classify(datagram);
    qCInfo(lcCall).noquote()
        << QStringLiteral("received \"%1\" from %2").arg(TRemoteText::Clean(message.text), sender);
    switch (message.kind) {
    case TSignalMessage::TKind::CallRequest:
        if (Busy || HeldForAnotherHost(sender))
            SendSignal(CallSettings.Message, sender);
        else
            IncomingCall(message.callerID, sender, CallSettings.AutoAnswer);
        break;
    case TSignalMessage::TKind::Accept:
        if (AwaitingAnswerFrom(sender))
            CallAccepted(sender);
        else
            qCWarning(lcCall).noquote()
                << QStringLiteral("dropped \"Accept\" from %1: no call placed to it").arg(sender);
        break;
    case TSignalMessage::TKind::Cancel:
        if (sender == edtHostName->text())
            CallCancelled();
        break;
    case TSignalMessage::TKind::StatusText:
        // While a call is placed, only the called host may say how it went.
        if (placingCall_ && !AwaitingAnswerFrom(sender))
            qCWarning(lcCall).noquote()
                << QStringLiteral("dropped a status text from %1: not the called host").arg(sender);
        else
            CallStatusText(message.text);
        break;
    }
}

QHostAddress TfrmMain::SendSignal(const QString& text, const QString& host)
{
    const QHostAddress to = UDPClient->Resolve(host).first();
    SendSignalTo(text, to, host);
    return to;
}

void TfrmMain::SendSignalTo(const QString& text, const QHostAddress& to, const QString& host)
{
    UDPClient->SendTo(text.toUtf8(), to);
    qCInfo(lcCall).noquote() << QStringLiteral("sent \"%1\" to %2").arg(text, host);
}

void TfrmMain::Image4Click()
{
    // A call still waiting in the calling-status window has not ended, whatever Busy says.
    if (Busy || placingCall_)
        return;
    if (HostNameEmpty()) {
        Ui().Information(QStringLiteral("Please enter a valid IP Address or Host Name First."));
        if (edtHostName->isEnabled() && edtHostName->isVisible())
            edtHostName->setFocus();
        return;
    }
    Busy = true;
    if (CallOffered)
        AnswerCall();
    else
        PlaceCall();
    LogFlags();
}

void TfrmMain::Image5Click()
{
    EndCall();
}

void TfrmMain::PlaceCall()
{
    try {
        // The window is made ready before the request goes out: on a fast network the busy
        // reply or the "Accept" can arrive while pending messages run below, and must not be
        // overwritten, nor leave a window waiting for an answer that already came.
        const quint64 epoch = callEpoch_;
        TfrmCalling& calling = CallingWindow();
        calling.Dice1->SetRotate(true);
        calling.SetStatus(QStringLiteral("Calling..."));
        callingWindowClosed_ = false;
        const QString host = edtHostName->text();
        placedCallAddresses_ = UDPClient->Resolve(host);
        placingCall_ = true;
        const TFlagScope placing{placingCall_};
        SendSignalTo(TSignalMessage::CallingPrefix + CallSettings.CallerID,
                     placedCallAddresses_.first(), host);
        LetPendingMessagesRun();
        LogFlags();
        // Answered already, or ended by the user before the window came up: nothing to wait for.
        if (!callingWindowClosed_ && epoch == callEpoch_)
            calling.Execute();
    } catch (const EError& e) {
        ReportPlaceCallError(e.Message());
    } catch (const std::exception& e) {
        ReportPlaceCallError(QString::fromUtf8(e.what()));
    }
}

void TfrmMain::ReportPlaceCallError(const QString& message)
{
    Ui().Error(message);
    if (edtHostName->isEnabled() && edtHostName->isVisible())
        edtHostName->setFocus();
}

void TfrmMain::StartVoiceSession(const QString& remoteAddress)
{
    // A session still running (a second answer) is ended first, so that two sessions never
    // share the one terminal.
    if (VoiceSession) {
        VoiceSession->StopVoice();
        VoiceSession.reset();
    }
    if (!Forms().frmCCN)
        throw EAssertionFailed(QStringLiteral("The media terminal host does not exist."));
    VoiceSession = std::make_unique<TVOIPMedia>(Forms().frmCCN->ccn);
    VoiceSession->SetRemotePort(ports_.voice);
    VoiceSession->SetLocalPort(ports_.voice);
    VoiceSession->SetRemoteAddress(remoteAddress);
    voiceDeviceWarned_ = false;
    VoiceSession->SetDeviceErrorHandler(
        [this](TVoiceDevice device, const QString& detail) { VoiceDeviceFailed(device, detail); });
}

void TfrmMain::VoiceDeviceFailed(TVoiceDevice device, const QString& detail)
{
    const bool microphone = device == TVoiceDevice::Microphone;
    qCWarning(lcCall).noquote() << (microphone ? "microphone" : "speaker")
                                << "cannot be used:" << detail;
    // Told once per call: a second device failing, or the same one again, adds nothing the
    // user can act on.
    if (!VoiceSession || voiceDeviceWarned_)
        return;
    voiceDeviceWarned_ = true;
    Ui().Warning(microphone ? QStringLiteral("The microphone cannot be used: %1\nThe call goes "
                                             "on, but the other side does not hear you.")
                                  .arg(detail)
                            : QStringLiteral("The speaker cannot be used: %1\nThe call goes on, "
                                             "but you do not hear the other side.")
                                  .arg(detail));
}

void TfrmMain::CloseCallingWindow()
{
    callingWindowClosed_ = true;
    if (Forms().frmCalling)
        Forms().frmCalling->done(QDialog::Rejected);
}

void TfrmMain::StopRingTone()
{
    if (!CallSettings.RingTone.isEmpty() && MediaPlayer1 && MediaPlayer1->Playing())
        MediaPlayer1->Stop();
    if (OnRingStopped)
        OnRingStopped();
}

void TfrmMain::AnswerCall()
{
    const quint64 epoch = ++callEpoch_;
    Timer1->stop();
    StopRingTone();
    LetPendingMessagesRun();
    if (epoch != callEpoch_) {
        qCInfo(lcCall) << "answer given up: the call changed meanwhile";
        return;
    }
    const QString peer = edtHostName->text();
    StartVoiceSession(peer);
    const TVOIPMedia* session = VoiceSession.get();
    const QHostAddress to = SendSignal(TSignalMessage::Accept, peer);
    CallPeer = to.toString();
    LetPendingMessagesRun();
    if (epoch != callEpoch_ || VoiceSession.get() != session) {
        qCInfo(lcCall) << "answer given up: the call changed meanwhile";
        return;
    }
    VoiceSession->StartVoice();
    SetVideoDestination(CallPeer);
    Connected = true;
    Ringing = false;
    ++videoTicket_;
    qCInfo(lcCall).noquote() << QStringLiteral("answered: voice to %1").arg(peer);
    LogFlags();
}

void TfrmMain::IncomingCall(const QString& callerID, const QString& sender, bool autoAnswer)
{
    const quint64 epoch = ++callEpoch_;
    qCInfo(lcCall).noquote() << QStringLiteral("ringing: caller \"%1\" from %2")
                                    .arg(TRemoteText::Clean(callerID), sender);
    if (!autoAnswer)
        QApplication::alert(this);
    Ringing = true;
    CallOffered = true;
    CallPeer = sender;
    edtHostName->setText(sender);
    LetPendingMessagesRun();
    if (epoch != callEpoch_)
        return;
    TRemoteText::Show(*lblCallerID, callerID, QStringLiteral(" calling..."));
    if (autoAnswer) {
        AnswerCall();
        return;
    }
    // A ring time of nothing or less would never ring at all: it times out at once.
    Timer1->setInterval(std::max(0, CallSettings.RingTimeMs));
    Timer1->start();
    const QString tone = CallSettings.RingTone;
    if (!tone.isEmpty() && QFileInfo(tone).isFile() && MediaPlayer1) {
        MediaPlayer1->Close();
        if (MediaPlayer1->Open(tone))
            MediaPlayer1->Play();
    }
    if (OnRing)
        OnRing(callerID, sender);
    LogFlags();
    LetPendingMessagesRun();
}

void TfrmMain::Timer1Timer()
{
    const QString caller = edtHostName->text();
    Timer1->stop();
    lblCallerID->clear();
    Ringing = false;
    StopRingTone();
    qCInfo(lcCall) << "ring timeout";
    LogFlags();
    LetPendingMessagesRun();
    // Answered meanwhile, or ringing for a new call: the message would be wrong.
    if (Connected || (Ringing && CallOffered))
        return;
    SendSignal(CallSettings.Message, caller);
}

void TfrmMain::CallAccepted(const QString& sender)
{
    const quint64 epoch = ++callEpoch_;
    StartVoiceSession(sender);
    const TVOIPMedia* session = VoiceSession.get();
    CallPeer = sender;
    CloseCallingWindow();
    LetPendingMessagesRun();
    if (epoch != callEpoch_ || VoiceSession.get() != session) {
        qCInfo(lcCall) << "acceptance given up: the call changed meanwhile";
        return;
    }
    VoiceSession->StartVoice();
    SetVideoDestination(CallPeer);
    Ringing = false;
    Connected = true;
    ++videoTicket_;
    qCInfo(lcCall).noquote() << QStringLiteral("accepted: voice to %1").arg(sender);
    LogFlags();
}

void TfrmMain::CallCancelled()
{
    const quint64 epoch = ++callEpoch_;
    CallOffered = false;
    Timer1->stop();
    lblCallerID->clear();
    qCInfo(lcCall) << "cancelled by caller";
    LogFlags();
    LetPendingMessagesRun();
    if (epoch != callEpoch_)
        return;
    StopRingTone();
}

void TfrmMain::CallStatusText(const QString& text)
{
    TfrmCalling& calling = CallingWindow();
    calling.Dice1->SetRotate(false);
    calling.SetStatus(text);
}

void TfrmMain::CancelCall()
{
    try {
        Timer1->stop();
        Busy = false;
        SendSignal(TSignalMessage::Cancel, edtHostName->text());
        LetPendingMessagesRun();
    } catch (const std::exception& e) {
        qCInfo(lcCall) << "cancel not sent:" << e.what(); // the window closes all the same
    }
    CloseCallingWindow();
    LogFlags();
}

void TfrmMain::EndCall()
{
    Image1->SetPicture(Image12->Picture());
    if (Ringing)
        return;
    ++callEpoch_;
    ++videoTicket_;
    Busy = false;
    Ringing = false;
    CallOffered = false;
    lblCallerID->clear();
    Connected = false;
    CallPeer.clear();
    if (VoiceSession) {
        try {
            VoiceSession->StopVoice();
        } catch (const std::exception& e) {
            qCWarning(lcCall) << "voice did not stop cleanly:" << e.what();
        }
        VoiceSession.reset();
    }
    qCInfo(lcCall) << "call ended";
    LogFlags();
}
