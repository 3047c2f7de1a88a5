// Secure channels for the portal: which peers get one, the questions a changed key or a peer
// that cannot be reached securely raise, and the keys noted after each exchange.
#include "transfer/TfrmTransfer.h"

#include "platform/crypto/IPeerKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TStrmSender.h"

#include <QLabel>

namespace {

QString PeerName(const IPeerKeys& keys, const TStrmSender& sender)
{
    const QString name = keys.Expected(sender.Address()).name;
    return name.isEmpty() ? sender.Host : name;
}

} // namespace

void TfrmTransfer::SetSecurity(std::shared_ptr<const TTlsContext> tls, IPeerKeys* keys,
                               std::function<void(TStrmSocket*, const QByteArray&)> call)
{
    keys_ = keys;
    StrmRec1->SetSecure(tls, std::move(call));
    StrmSend1->Tls = std::move(tls);
    StrmSend1->SecureFor = [this](const QHostAddress& address) {
        keyAccepted_ = false;
        const IPeerKeys::TExpected expected = keys_->Expected(address);
        return TStrmSender::TSecure{expected.secure, expected.key};
    };
    StrmSend1->OnKeyChanged = [this](const QByteArray&) {
        keyAccepted_ = Ui().WarningConfirm(
            QStringLiteral("%1's key has changed: reinstalled, or someone in between. Send anyway?")
                .arg(PeerName(*keys_, *StrmSend1)));
        return keyAccepted_;
    };
    StrmSend1->OnInsecure = [this](const QString& reason) {
        return Ui().WarningConfirm(
            QStringLiteral("Can't reach %1's Parlavue securely (%2). Send unencrypted?")
                .arg(PeerName(*keys_, *StrmSend1), reason));
    };
    connect(StrmSend1, &TStrmSender::Done, this, [this] {
        if (!StrmSend1->PeerKey().isEmpty())
            KeySeen(StrmSend1->Address(), StrmSend1->PeerKey(), keyAccepted_);
    });
}

void TfrmTransfer::KeySeen(const QHostAddress& address, const QByteArray& key, bool accepted)
{
    if (!keys_)
        return;
    if (keys_->Seen(address, key, accepted) != IPeerKeys::TState::Changed || accepted)
        return;
    qCInfo(lcCrypto).noquote() << "a file from" << address.toString() << "came with another key,"
                               << TIdentity::Base32(key).left(8);
    SetNotice(QStringLiteral("Key changed: %1 sent with another key than before")
                  .arg(address.toString()));
    lblCom->setStyleSheet(QStringLiteral("color: #ff6060;")); // on the dark panel
}
