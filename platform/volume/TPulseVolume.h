#pragma once

#include <QtGlobal>

// The default output's volume through the sound server, 0..65535 per channel. Both calls fail
// quietly (false) and quickly when no sound server answers or the output has no volume.
class TPulseVolume
{
public:
    static bool GetWaveOutVolume(quint16& left, quint16& right);
    // value: left channel in the low 16 bits, right channel in the high 16 bits.
    static bool SetWaveOutVolume(quint32 value);
};
