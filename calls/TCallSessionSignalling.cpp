// The call: what arrives on the signalling port and what the phone does about it.
#include "calls/TCallSession.h"

#include "calls/TSignalMessage.h"
#include "platform/logging/Logging.h"
#include "platform/text/TRemoteText.h"

#include <QFileInfo>

#include <algorithm>

void TCallSession::Receive(const QByteArray& datagram, const QString& sender)
{
    const QHostAddress from(sender);
    if (from.protocol() != QAbstractSocket::IPv4Protocol || (plainFilter_ && !plainFilter_(from)))
        return;
    // A plain request gets the unanswered message and nothing rings, when only encrypted
    // calls are taken.
    if (settings_.EncryptedOnly &&
        TSignalMessage::Classify(datagram).kind == TSignalMessage::TKind::CallRequest) {
        qCInfo(lcCall).noquote() << "refused a plain call from" << from.toString()
                                 << ": only encrypted calls are taken";
        Reply(from, "unanswered");
        return;
    }
    ReceiveSecure(datagram, from);
}

void TCallSession::ReceiveSecure(const QByteArray& datagram, const QHostAddress& from)
{
    const TSignalMessage message = TSignalMessage::Classify(datagram);
    qCInfo(lcCall).noquote() << QStringLiteral("received \"%1\" from %2")
                                    .arg(TRemoteText::Clean(message.text), from.toString());
    try {
        Handle(message, from);
    } catch (const std::exception& e) {
        // The network never opens a box; what failed is in the log.
        if (const std::optional<qint64> more = failedDatagrams_.Allow())
            qCWarning(lcCall).noquote() << "handling a datagram from" << from.toString()
                                        << "failed:" << e.what() << TLogThrottle::More(*more);
    }
}

void TCallSession::Handle(const TSignalMessage& message, const QHostAddress& from)
{
    switch (message.kind) {
    case TSignalMessage::TKind::CallRequest:
        if (busy_ || Placing() || HeldForAnotherHost(from)) {
            Reply(from, "busy");
            return;
        }
        // The caller that rings, calling again: the ring goes on, restarted at most once in a
        // while, so a flood of repeats neither restarts the tone nor stacks notices.
        if (ringing_ && callOffered_ && ringStart_ && clock_() - *ringStart_ < RingRestartSpacing)
            return;
        IncomingCall(message.callerID, from, settings_.AutoAnswer);
        return;
    case TSignalMessage::TKind::Accept:
        if (AwaitingAnswerFrom(from))
            CallAccepted(from);
        else if (const std::optional<qint64> more = strayAccepts_.Allow())
            qCWarning(lcCall).noquote()
                << QStringLiteral("dropped \"Accept\" from %1: no call placed to it")
                       .arg(from.toString())
                << TLogThrottle::More(*more);
        return;
    case TSignalMessage::TKind::Cancel:
        // Only the caller can take back its call, and only while it has not been answered.
        if (callOffered_ && !connected_ && peer_ && peer_->isEqual(from))
            CallCancelled();
        return;
    case TSignalMessage::TKind::StatusText:
        // Only the called host may say how the call it was asked for went.
        if (AwaitingAnswerFrom(from))
            emit statusText(message.text);
        else
            qCInfo(lcCall).noquote()
                << QStringLiteral("dropped a status text from %1: not the called host")
                       .arg(from.toString());
        return;
    }
}

bool TCallSession::AwaitingAnswerFrom(const QHostAddress& from) const
{
    if (placing_ != TPlacing::Waiting)
        return false;
    return std::any_of(placed_.cbegin(), placed_.cend(),
                       [&](const QHostAddress& a) { return a.isEqual(from); });
}

bool TCallSession::HeldForAnotherHost(const QHostAddress& from) const
{
    // A phone that rings, or a call taken automatically (Busy stays clear there), belongs to
    // its caller until it ends.
    const bool ringing = ringing_ && callOffered_;
    const bool answeredAutomatically = connected_ && !busy_;
    return (ringing || answeredAutomatically) && !(peer_ && peer_->isEqual(from));
}

void TCallSession::Reply(const QHostAddress& to, const char* why)
{
    if (!replies_.Allow(to, clock_())) {
        qCDebug(lcCall).noquote() << "no" << why << "reply to" << to.toString()
                                  << "(one was sent within the second)";
        return;
    }
    SendTo(settings_.Message, to);
}

void TCallSession::IncomingCall(const QString& callerID, const QHostAddress& from, bool autoAnswer)
{
    ++epoch_; // a host lookup under way is no longer wanted
    qCInfo(lcCall).noquote() << QStringLiteral("ringing: caller \"%1\" from %2")
                                    .arg(TRemoteText::Clean(callerID), from.toString());
    ringing_ = true;
    callOffered_ = true;
    peer_ = from;
    ringStart_ = clock_();
    emit incomingCall(callerID, from.toString(), autoAnswer);
    emit callerShown(callerID);
    if (autoAnswer) {
        AnswerCall();
        return;
    }
    // A ring time of nothing or less would never ring at all: it times out at once.
    ringTimer_.setInterval(std::max(0, settings_.RingTimeMs));
    ringTimer_.start();
    const QString tone = settings_.RingTone;
    if (!tone.isEmpty() && QFileInfo(tone).isFile() && player_) {
        player_->Close();
        if (player_->Open(tone))
            player_->Play();
    }
    emit ringStarted(callerID, from.toString());
    LogFlags();
}

void TCallSession::RingTimeout()
{
    const std::optional<QHostAddress> caller = peer_;
    ringTimer_.stop();
    emit callerCleared();
    ringing_ = false;
    StopRingTone();
    qCInfo(lcCall) << "ring timeout";
    LogFlags();
    if (connected_ || !caller)
        return;
    Reply(*caller, "unanswered");
}

void TCallSession::CallAccepted(const QHostAddress& from)
{
    ++epoch_; // a host lookup under way is no longer wanted
    StartVoiceSession(from);
    peer_ = from;
    placing_ = TPlacing::None;
    placed_.clear();
    emit placingEnded();
    voice_->StartVoice();
    ringing_ = false;
    connected_ = true;
    qCInfo(lcCall).noquote() << QStringLiteral("accepted: voice to %1").arg(from.toString());
    LogFlags();
    emit accepted(from);
}

void TCallSession::CallCancelled()
{
    ++epoch_; // a host lookup under way is no longer wanted
    // Nothing of the ring is left: End / Decline works at once and the next caller rings.
    callOffered_ = false;
    ringing_ = false;
    peer_.reset();
    ringStart_.reset();
    ringTimer_.stop();
    emit callerCleared();
    qCInfo(lcCall) << "cancelled by caller";
    LogFlags();
    StopRingTone();
}
