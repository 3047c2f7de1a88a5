#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <mutex>
#include <vector>

// Everything a voice terminal played (S16 mono), appended from its streaming thread.
class TPlayedSound
{
public:
    void append(const QByteArray& pcm);
    size_t size() const;
    // count samples from from on; empty while they have not all arrived.
    std::vector<qint16> slice(size_t from, size_t count) const;

private:
    mutable std::mutex mutex_;
    std::vector<qint16> samples_;
};
