#include "calls/TUdpListener.h"

#include <QNetworkDatagram>

TUdpListener::TUdpListener(const QString& what, qsizetype maxDatagram, Category category,
                           Handler handler, QObject* parent)
    : QObject(parent), what_(what), maxDatagram_(maxDatagram), category_(category),
      handler_(std::move(handler)), failures_(std::chrono::seconds(10))
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
    // Qt arms the socket's next notification only when a datagram is taken out of it. So the
    // datagrams are read here and nowhere else: a read queued for later could empty the socket
    // just before Qt reports it readable, and Qt would then wait for a read that never comes.
    // A notification with nothing waiting still takes (nothing) out, which arms the next one.
    if (!socket_.hasPendingDatagrams()) {
        socket_.receiveDatagram(maxDatagram_ + 1);
        return;
    }
    // A bounded batch per notification: a flood leaves room for everything else the window
    // does; whatever is left raises the next notification by itself.
    for (int n = 0; n < BatchPerNotification && socket_.hasPendingDatagrams(); ++n) {
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
        // the network never opens a dialog. It is logged, a line now and then.
        try {
            handler_(data, sender);
        } catch (const std::exception& e) {
            if (const std::optional<qint64> more = failures_.Allow())
                qCWarning(category_).noquote()
                    << "a" << what_ << "datagram from" << sender << "failed:" << e.what()
                    << TLogThrottle::More(*more);
        }
    }
}
