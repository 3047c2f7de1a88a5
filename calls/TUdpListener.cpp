#include "calls/TUdpListener.h"

#include <QNetworkDatagram>

TUdpListener::TUdpListener(const QString& what, qsizetype maxDatagram, Category category,
                           Handler handler, QObject* parent)
    : QObject(parent), what_(what), maxDatagram_(maxDatagram), category_(category),
      handler_(std::move(handler))
{
    socket_.setReadBufferSize(maxDatagram);
    connect(&socket_, &QUdpSocket::readyRead, this, &TUdpListener::Read);
}

bool TUdpListener::Activate(quint16 port)
{
    if (!socket_.bind(QHostAddress::AnyIPv4, port)) {
        qCWarning(category_) << "cannot listen on" << what_ << "port" << port
                             << socket_.errorString();
        return false;
    }
    qCInfo(category_).noquote() << "listening on" << what_ << "port" << socket_.localPort();
    return true;
}

void TUdpListener::Read()
{
    // A bounded batch per turn of the event loop: a flood of datagrams must leave room for
    // everything else the window does. The rest is read on the next turn.
    constexpr int Batch = 64;
    for (int n = 0; socket_.hasPendingDatagrams(); ++n) {
        if (n == Batch) {
            QMetaObject::invokeMethod(this, &TUdpListener::Read, Qt::QueuedConnection);
            return;
        }
        const QNetworkDatagram datagram = socket_.receiveDatagram(maxDatagram_ + 1);
        const QByteArray data = datagram.data();
        if (data.isEmpty() || data.size() > maxDatagram_) {
            qCDebug(category_) << "dropped a" << what_ << "datagram of" << data.size() << "bytes";
            continue;
        }
        bool isIPv4 = false;
        const quint32 ip = datagram.senderAddress().toIPv4Address(&isIPv4);
        if (!isIPv4)
            continue;
        const QString sender = QHostAddress(ip).toString();
        // What a datagram sets off must not end the listener, nor reach the user as a box:
        // the network never opens a dialog. It is logged.
        try {
            handler_(data, sender);
        } catch (const std::exception& e) {
            qCWarning(category_).noquote()
                << "a" << what_ << "datagram from" << sender << "failed:" << e.what();
        }
    }
}
