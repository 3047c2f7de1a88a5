#pragma once

#include <QtGlobal>

#include <bitset>

// Which of the last Size sequence numbers have come, as IPsec keeps them (RFC 4303 3.4.3):
// anything older than the window, or seen, is a replay. Checked before a datagram is opened,
// and noted only after it verified, so a forgery cannot move the window.
class TReplayWindow
{
public:
    static constexpr int Size = 1024;

    // Whether sequence may be new.
    bool Fresh(quint64 sequence) const;
    // sequence verified: noted, and the window moved on when it is the newest.
    void Note(quint64 sequence);

private:
    bool any_ = false;
    quint64 top_ = 0;          // the newest sequence seen
    std::bitset<Size> seen_{}; // bit i: top_ - i seen
};
