#pragma once

#include "platform/volume/IOutputVolume.h"

#include <memory>

// The default output's volume through the sound server, 0..65535 per channel. The object keeps
// one connection for its whole life on a thread of its own and comes back by itself when the
// server goes away and returns. Without a server both calls fail quietly (false) and quickly.
class TPulseVolume : public IOutputVolume
{
public:
    TPulseVolume();
    ~TPulseVolume() override;
    TPulseVolume(const TPulseVolume&) = delete;
    TPulseVolume& operator=(const TPulseVolume&) = delete;

    // The default output's volume as the server last reported it. Only until the first
    // connection has been tried may a call wait, no longer than about 900 ms in all; after that
    // it answers at once. left and right stay untouched on failure.
    bool GetWaveOutVolume(quint16& left, quint16& right) override;

    // value: left channel in the low 16 bits, right channel in the high 16 bits. Never waits for
    // the server: true when the value is on its way to a connected server's default output.
    // While one value is on its way, later ones replace each other and only the newest follows.
    bool SetWaveOutVolume(quint32 value) override;

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};
