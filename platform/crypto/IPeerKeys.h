#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

// What this copy knows of other copies' keys, for the secure channels it opens and answers.
// Used on the window's thread.
class IPeerKeys
{
public:
    enum class TState
    {
        New,      // nothing known of this peer's key before
        Same,     // the key it is known by
        Changed,  // another key than the one it is known by
        Verified, // the key it is known by, whose numbers the user found the same
    };
    struct TExpected
    {
        bool secure = false; // known to take a secure channel: a pasted key, a pin, an announcement
        QByteArray key;      // the key it is known by; empty when any key will do
        QString name;        // what the user calls it, for the questions; may be empty
    };

    virtual ~IPeerKeys() = default;
    virtual TExpected Expected(const QHostAddress& address) const = 0;
    // The peer at address showed key in a secure channel. A changed key replaces the one it is
    // known by only when the user accepted it.
    virtual TState Seen(const QHostAddress& address, const QByteArray& key, bool accepted) = 0;
};
