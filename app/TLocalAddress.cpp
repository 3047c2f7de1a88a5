#include "app/TLocalAddress.h"

#include "platform/logging/Logging.h"

#include <QHostInfo>
#include <QNetworkInterface>

QString TLocalAddress::Choose(const QList<QHostAddress>& resolved,
                              const QList<QHostAddress>& interfaceAddresses)
{
    QHostAddress chosen;
    for (const QHostAddress& a : resolved)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            chosen = a;
    if (chosen.isNull())
        return QString();
    if (!chosen.isLoopback())
        return chosen.toString();
    for (const QHostAddress& a : interfaceAddresses)
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    return QString();
}

QString TLocalAddress::Get()
{
    const QString hostName = QHostInfo::localHostName();
    const QHostInfo info = QHostInfo::fromName(hostName);
    const QString shown = Choose(info.addresses(), QNetworkInterface::allAddresses());
    qCDebug(lcApp) << "host" << hostName << "resolves to" << info.addresses() << "showing" << shown;
    return shown;
}
