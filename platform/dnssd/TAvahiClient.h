#pragma once

#include "platform/dnssd/TAvahiQtPoll.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <avahi-client/client.h>

// The program's one connection to the Avahi daemon on the system bus. It waits for a daemon
// that is not running yet, and after the daemon went away (a restart) it makes a new
// connection, since Avahi's client never reconnects by itself. Everything made with Handle()
// dies with it: users drop their objects on Resetting and make them again on Running.
class TAvahiClient : public QObject
{
    Q_OBJECT
public:
    explicit TAvahiClient(QObject* parent = nullptr);
    ~TAvahiClient() override;

    // Null while there is no connection.
    AvahiClient* Handle() const { return client_; }
    // Connected to a daemon that answers requests.
    bool IsRunning() const;
    // The daemon's domain ("local"); empty while not running.
    QString DomainName() const;

signals:
    void Running();
    void Resetting();
    // The daemon's host name is being registered again (a collision): publications must wait.
    void Registering();

private:
    static void StateCallback(AvahiClient* client, AvahiClientState state, void* userdata);
    void OnState(AvahiClient* client, AvahiClientState state);
    void Connect();
    void Reset();

    TAvahiQtPoll poll_;
    AvahiClient* client_ = nullptr;
    AvahiClientState state_ = AVAHI_CLIENT_CONNECTING;
    QTimer retry_;
    int retryMs_ = 0;
};
