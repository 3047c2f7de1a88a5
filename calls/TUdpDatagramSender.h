#pragma once

#include "calls/IDatagramSender.h"

#include <QUdpSocket>

// Datagrams to one port, from a port the system chooses.
class TUdpDatagramSender : public IDatagramSender
{
public:
    explicit TUdpDatagramSender(quint16 port);
    void SendTo(const QByteArray& payload, const QHostAddress& to) override;

private:
    quint16 port_;
    QUdpSocket socket_;
};
