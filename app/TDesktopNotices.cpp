#include "app/TDesktopNotices.h"

#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "platform/logging/Logging.h"
#include "platform/notify/TDesktopNotifications.h"
#include "platform/text/TRemoteText.h"
#include "platform/ui/Guarded.h"
#include "transfer/TfrmTransfer.h"
#include "transfer/TfrmTxtMessage.h"

#include <QEvent>
#include <QFileInfo>

namespace {

// Urgency levels of the notification service; the hint must travel as a byte.
QVariant Urgency(uchar level)
{
    return QVariant::fromValue(level);
}

} // namespace

TDesktopNotices::TDesktopNotices(TDesktopNotifications& notifications, TCallSession& session,
                                 TfrmMain& main, TfrmTransfer* portal, QObject* parent)
    : QObject(parent), notifications_(notifications), session_(session), main_(main),
      portal_(portal)
{
    connect(&session_, &TCallSession::ringStarted, this, &TDesktopNotices::Ring);
    connect(&session_, &TCallSession::ringStopped, this, &TDesktopNotices::RingStopped);
    if (portal_) {
        portal_->OnStoredUnseen = [this](const QString& path, const QString& from,
                                         const QString& security) {
            Received(path, from, security);
        };
        portal_->installEventFilter(this);
    }
}

bool TDesktopNotices::eventFilter(QObject* watched, QEvent* event)
{
    // Once the user sees the portal, its list tells the rest.
    if (watched == portal_ &&
        (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)) {
        notifications_.Close(receivedNotice_);
        receivedNotice_ = 0;
        receivedCount_ = 0;
    }
    return QObject::eventFilter(watched, event);
}

TDesktopNotices::~TDesktopNotices()
{
    if (portal_)
        portal_->OnStoredUnseen = nullptr;
}

QString TDesktopNotices::CallBody(const QString& callerID, const QString& sender)
{
    // The address goes beside the name: a name is the caller's own say, the address is not.
    const QString caller = TRemoteText::Clean(callerID).trimmed();
    return caller.isEmpty() ? tr("%1 calling...").arg(sender)
                            : tr("%1 (%2) calling...").arg(caller, sender);
}

QString TDesktopNotices::ReceivedSummary(const QString& path)
{
    return TfrmTxtMessage::IsMessageName(QFileInfo(path).fileName()) ? tr("Text message received")
                                                                     : tr("File received");
}

QString TDesktopNotices::ReceivedBody(const QString& path, const QString& from,
                                      const QString& security)
{
    const QString body =
        tr("\"%1\" from %2").arg(TRemoteText::Clean(QFileInfo(path).fileName()), from);
    return security.isEmpty() ? body : body + QStringLiteral(" — ") + security;
}

void TDesktopNotices::Ring(const QString& callerID, const QString& sender)
{
    // A new caller replaces the one before: only one call rings at a time.
    notifications_.Close(callNotice_);
    TNotice notice;
    const QString security = CallSecurity ? CallSecurity(sender) : QString();
    notice.summary = security.isEmpty() ? CallSummary() : security;
    notice.body = CallBody(callerID, sender);
    notice.actions = {QStringLiteral("answer"),  tr("Answer"),
                      QStringLiteral("decline"), tr("Decline"),
                      QStringLiteral("default"), tr("Show")};
    notice.hints = {{QStringLiteral("urgency"), Urgency(2)},
                    {QStringLiteral("category"), QStringLiteral("call.incoming")}};
    // It stays while the call rings and is closed when the ring stops.
    notice.timeoutMs = 0;
    callNotice_ = notifications_.Show(
        notice, [this, sender](const QString& key) { CallAction(key, sender); });
    qCInfo(lcNotify).noquote() << "incoming call notice:" << notice.body;
}

void TDesktopNotices::RingStopped()
{
    notifications_.Close(callNotice_);
    callNotice_ = 0;
}

void TDesktopNotices::CallAction(const QString& key, const QString& caller)
{
    callNotice_ = 0;
    TCallSession& session = session_;
    // A notice speaks for the caller it named, and only while that caller rings.
    const bool stillRings = session.Ringing() && session.CallOffered() && session.Peer() == caller;
    if (key == QLatin1String("answer")) {
        main_.BringToFront();
        if (stillRings)
            Guarded([&] { session.Answer(); });
    } else if (key == QLatin1String("decline")) {
        if (stillRings)
            Guarded([this] { main_.EndOrDecline(); });
    } else {
        main_.BringToFront();
    }
}

void TDesktopNotices::Received(const QString& path, const QString& from, const QString& security)
{
    const bool message = TfrmTxtMessage::IsMessageName(QFileInfo(path).fileName());
    TNotice notice;
    // One notice tells of everything that came while the portal was hidden.
    notifications_.Close(receivedNotice_);
    ++receivedCount_;
    notice.summary = receivedCount_ > 1
                         ? tr("%n files and messages received", nullptr, receivedCount_)
                         : ReceivedSummary(path);
    notice.body = ReceivedBody(path, from, security);
    notice.actions = {QStringLiteral("default"), tr("Show")};
    notice.hints = {{QStringLiteral("urgency"), Urgency(1)},
                    {QStringLiteral("category"), message ? QStringLiteral("im.received")
                                                         : QStringLiteral("transfer.complete")}};
    receivedNotice_ = notifications_.Show(notice, [this](const QString&) {
        receivedNotice_ = 0;
        if (!portal_)
            return;
        portal_->show();
        portal_->raise();
        portal_->activateWindow();
    });
    qCInfo(lcNotify).noquote() << "received notice:" << notice.summary << notice.body;
}
