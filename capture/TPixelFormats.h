#pragma once

#include "capture/TPixelFormat.h"
#include "platform/capturegraph/TGuid.h"

#include <optional>

// How the component's pixel format maps onto the grabber's request, and how a frame's bit
// depth maps onto the pixel format of the bitmap handed out.
class TPixelFormats
{
public:
    // The subtype asked of the grabber; nothing for pfDevice (take what comes).
    static std::optional<TGuid> RequestedSubtype(TPixelFormat format);
    // The bitmap's format for a frame of this many bits per pixel; nothing for "default".
    static std::optional<TPixelFormat> BitmapFormat(int bitsPerPixel);
};
