#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// The address this machine shows its callers.
class TLocalAddress
{
public:
    // Resolves the host name and picks the address to show; empty when there is none.
    static QString Get();

    // The last IPv4 address the host name resolves to. A loopback address means nothing to a
    // caller (host names often resolve to 127.0.1.1), so then the first IPv4 address of the
    // machine's interfaces that is not loopback is shown instead, or nothing.
    static QString Choose(const QList<QHostAddress>& resolved,
                          const QList<QHostAddress>& interfaceAddresses);
};
