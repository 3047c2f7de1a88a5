// Calls: the window's side. The call itself is TCallSession's; the window forwards the two call
// buttons to it and shows what it reports.
#include "app/TfrmMain.h"

#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "widgets/TImage.h"
#include "widgets/TRemoteLabel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int NoticeMs = 5000;
} // namespace

void TfrmMain::ConnectCall()
{
    TCallSession* s = session_;
    connect(s, &TCallSession::incomingCall, this, &TfrmMain::IncomingCall);
    connect(s, &TCallSession::callerShown, this, [this](const QString& callerID) {
        TRemoteLabel::Show(*lblCallerID, callerID, tr(" calling..."));
    });
    connect(s, &TCallSession::callerCleared, this, [this] { CallerLine({}); });
    // Told once the calling-status window's own loop has ended, so the focus can go back home.
    connect(
        s, &TCallSession::placeFailed, this,
        [this](const QString& message) { Guarded([&] { PlaceFailed(message); }); },
        Qt::QueuedConnection);
    connect(s, &TCallSession::ended, this, &TfrmMain::ShowIdlePicture);
    connect(s, &TCallSession::voiceWarning, this,
            [](const QString& text) { Guarded([&] { Ui().Warning(text); }); });
    connect(s, &TCallSession::voiceNotice, this, &TfrmMain::ShowNotice);
}

void TfrmMain::ShowNotice(const QString& text)
{
    qCInfo(lcCall).noquote() << "notice:" << text;
    CallerLine(text);
    QTimer::singleShot(NoticeMs, lblCallerID, [this, text] {
        if (lblCallerID->text() == text)
            CallerLine({});
    });
}

void TfrmMain::ShowCallSecurity(const QString& text, bool alarm)
{
    // Never colour alone: the words say it too.
    lblCallSecurity->setStyleSheet(alarm ? QStringLiteral("color: #FF5050; font-weight: bold;")
                                         : QStringLiteral("color: #00A3F0;"));
    lblCallSecurity->setText(text);
    PlaceCallSecurity();
    lblCallSecurity->setVisible(!text.isEmpty());
    if (!text.isEmpty())
        qCInfo(lcCall).noquote() << "call security:" << text;
}

void TfrmMain::OfferNumbers(bool offer)
{
    btnSameNumbers->setVisible(offer);
    btnDifferentNumbers->setVisible(offer);
}

void TfrmMain::ShowStatus(const QString& text)
{
    if (!text.isEmpty())
        CallerLine(text);
    else if (!status_.isEmpty() && lblCallerID->text() == status_)
        CallerLine({});
    status_ = text;
}

void TfrmMain::CallerLine(const QString& text)
{
    // The program's own line: whole as it is, so nothing of a caller's cut-short name
    // (TRemoteLabel) stays in the tooltip or what a screen reader says.
    lblCallerID->setToolTip({});
    if (!lblCallerID->accessibleName().isEmpty())
        lblCallerID->setAccessibleName({});
    lblCallerID->setText(text);
}

void TfrmMain::Image4Click()
{
    MakeOrAnswer();
}

void TfrmMain::Image5Click()
{
    EndOrDecline();
}

void TfrmMain::MakeOrAnswer()
{
    switch (session_->MakeAnswerAction(HostNameEmpty() ? QString() : HostName())) {
    case TCallSession::TMakeAnswer::Nothing:
        return;
    case TCallSession::TMakeAnswer::NeedHost:
        Ui().Information(tr("Please enter a valid IP Address or Host Name First."));
        FocusHostName();
        return;
    case TCallSession::TMakeAnswer::Answer:
        session_->Answer();
        return;
    case TCallSession::TMakeAnswer::Place:
        session_->Place(HostName());
        return;
    }
}

void TfrmMain::EndOrDecline()
{
    ShowIdlePicture();
    session_->End();
}

void TfrmMain::ShowIdlePicture()
{
    Image1->SetPicture(Image12->Picture());
}

void TfrmMain::IncomingCall(const QString& callerID, const QString& address, bool autoAnswer)
{
    Q_UNUSED(callerID);
    if (!autoAnswer)
        QApplication::alert(this);
    // The caller is shown where the user would call back; the field is the network's until the
    // user types.
    edtHostName->setText(address);
    hostFromNetwork_ = address;
}

void TfrmMain::PlaceFailed(const QString& message)
{
    Ui().Error(message);
    // The calling-status window was in front until now.
    activateWindow();
    FocusHostName();
}

QString TfrmMain::HostName() const
{
    return edtHostName->text();
}

void TfrmMain::SetHostName(const QString& host)
{
    edtHostName->setText(host);
    hostFromNetwork_.clear();
}

bool TfrmMain::OfferHostName(const QString& address)
{
    const TCallSession& s = *session_;
    const bool callUnderWay =
        s.Busy() || s.Placing() || s.Connected() || (s.Ringing() && s.CallOffered());
    const QString text = edtHostName->text();
    const bool networks =
        HostNameEmpty() || (!hostFromNetwork_.isEmpty() && text == hostFromNetwork_);
    if (callUnderWay || !networks) {
        qCInfo(lcCall).noquote() << "host field kept; the network offered" << address;
        return false;
    }
    edtHostName->setText(address);
    hostFromNetwork_ = address;
    return true;
}

bool TfrmMain::UserBusy() const
{
    const TCallSession& s = *session_;
    if (s.Busy() || s.Placing() || s.Connected() || (s.Ringing() && s.CallOffered()))
        return true;
    const QWidget* focused = QApplication::focusWidget();
    return focused && QApplication::activeWindow() &&
           (focused->inherits("QLineEdit") || focused->inherits("QTextEdit") ||
            focused->inherits("QPlainTextEdit"));
}

bool TfrmMain::HostNameEmpty() const
{
    return TCallSession::NamesNoHost(edtHostName->text(), HostNamePrompt());
}

void TfrmMain::FocusHostName()
{
    if (edtHostName->isEnabled() && edtHostName->isVisible())
        edtHostName->setFocus();
}
