#include "calls/TUdpDatagramSender.h"

#include "platform/errors/ESockError.h"

TUdpDatagramSender::TUdpDatagramSender(quint16 port) : port_(port) {}

void TUdpDatagramSender::SendTo(const QByteArray& payload, const QHostAddress& to)
{
    if (socket_.writeDatagram(payload, to, port_) != payload.size())
        throw ESockError(socket_.errorString());
}
