#pragma once

#include <QtGlobal>

// Pixel format of a grabbed bitmap. The ordinals are stored in configurations, so the order of
// the enumerators must not change.
enum class TPixelFormat : quint8
{
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom,
};

inline constexpr int TPixelFormatCount = 9;
