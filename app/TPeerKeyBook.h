#pragma once

#include "platform/crypto/IPeerKeys.h"

class TAnnouncedKeys;
class TKnownKeys;

// What the phone knows of other copies' keys: the pins it keeps (from earlier channels and
// pasted keys) first, then what copies announce on the network.
class TPeerKeyBook : public IPeerKeys
{
public:
    // Both must outlive the book; announced may be null (no network browsing).
    TPeerKeyBook(TKnownKeys& known, const TAnnouncedKeys* announced);

    TExpected Expected(const QHostAddress& address) const override;
    TState Seen(const QHostAddress& address, const QByteArray& key, bool accepted) override;

private:
    TKnownKeys& known_;
    const TAnnouncedKeys* announced_;
};
