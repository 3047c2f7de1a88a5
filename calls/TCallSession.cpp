// The call: what the user does with it, the voice of the call and the placing of a call.
#include "calls/TCallSession.h"

#include "calls/EAssertionFailed.h"
#include "calls/THostLookup.h"
#include "calls/TSignalMessage.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TUdpListener.h"
#include "platform/logging/Logging.h"

#include <QCoreApplication>

TCallSession::TCallSession(const TCallSettings& settings, TCallPorts ports, QObject* parent)
    : QObject(parent), settings_(settings), ports_(ports),
      sender_(std::make_unique<TUdpDatagramSender>(ports.signallingPeer)),
      lookup_(std::make_unique<THostLookup>())
{
    listener_ = new TUdpListener(
        QStringLiteral("signalling"), 8192, lcCall,
        [this](const QByteArray& d, const QString& from) { Receive(d, from); }, this);
    listener_->setObjectName(QStringLiteral("UDPServer"));
    ringTimer_.setObjectName(QStringLiteral("Timer1"));
    ringTimer_.setSingleShot(true);
    connect(&ringTimer_, &QTimer::timeout, this, [this] {
        try {
            RingTimeout();
        } catch (const std::exception& e) {
            qCWarning(lcCall) << "ring timeout:" << e.what();
        }
    });
}

TCallSession::~TCallSession()
{
    if (placing_ == TPlacing::Resolving)
        lookup_->Abort(lookupId_);
    // The voice goes with the phone; the link may outlive it and must not call back into it.
    if (voice_)
        StopVoiceSession();
    if (link_)
        link_->SetDeviceNoticeHandler({});
}

bool TCallSession::Listen()
{
    return listener_->Activate(ports_.signallingListen);
}

quint16 TCallSession::ListenPort() const
{
    return listener_->localPort();
}

void TCallSession::SetSender(std::unique_ptr<IDatagramSender> sender)
{
    sender_ = std::move(sender);
}

void TCallSession::SetLookup(std::unique_ptr<IHostLookup> lookup)
{
    lookup_ = std::move(lookup);
}

void TCallSession::SetRingPlayer(std::unique_ptr<IMediaPlayer> player)
{
    player_ = std::move(player);
}

void TCallSession::SetVoiceLink(std::shared_ptr<IVoiceLink> link)
{
    if (link_)
        link_->SetDeviceNoticeHandler({});
    link_ = std::move(link);
    if (link_)
        link_->SetDeviceNoticeHandler(
            [this](const TVoiceDeviceNotice& notice) { VoiceDeviceNotice(notice); });
}

void TCallSession::SetPlainFilter(std::function<bool(const QHostAddress&)> admit)
{
    plainFilter_ = std::move(admit);
}

void TCallSession::SetClock(std::function<TClock::time_point()> clock)
{
    clock_ = std::move(clock);
}

QString TCallSession::Peer() const
{
    return peer_ ? peer_->toString() : QString();
}

bool TCallSession::NamesNoHost(const QString& fieldText, const QString& prompt)
{
    return fieldText == prompt || fieldText.isEmpty();
}

TCallSession::TMakeAnswer TCallSession::MakeAnswerAction(const QString& fieldText) const
{
    // A call still waiting in the calling-status window has not ended, whatever Busy says.
    if (busy_ || Placing())
        return TMakeAnswer::Nothing;
    // A phone that rings is answered, whatever the field says: the caller is the one that rings.
    if (callOffered_ && ringing_)
        return TMakeAnswer::Answer;
    if (fieldText.trimmed().isEmpty())
        return TMakeAnswer::NeedHost;
    // After the ring time ran out the caller may still be waiting: answered only while the field
    // still shows it, so that what the user typed is called instead.
    if (callOffered_ && peer_ && QHostAddress(fieldText.trimmed()).isEqual(*peer_))
        return TMakeAnswer::Answer;
    // A call taken automatically is up with its caller: nobody else is called over it.
    if (connected_)
        return TMakeAnswer::Nothing;
    return TMakeAnswer::Place;
}

void TCallSession::MakeOrAnswer(const QString& fieldText)
{
    switch (MakeAnswerAction(fieldText)) {
    case TMakeAnswer::Nothing:
    case TMakeAnswer::NeedHost:
        return;
    case TMakeAnswer::Answer:
        Answer();
        return;
    case TMakeAnswer::Place:
        Place(fieldText);
        return;
    }
}

void TCallSession::LogFlags() const
{
    qCInfo(lcCall).noquote() << QStringLiteral("flags busy=%1 offered=%2 ringing=%3 connected=%4")
                                    .arg(int(busy_))
                                    .arg(int(callOffered_))
                                    .arg(int(ringing_))
                                    .arg(int(connected_));
}

void TCallSession::SendTo(const QString& text, const QHostAddress& to)
{
    sender_->SendTo(text.toUtf8(), to);
    qCInfo(lcCall).noquote() << QStringLiteral("sent \"%1\" to %2").arg(text, to.toString());
}

void TCallSession::Place(const QString& host)
{
    // A phone that rings is answered, and a call that is up stays the only one.
    if (busy_ || Placing() || connected_ || (callOffered_ && ringing_))
        return;
    busy_ = true;
    const quint64 epoch = ++epoch_;
    // A call that rang out is given up for the one the user now places.
    if (callOffered_ && !ringing_ && !connected_) {
        callOffered_ = false;
        peer_.reset();
        ringStart_.reset();
    }
    placing_ = TPlacing::Resolving;
    placed_.clear();
    qCInfo(lcCall).noquote() << "placing a call to" << host.trimmed().left(255);
    // The answer always comes later, so the window below is up before it.
    lookupId_ = lookup_->Start(
        host, [this, epoch](const QList<QHostAddress>& addresses, const QString& error) {
            Resolved(epoch, addresses, error);
        });
    LogFlags();
    // The window waits here, modally, until the call is answered or given up; nothing below
    // may follow.
    emit placingStarted();
}

