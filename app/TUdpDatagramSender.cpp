#include "app/TUdpDatagramSender.h"

#include "platform/errors/ESockError.h"

#include <QHostInfo>

TUdpDatagramSender::TUdpDatagramSender(quint16 port) : port_(port) {}

QHostAddress TUdpDatagramSender::Resolve(const QString& host)
{
    QHostAddress address;
    if (address.setAddress(host.trimmed()) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return address;
    const QHostInfo info = QHostInfo::fromName(host.trimmed());
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    throw ESockError(QStringLiteral("Socket Error # 11001\nHost not found."));
}

void TUdpDatagramSender::Send(const QByteArray& payload, const QString& host)
{
    const QHostAddress to = Resolve(host);
    if (socket_.writeDatagram(payload, to, port_) != payload.size())
        throw ESockError(socket_.errorString());
}
