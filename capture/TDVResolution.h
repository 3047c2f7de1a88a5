#pragma once

#include <QtGlobal>

// Decoding size of a DV camera. The ordinals are stored in configurations, so the order of the
// enumerators must not change.
enum class TDVResolution : quint8
{
    dvrDontWorry,
    dvrFull,
    dvrHalf,
    dvrQuater,
    dvrDC,
};

inline constexpr int TDVResolutionCount = 5;
