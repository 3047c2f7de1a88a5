#pragma once

#include <QProcess>
#include <QString>

// A D-Bus session bus of the test's own (dbus-daemon --session), ended with the object.
class TPrivateSessionBus
{
public:
    TPrivateSessionBus();
    ~TPrivateSessionBus();
    TPrivateSessionBus(const TPrivateSessionBus&) = delete;
    TPrivateSessionBus& operator=(const TPrivateSessionBus&) = delete;

    // Empty when the daemon did not start (not installed, or it failed).
    QString Address() const { return address_; }
    QString Error() const { return error_; }

private:
    QProcess daemon_;
    QString address_;
    QString error_;
};
