#pragma once

#include <QHash>
#include <QHostAddress>

#include <chrono>

// How fast one address may hand over files, empty ones included: a burst at once, then one per
// spacing. A file over the pace waits for its turn rather than being refused, so a real batch of
// many small files arrives whole, only slower; a stranger cannot fill a folder and the list of
// received files as fast as the network goes. Thread-safe use is the caller's.
class TFilePace
{
public:
    using TClock = std::chrono::steady_clock;
    using TTime = TClock::time_point;

    struct TRule
    {
        int burst = 64;
        std::chrono::milliseconds spacing{200};
    };

    explicit TFilePace(qsizetype capacity = 4096) : capacity_(capacity) {}

    // How long a file from that address must wait before it is taken; it is counted now, so
    // files that wait side by side get turns one after the other.
    std::chrono::milliseconds Take(const QHostAddress& from, TTime now, const TRule& rule);

private:
    qsizetype capacity_;
    // Per address, when its next file would be on time with the burst used up.
    QHash<QHostAddress, TTime> due_;
};
