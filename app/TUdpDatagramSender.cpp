#include "app/TUdpDatagramSender.h"

#include "platform/errors/ESockError.h"

#include <QHostInfo>

QList<QHostAddress> IDatagramSender::Resolve(const QString& host)
{
    return TUdpDatagramSender::ResolveIPv4(host);
}

void IDatagramSender::Send(const QByteArray& payload, const QString& host)
{
    SendTo(payload, Resolve(host).first());
}

TUdpDatagramSender::TUdpDatagramSender(quint16 port) : port_(port) {}

QList<QHostAddress> TUdpDatagramSender::ResolveIPv4(const QString& host)
{
    QHostAddress address;
    if (address.setAddress(host.trimmed()) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return {address};
    QList<QHostAddress> found;
    const QHostInfo info = QHostInfo::fromName(host.trimmed());
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !found.contains(a))
            found << a;
    if (found.isEmpty())
        throw ESockError(QStringLiteral("Socket Error # 11001\nHost not found."));
    return found;
}

void TUdpDatagramSender::SendTo(const QByteArray& payload, const QHostAddress& to)
{
    if (socket_.writeDatagram(payload, to, port_) != payload.size())
        throw ESockError(socket_.errorString());
}
