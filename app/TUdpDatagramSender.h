#pragma once

#include "app/IDatagramSender.h"

#include <QUdpSocket>

// One datagram per payload to a fixed port of the host, the host resolved at every send.
class TUdpDatagramSender : public IDatagramSender
{
public:
    explicit TUdpDatagramSender(quint16 port);

    void Send(const QByteArray& payload, const QString& host) override;

    // The IPv4 address of a dotted address or host name; throws ESockError when unknown.
    static QHostAddress Resolve(const QString& host);

private:
    quint16 port_;
    QUdpSocket socket_;
};
