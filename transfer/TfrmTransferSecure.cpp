// Secure channels for the portal: which peers get one, the questions a changed key or a peer
// that cannot be reached securely raise, and the keys noted after each exchange.
#include "transfer/TfrmTransfer.h"

#include "platform/crypto/IPeerKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/logging/Logging.h"
#include "platform/text/TRemoteText.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TStrmSender.h"

#include <QFileInfo>
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
        keyAccepted_ = Ui().RiskConfirm(
            tr("%1's key has changed: reinstalled, or someone in between. Send anyway?")
                .arg(PeerName(*keys_, *StrmSend1)));
        return keyAccepted_;
    };
    StrmSend1->OnInsecure = [this](const QString& reason) {
        return Ui().RiskConfirm(tr("Can't reach %1's Parlavue securely (%2). Send unencrypted?")
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
    qCInfo(lcCrypto).noquote() << address.toString() << "took a file with another key,"
                               << TIdentity::Base32(key).left(8);
    SetNotice(tr("Key changed: %1 answered with another key than before").arg(address.toString()));
    lblCom->setStyleSheet(QStringLiteral("color: #ff6060;")); // on the dark panel
}

TfrmTransfer::TArrivalSecurity TfrmTransfer::ArrivalSecurity(const QHostAddress& address,
                                                             const QByteArray& key)
{
    if (!keys_)
        return {};
    if (key.isEmpty()) {
        // Plain from an address known to encrypt may be someone else speaking for it.
        const bool suspicious = keys_->Expected(address).secure;
        if (suspicious)
            qCInfo(lcCrypto).noquote()
                << "a plain file from" << address.toString() << ", which used encryption before";
        return {tr("not encrypted"), suspicious};
    }
    if (keys_->Seen(address, key, false) == IPeerKeys::TState::Changed) {
        qCInfo(lcCrypto).noquote() << "a file from" << address.toString()
                                   << "came with another key," << TIdentity::Base32(key).left(8);
        return {tr("encrypted, key changed"), true};
    }
    return {tr("encrypted"), false};
}

QString TfrmTransfer::ArrivalName(const QString& path, const QString& from) const
{
    const QString name = keys_ ? keys_->Expected(QHostAddress(from)).name : QString();
    const QString sender =
        name.isEmpty() ? from : QStringLiteral("%1 (%2)").arg(TRemoteText::Clean(name), from);
    return tr("\"%1\" from %2").arg(TRemoteText::Clean(QFileInfo(path).fileName()), sender);
}

void TfrmTransfer::SetEncryptedOnly(bool on)
{
    encryptedOnly_ = on;
    StrmSend1->EncryptedOnly = on;
    qCInfo(lcCrypto) << (on ? "only encrypted files and messages from now on"
                            : "plain files and messages to and from copies that take no key");
}
