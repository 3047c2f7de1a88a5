#pragma once

#include "capture/TGuid.h"

#include <QtGlobal>

// One video capture mode of a device. A stored configuration keeps the subtype and the frame
// size only; the major type and the frame rates come from the device when the mode is matched.
struct TVCapMode
{
    TGuid MediaType;
    TGuid MediaSubType;
    qint32 Width = 0; // pixels; from a device, the absolute bitmap header size
    qint32 Height = 0;
    qint32 Bits = 0;         // bits per pixel
    double FrameRate = 0;    // frames per second of the format, 0 when it gives none
    double MinFrameRate = 0; // 0 when the device gives no range
    double MaxFrameRate = 0;

    bool operator==(const TVCapMode&) const = default;
};
