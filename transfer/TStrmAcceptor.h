#pragma once

#include <QTcpServer>

// A listening server that hands over the descriptor of each connection it accepts, so that
// the connection is read straight from it (TStrmSocket) rather than through a QTcpSocket's
// buffer. Whoever takes Accepted owns the descriptor.
class TStrmAcceptor : public QTcpServer
{
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void Accepted(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { emit Accepted(descriptor); }
};