void TCallSession::Resolved(quint64 epoch, const QList<QHostAddress>& addresses,
                            const QString& error)
{
    if (epoch != epoch_ || placing_ != TPlacing::Resolving)
        return;
    if (addresses.isEmpty()) {
        // As a failed send: Busy stays set until End / Decline.
        placing_ = TPlacing::None;
        qCInfo(lcCall).noquote() << "placing failed:" << error;
        emit placingEnded();
        emit placeFailed(error);
        return;
    }
    placed_ = addresses;
    placing_ = TPlacing::Waiting;
    try {
        SendTo(TSignalMessage::CallingPrefix + settings_.CallerID, placed_.first());
    } catch (const std::exception& e) {
        placing_ = TPlacing::None;
        emit placingEnded();
        emit placeFailed(QString::fromUtf8(e.what()));
    }
}

void TCallSession::CancelPlacing()
{
    const std::optional<QHostAddress> called =
        placing_ == TPlacing::Waiting ? std::optional(placed_.first()) : std::nullopt;
    busy_ = false;
    StopPlacing();
    if (called) {
        try {
            SendTo(TSignalMessage::Cancel, *called);
        } catch (const std::exception& e) {
            qCInfo(lcCall) << "cancel not sent:" << e.what(); // the window closes all the same
        }
    }
    emit placingEnded();
    LogFlags();
}

void TCallSession::AbandonPlacing()
{
    if (!Placing())
        return;
    StopPlacing();
    emit placingEnded();
    LogFlags();
}

void TCallSession::StopPlacing()
{
    if (placing_ == TPlacing::Resolving)
        lookup_->Abort(lookupId_);
    placing_ = TPlacing::None;
    placed_.clear();
    ++epoch_;
}

void TCallSession::Answer()
{
    if (!callOffered_ || !peer_)
        return;
    busy_ = true;
    AnswerCall();
}

void TCallSession::AnswerCall()
{
    ++epoch_; // a host lookup under way is no longer wanted
    ringTimer_.stop();
    StopRingTone();
    if (!peer_)
        return;
    const QHostAddress peer = *peer_;
    StartVoiceSession(peer);
    SendTo(TSignalMessage::Accept, peer);
    voice_->StartVoice();
    connected_ = true;
    ringing_ = false;
    qCInfo(lcCall).noquote() << QStringLiteral("answered: voice to %1").arg(peer.toString());
    LogFlags();
    emit accepted(peer);
}

void TCallSession::End()
{
    if (ringing_)
        return;
    const bool placing = Placing();
    if (placing)
        StopPlacing();
    ++epoch_;
    busy_ = false;
    ringing_ = false;
    callOffered_ = false;
    connected_ = false;
    peer_.reset();
    ringStart_.reset();
    emit callerCleared();
    if (voice_)
        StopVoiceSession();
    if (placing)
        emit placingEnded();
    qCInfo(lcCall) << "call ended";
    LogFlags();
    emit ended();
}

void TCallSession::StartVoiceSession(const QHostAddress& peer)
{
    // A session still running (a second answer) is ended first, so that two sessions never
    // share the one terminal.
    if (voice_)
        StopVoiceSession();
    voice_ = std::make_unique<TVOIPMedia>(
        link_.get(), TVoiceProcessing{settings_.EchoCancellation, settings_.NoiseSuppression});
    voice_->SetRemotePort(ports_.voice);
    voice_->SetLocalPort(ports_.voice);
    voice_->SetRemoteAddress(peer.toString());
    if (VoiceKeys)
        voice_->SetKeys(VoiceKeys(peer));
    voiceWarned_ = false;
}

void TCallSession::StopVoiceSession()
{
    try {
        voice_->StopVoice();
    } catch (const std::exception& e) {
        qCWarning(lcCall) << "voice did not stop cleanly:" << e.what();
    }
    voice_.reset();
}

void TCallSession::VoiceDeviceNotice(const TVoiceDeviceNotice& notice)
{
    const bool microphone = notice.device == TVoiceDevice::Microphone;
    const QString& detail = notice.detail;
    if (notice.fellBack) {
        qCInfo(lcCall).noquote() << (microphone ? "microphone" : "speaker")
                                 << "gone, the default serves:" << detail;
        if (voice_)
            emit voiceNotice(microphone ? tr("Microphone lost: using the default")
                                        : tr("Speaker lost: using the default"));
        return;
    }
    qCWarning(lcCall).noquote() << (microphone ? "microphone" : "speaker")
                                << "cannot be used:" << detail;
    // Told once per call: a second device failing, or the same one again, adds nothing the
    // user can act on.
    if (!voice_ || voiceWarned_)
        return;
    voiceWarned_ = true;
    emit voiceWarning(microphone ? tr("The microphone cannot be used: %1\nThe call "
                                      "goes on, but the other side does not hear you.")
                                       .arg(detail)
                                 : tr("The speaker cannot be used: %1\nThe call goes "
                                      "on, but you do not hear the other side.")
                                       .arg(detail));
}

void TCallSession::SetMicLevel(qint32 level)
{
    if (voice_)
        voice_->SetMicLevel(level);
}

std::optional<TVoiceStats> TCallSession::VoiceStats() const
{
    if (!voice_)
        return std::nullopt;
    return voice_->Stats();
}

void TCallSession::StopRingTone()
{
    if (!settings_.RingTone.isEmpty() && player_ && player_->Playing())
        player_->Stop();
    emit ringStopped();
}
