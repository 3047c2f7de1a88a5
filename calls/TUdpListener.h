#pragma once

#include "platform/logging/TLogThrottle.h"

#include <QLoggingCategory>
#include <QObject>
#include <QUdpSocket>
#include <functional>

// A UDP listener on all IPv4 addresses that hands each datagram, with its sender's dotted
// address, to a handler on the UI thread. Empty and over-long datagrams are dropped, and a
// handler that fails ends that datagram's handling only (it is logged): the listener goes on.
class TUdpListener : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QByteArray& datagram, const QString& sender)>;
    using Category = const QLoggingCategory& (*)();

    TUdpListener(const QString& what, qsizetype maxDatagram, Category category, Handler handler,
                 QObject* parent);

    // Listens on the port (0: any free one). False when another program holds it; the owner
    // tells the user and goes on without this listener.
    bool Activate(quint16 port);
    quint16 localPort() const { return socket_.localPort(); }

    // Datagrams handled per read notification at most.
    static constexpr int BatchPerNotification = 256;

private:
    void Read();

    QString what_;
    qsizetype maxDatagram_;
    Category category_;
    Handler handler_;
    TLogThrottle failures_;
    QUdpSocket socket_;
};
