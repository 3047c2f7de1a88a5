#pragma once

#include "capture/TGuid.h"

#include <QtGlobal>

// One audio capture mode of a device. Only the subtype and the numbers are kept in a stored
// configuration; the major type is implied by the device.
struct TACapMode
{
    TGuid MediaType;
    TGuid MediaSubType;
    qint32 SampleRate = 0; // samples per second
    qint32 SampleSize = 0; // bits per sample
    qint32 Channels = 0;
    qint32 AvgSampleRate = 0; // average bytes per second

    bool operator==(const TACapMode&) const = default;
};
