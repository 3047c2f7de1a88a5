#pragma once

#include <QByteArray>
#include <QHostAddress>

// Sends datagrams to a fixed port of an address. SendTo throws ESockError when it cannot (a
// datagram too large for the network, a refusal).
class IDatagramSender
{
public:
    virtual ~IDatagramSender() = default;
    virtual void SendTo(const QByteArray& payload, const QHostAddress& to) = 0;
};
