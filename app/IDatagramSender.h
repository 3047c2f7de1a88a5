#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

// Sends datagrams to a fixed port of a host. Resolve and SendTo throw ESockError when they
// cannot (unknown host, a datagram too large for the network, a refusal).
class IDatagramSender
{
public:
    virtual ~IDatagramSender() = default;

    // The host's IPv4 addresses; the first is the one datagrams go to. A dotted address is
    // taken as it stands.
    virtual QList<QHostAddress> Resolve(const QString& host);
    virtual void SendTo(const QByteArray& payload, const QHostAddress& to) = 0;

    // Resolves the host, then sends to its first address.
    void Send(const QByteArray& payload, const QString& host);
};
