#pragma once

#include <QByteArray>
#include <QString>

// Sends one datagram to a host; throws ESockError when it cannot (unknown host, a datagram
// too large for the network, a refusal).
class IDatagramSender
{
public:
    virtual ~IDatagramSender() = default;
    virtual void Send(const QByteArray& payload, const QString& host) = 0;
};
