// Calls: the signalling texts on the wire and the call state machine of the main window.
#include "app/TfrmMain.h"

#include "app/TForms.h"
#include "app/TfrmCalling.h"
#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "voice/EAssertionFailed.h"
#include "voice/TfrmCCN.h"
#include "widgets/TDice.h"
#include "widgets/TImage.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QUdpSocket>

namespace {

const QString Calling = QStringLiteral("Calling");
const QString CallingPrefix = QStringLiteral("Calling|");
const QString Accept = QStringLiteral("Accept");
const QString Cancel = QStringLiteral("Cancel");

void LetPendingMessagesRun()
{
    QCoreApplication::processEvents();
}

TfrmCalling& CallingWindow()
{
    if (!Forms().frmCalling)
        throw EError(QStringLiteral("The calling-status window does not exist."));
    return *Forms().frmCalling;
}

} // namespace

void TfrmMain::LogFlags() const
{
    qCInfo(lcCall).noquote() << QStringLiteral("flags busy=%1 offered=%2 ringing=%3 connected=%4")
                                    .arg(int(Busy))
                                    .arg(int(CallOffered))
                                    .arg(int(Ringing))
                                    .arg(int(Connected));
}

void TfrmMain::UDPServerUDPRead(const QByteArray& datagram, const QString& sender)
{
    QString text = QString::fromUtf8(datagram);
    qCInfo(lcCall).noquote() << QStringLiteral("received \"%1\" from %2").arg(text, sender);
    QString callerID;
    if (text.contains(QLatin1Char('|'))) {
        callerID = text.mid(CallingPrefix.size());
        text = Calling;
    }
    if (text == Calling) {
        if (Busy)
            SendSignal(CallSettings.Message, sender);
        else
            IncomingCall(callerID, sender, CallSettings.AutoAnswer);
    } else if (text == Accept) {
        CallAccepted(sender);
    } else if (text == Cancel) {
        if (sender == edtHostName->text())
            CallCancelled();
    } else {
        CallStatusText(text);
    }
}

void TfrmMain::SendSignal(const QString& text, const QString& host)
{
    UDPClient->Send(text.toUtf8(), host);
    qCInfo(lcCall).noquote() << QStringLiteral("sent \"%1\" to %2").arg(text, host);
}

void TfrmMain::Image4Click()
{
    if (Busy)
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
        TfrmCalling& calling = CallingWindow();
        calling.Dice1->SetRotate(true);
        calling.SetStatus(QStringLiteral("Calling..."));
        callingWindowClosed_ = false;
        SendSignal(CallingPrefix + CallSettings.CallerID, edtHostName->text());
        LetPendingMessagesRun();
        LogFlags();
        if (!callingWindowClosed_)
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
    // A session still running (a second answer, "Accept" during a call) is ended first, so
    // that two sessions never share the one terminal.
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
}

void TfrmMain::AnswerCall()
{
    Timer1->stop();
    StopRingTone();
    LetPendingMessagesRun();
    const QString peer = edtHostName->text();
    StartVoiceSession(peer);
    SendSignal(Accept, peer);
    LetPendingMessagesRun();
    VoiceSession->StartVoice();
    VideoHost = edtHostName->text();
    Connected = true;
    Ringing = false;
    qCInfo(lcCall).noquote() << QStringLiteral("answered: voice to %1").arg(peer);
    LogFlags();
}

void TfrmMain::IncomingCall(const QString& callerID, const QString& sender, bool autoAnswer)
{
    qCInfo(lcCall).noquote()
        << QStringLiteral("ringing: caller \"%1\" from %2").arg(callerID, sender);
    if (!autoAnswer)
        QApplication::alert(this);
    Ringing = true;
    CallOffered = true;
    edtHostName->setText(sender);
    LetPendingMessagesRun();
    lblCallerID->setText(callerID + QStringLiteral(" calling..."));
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
    LogFlags();
    LetPendingMessagesRun();
}

void TfrmMain::Timer1Timer()
{
    Timer1->stop();
    lblCallerID->clear();
    Ringing = false;
    StopRingTone();
    qCInfo(lcCall) << "ring timeout";
    LogFlags();
    LetPendingMessagesRun();
    SendSignal(CallSettings.Message, edtHostName->text());
}

void TfrmMain::CallAccepted(const QString& sender)
{
    StartVoiceSession(sender);
    CloseCallingWindow();
    LetPendingMessagesRun();
    VoiceSession->StartVoice();
    VideoHost = edtHostName->text();
    Ringing = false;
    Connected = true;
    qCInfo(lcCall).noquote() << QStringLiteral("accepted: voice to %1").arg(sender);
    LogFlags();
}

void TfrmMain::CallCancelled()
{
    CallOffered = false;
    Timer1->stop();
    lblCallerID->clear();
    qCInfo(lcCall) << "cancelled by caller";
    LogFlags();
    LetPendingMessagesRun();
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
        SendSignal(Cancel, edtHostName->text());
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
    Busy = false;
    Ringing = false;
    CallOffered = false;
    lblCallerID->clear();
    Connected = false;
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
