// The phone's secure channels: the call's signalling through them, the portal's, the questions
// they raise, and how the call that rings or runs is protected, beside the caller-ID line.
#include "app/TPhone.h"

#include "app/TDesktopNotices.h"
#include "app/TPeerKeyBook.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TSecureSignalling.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TVideoLink.h"
#include "contacts/TKnownKeys.h"
#include "contacts/TfrmIP.h"
#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/peers/TAnnouncedKeys.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TStrmSocket.h"
#include "transfer/TfrmTransfer.h"

#include <QTimer>

void TPhone::ConnectSignalling()
{
    signalling_ =
        new TSecureSignalling(std::make_unique<TUdpDatagramSender>(parts_.ports.signallingPeer),
                              parts_.transferPort, this);
    signalling_->setObjectName(QStringLiteral("SecureSignalling"));
    session_->SetSender(signalling_->Sender());
    session_->SetPlainFilter(
        [s = signalling_](const QHostAddress& from) { return s->AdmitPlain(from); });
    connect(signalling_, &TSecureSignalling::Text, session_, &TCallSession::ReceiveSecure);
    connect(signalling_, &TSecureSignalling::KeyState, this,
            [this](const QHostAddress& peer, bool encrypted, IPeerKeys::TState state) {
                security_[peer.toIPv4Address()] = {encrypted, state};
                const QHostAddress callPeer(session_->Peer());
                if (session_->Placing() || callPeer.isEqual(peer))
                    ShowCallSecurity(peer);
            });
    connect(session_, &TCallSession::incomingCall, this,
            [this](const QString&, const QString& address) {
                ShowCallSecurity(QHostAddress(address));
            });
    connect(session_, &TCallSession::accepted, this, &TPhone::ShowCallSecurity);
    session_->VoiceKeys = [this](const QHostAddress& peer) -> std::shared_ptr<const TVoiceKeys> {
        const TCallKeys* keys = signalling_->Keys(peer);
        if (!keys)
            return nullptr;
        auto voice = std::make_shared<TVoiceKeys>();
        std::copy(keys->srtpOut.begin(), keys->srtpOut.end(), voice->out);
        std::copy(keys->srtpIn.begin(), keys->srtpIn.end(), voice->in);
        return voice;
    };
    window_->OnNumbersCompared = [this](bool same) { NumbersCompared(same); };
    decryptWatch_ = new QTimer(this);
    decryptWatch_->setInterval(1000);
    connect(decryptWatch_, &QTimer::timeout, this, &TPhone::WatchDecryption);
    connect(session_, &TCallSession::ended, decryptWatch_, &QTimer::stop);
    window_->CallEncryption = [this] {
        CallStatsText::TEncryption e;
        const QHostAddress peer(session_->Peer());
        if (!session_->Connected() || !signalling_->Encrypted(peer))
            return e;
        e.on = true;
        e.suite = signalling_->Suite(peer);
        e.peerKey = TIdentity::ShortTextOf(signalling_->PeerKey(peer)).left(9);
        const auto known = security_.find(peer.toIPv4Address());
        const IPeerKeys::TState state =
            known != security_.end() ? known->second.second : IPeerKeys::TState::New;
        e.keyState = state == IPeerKeys::TState::Changed    ? QStringLiteral("changed")
                     : state == IPeerKeys::TState::Verified ? QStringLiteral("verified")
                                                            : QStringLiteral("seen");
        return e;
    };
    // Before the pictures start (connected before TVideoLink::Start): an encrypted call seals
    // them with its own keys, and watches that what the peer sends still opens.
    connect(session_, &TCallSession::accepted, this, [this](const QHostAddress& peer) {
        const TCallKeys* keys = signalling_->Keys(peer);
        decrypt_ = {};
        if (!keys) {
            video_->Seal(nullptr, nullptr);
            return;
        }
        video_->Seal(std::make_unique<TVideoSealer>(keys->videoOut),
                     std::make_unique<TVideoOpener>(keys->videoIn));
        decryptWatch_->start();
    });
    if (notices_)
        notices_->CallSecurity = [this](const QString& sender) {
            const QHostAddress peer(sender);
            const auto known = security_.find(peer.toIPv4Address());
            // The contact's name as the user gave it; else the address (the caller ID is the
            // caller's own say, and stands in the body beside it).
            const QString name = peerKeys_ ? peerKeys_->Expected(peer).name : QString();
            const QString who = name.isEmpty() ? sender : name;
            if (signalling_->Encrypted(peer) && known != security_.end()) {
                switch (known->second.second) {
                case IPeerKeys::TState::Changed:
                    return tr("Key changed: %1").arg(who);
                case IPeerKeys::TState::Verified:
                    return tr("Encrypted call from %1").arg(who);
                default:
                    return tr("Encrypted call from %1 (new key)").arg(who);
                }
            }
            // A copy without a key of its own says what it always said.
            if (!tls_)
                return QString();
            return peerKeys_ && peerKeys_->Expected(peer).secure
                       ? tr("Unencrypted call from %1: this address used encryption "
                            "before")
                             .arg(sender)
                       : tr("Unencrypted call from %1").arg(sender);
        };
    // A channel lives as long as its call: once the call is over, it closes.
    auto settle = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                signalling_->Settle(session_->Placing(), QHostAddress(session_->Peer()));
                if (!session_->Placing() && !session_->Connected() && !session_->Ringing()) {
                    window_->ShowCallSecurity({}, false);
                    window_->OfferNumbers(false);
                }
            },
            Qt::QueuedConnection);
    };
    connect(session_, &TCallSession::ended, this, settle);
    connect(session_, &TCallSession::placingEnded, this, settle);
    connect(session_, &TCallSession::callerCleared, this, settle);
}

