#pragma once

#include "app/IDatagramSender.h"

#include <QUdpSocket>

// One datagram per payload to a fixed port of the host.
class TUdpDatagramSender : public IDatagramSender
{
public:
    explicit TUdpDatagramSender(quint16 port);

    void SendTo(const QByteArray& payload, const QHostAddress& to) override;

    // The IPv4 addresses of a dotted address or host name; throws ESockError when unknown.
    static QList<QHostAddress> ResolveIPv4(const QString& host);

private:
    quint16 port_;
    QUdpSocket socket_;
};
