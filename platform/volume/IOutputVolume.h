#pragma once

#include <QtGlobal>

// The default output's volume, 0..65535 per channel; the program's "Volume Level" bar.
class IOutputVolume
{
public:
    virtual ~IOutputVolume() = default;
    // False, with left and right untouched, when the volume cannot be read.
    virtual bool GetWaveOutVolume(quint16& left, quint16& right) = 0;
    // value: left channel in the low 16 bits, right channel in the high 16 bits.
    virtual bool SetWaveOutVolume(quint32 value) = 0;
};