void TPhone::LoadKeys()
{
    knownKeys_ = std::make_unique<TKnownKeys>(
        TKnownKeys::Load(TProgramFolder::File(QString::fromLatin1(TKnownKeys::FileName))));
    if (!knownKeys_->Notice().isEmpty())
        Ui().Warning(knownKeys_->Notice());
    windows_.addressBook->SetKnownKeys(knownKeys_.get());
    if (parts_.keyPeers)
        announced_ = new TAnnouncedKeys(parts_.keyPeers, this);
    keyBook_ = std::make_unique<TPeerKeyBook>(*knownKeys_, announced_);
    StartSecurity(keyBook_.get());
    if (parts_.publisher && tls_)
        parts_.publisher->SetAnnouncedKey(identity_->FingerprintText());
}

void TPhone::StartSecurity(IPeerKeys* keys)
{
    QString error;
    tls_ = identity_->Usable() ? TTlsContext::Make(*identity_, &error) : nullptr;
    if (!tls_) {
        qCInfo(lcCrypto).noquote()
            << "every call and file goes plain:" << (error.isEmpty() ? identity_->Notice() : error);
        return;
    }
    peerKeys_ = keys;
    signalling_->SetSecurity(tls_, keys);
    signalling_->OnInsecure = [](const QString& name, const QString& reason) {
        return Ui().RiskConfirm(
            tr("Can't reach %1's Parlavue securely (%2). Call unencrypted?").arg(name, reason));
    };
    signalling_->OnKeyChanged = [](const QString& name) {
        return Ui().RiskConfirm(
            tr("%1's key has changed: reinstalled, or someone in between. Call anyway?").arg(name));
    };
    windows_.transfer->SetSecurity(
        tls_, keys, [s = signalling_](TStrmSocket* socket, const QByteArray& callId) {
            // From a connection's thread; the socket is already the window thread's.
            QMetaObject::invokeMethod(
                s, [s, socket, callId] { s->Take(socket, callId); }, Qt::QueuedConnection);
        });
}

void TPhone::WatchDecryption()
{
    if (!session_->Connected()) {
        decryptWatch_->stop();
        return;
    }
    const CallStatsText::TFigures f = window_->CallFigures();
    // Voice packets and pictures that opened, against those that did not.
    const quint64 received = f.voice.packetsReceived + quint64(f.video.framesShown);
    const quint64 failures = f.encryption.authFailures;
    const bool refusedOnly = failures > decrypt_.failures && received == decrypt_.received;
    decrypt_.silentSeconds = refusedOnly ? decrypt_.silentSeconds + 1 : 0;
    decrypt_.failures = failures;
    decrypt_.received = received;
    if (decrypt_.silentSeconds < 2 || decrypt_.told)
        return;
    decrypt_.told = true;
    const QHostAddress peer(session_->Peer());
    const QString name = peerKeys_ ? peerKeys_->Expected(peer).name : QString();
    const QString text = tr("Voice/pictures from %1 cannot be decrypted")
                             .arg(name.isEmpty() ? peer.toString() : name);
    qCWarning(lcCrypto).noquote() << text;
    window_->ShowNotice(text);
}

void TPhone::NumbersCompared(bool same)
{
    const QHostAddress peer(session_->Peer());
    const QByteArray key = signalling_->PeerKey(peer);
    if (key.isEmpty() || !knownKeys_)
        return;
    qCInfo(lcCrypto).noquote() << "the user found the numbers of the call with" << peer.toString()
                               << (same ? "the same" : "different");
    knownKeys_->SetState(key, same ? QStringLiteral("verified") : QStringLiteral("refused"));
    if (same) {
        security_[peer.toIPv4Address()].second = IPeerKeys::TState::Verified;
        ShowCallSecurity(peer);
        return;
    }
    // Someone may sit in between: the call ends at once.
    window_->ShowCallSecurity(tr("Different numbers: the call was ended"), true);
    if (session_->Connected() || session_->Ringing())
        window_->EndOrDecline();
}

void TPhone::ApplyEncryption(const TCallSettings& settings)
{
    // The session reads its own copy of the settings for the plain requests it refuses.
    signalling_->SetEncryptedOnly(settings.EncryptedOnly);
    windows_.transfer->SetEncryptedOnly(settings.EncryptedOnly);
}

void TPhone::ShowCallSecurity(const QHostAddress& peer)
{
    const auto known = security_.find(peer.toIPv4Address());
    if (signalling_->Encrypted(peer) && known != security_.end()) {
        const IPeerKeys::TState state = known->second.second;
        if (state == IPeerKeys::TState::Verified) {
            window_->OfferNumbers(false);
            window_->ShowCallSecurity(tr("Encrypted · verified"), false);
            return;
        }
        const bool changed = state == IPeerKeys::TState::Changed;
        // The numbers both users may read to each other: the same on both ends unless someone
        // sits in between.
        const QString numbers = signalling_->Numbers(peer);
        const QString compare = numbers.isEmpty() ? tr("not verified") : tr("compare ") + numbers;
        window_->ShowCallSecurity(changed ? tr("Encrypted · Key changed · ") + compare
                                          : tr("Encrypted · ") + compare,
                                  changed);
        window_->OfferNumbers(!numbers.isEmpty());
        return;
    }
    window_->OfferNumbers(false);
    // Plain from an address known to encrypt may be someone else speaking for it.
    const bool suspicious = tls_ && peerKeys_ && peerKeys_->Expected(peer).secure;
    window_->ShowCallSecurity(suspicious ? tr("Not encrypted: this address used encryption")
                                         : tr("Not encrypted"),
                              suspicious);
}
