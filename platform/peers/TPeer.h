#pragma once

#include <QString>

// One computer on the network as a browser reports it. Every text came from the network.
struct TPeer
{
    QString key;      // stays the same while the computer is known; a browser's own identity
    QString name;     // the caller ID of a copy of this program, else the computer's own name
    QString host;     // what to call it by: its host name, or its address
    QString provider; // which service found it, e.g. "DNS-SD"
    bool programCopy = false;
    QString address;      // the IPv4 address it was found at; may be empty
    QString announcedKey; // a copy's key fingerprint (52 characters of base 32) as it announces it

    bool operator==(const TPeer&) const = default;
};
