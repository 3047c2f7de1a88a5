#include "app/TPeerKeyBook.h"

#include "contacts/TKnownKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/logging/Logging.h"
#include "platform/peers/TAnnouncedKeys.h"

TPeerKeyBook::TPeerKeyBook(TKnownKeys& known, const TAnnouncedKeys* announced)
    : known_(known), announced_(announced)
{}

IPeerKeys::TExpected TPeerKeyBook::Expected(const QHostAddress& address) const
{
    if (const std::optional<QByteArray> pin = known_.PinFor(address)) {
        const TKnownKeys::TKey* key = known_.Find(*pin);
        return {true, *pin, key ? key->name : QString()};
    }
    // An announcement says the copy takes a channel, not which key is its own: a stale record
    // outlives a copy that made a new key. A key that differs from it is only logged (Seen).
    if (announced_ && announced_->Announced(address))
        return {true, {}, {}};
    return {};
}

IPeerKeys::TState TPeerKeyBook::Seen(const QHostAddress& address, const QByteArray& key,
                                     bool accepted)
{
    const std::optional<QByteArray> pin = known_.PinFor(address);
    const TState state = !pin ? TState::New : *pin == key ? TState::Same : TState::Changed;
    if (state == TState::Changed) {
        qCInfo(lcCrypto).noquote()
            << "key change at" << address.toString() << ":" << TIdentity::Base32(*pin).left(8)
            << "->" << TIdentity::Base32(key).left(8) << (accepted ? "(accepted)" : "(pin kept)");
        // The pin changes only when the user accepted the new key.
        if (!accepted)
            return state;
    }
    // A key a copy announced that the channel did not show is told apart in the log.
    if (const auto announced = announced_ ? announced_->Announced(address) : std::nullopt)
        if (TKnownKeys::ParseFingerprint(*announced) != key)
            qCWarning(lcCrypto).noquote()
                << "the key" << address.toString() << "announced differs from the one it used";
    const TKnownKeys::TKey* known = known_.Find(key);
    known_.Record(address, key, known ? known->name : QString(), QStringLiteral("handshake"));
    // A key whose numbers the user once found different stays suspect.
    if (state == TState::Same && known && known->state == QLatin1String("refused"))
        return TState::Changed;
    if (state == TState::Same && known && known->state == QLatin1String("verified"))
        return TState::Verified;
    return state;
}
