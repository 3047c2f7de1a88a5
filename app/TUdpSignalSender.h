#pragma once

#include "app/ISignalSender.h"

#include <QUdpSocket>

// One datagram per text to a fixed port of the host, the host resolved at every send.
class TUdpSignalSender : public ISignalSender
{
public:
    explicit TUdpSignalSender(quint16 port);

    void Send(const QString& text, const QString& host) override;

    // The IPv4 address of a dotted address or host name; throws ESockError when unknown.
    static QHostAddress Resolve(const QString& host);

private:
    quint16 port_;
    QUdpSocket socket_;
};
