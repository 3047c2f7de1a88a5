#pragma once

#include <QString>
#include <functional>

// What the file transfer portal and the text message window use of the main window: its
// host-name field and the receive folder of its settings. Unset members read as empty.
struct TPortalHost
{
    // The field's text when it names no host.
    QString prompt;
    std::function<QString()> hostName;
    // The sender of an incoming file or message, offered for the field; true when the field
    // shows it (a field the user typed in or a call under way keeps what it has).
    std::function<bool(const QString&)> offerHostName;
    std::function<void()> focusHostName;
    std::function<QString()> receiveFolder;
    // The user is in a call or typing: an incoming contact then does not bring the portal up
    // (the desktop notice tells of what arrived).
    std::function<bool()> userBusy;

    QString HostName() const { return hostName ? hostName() : QString(); }
    QString ReceiveFolder() const { return receiveFolder ? receiveFolder() : QString(); }
};
