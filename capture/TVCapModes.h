#pragma once

#include "capture/TGuid.h"
#include "capture/TVCapMode.h"

struct TCameraMode;

// Where camera modes meet the stored configuration: a mode is kept as the media subtype GUID
// of its layout ({FOURCC-0000-0010-8000-00AA00389B71}, the RGB layouts their own GUIDs) and its
// size and depth, so that files written by other copies select the same modes.
class TVCapModes
{
public:
    static const TGuid RGB555;
    static const TGuid RGB565;
    static const TGuid RGB24;
    static const TGuid RGB32;

    static TGuid FromFourCC(quint32 fourcc);
    static TGuid Subtype(const TCameraMode& mode);
    // The record of a camera mode, frame rates included.
    static TVCapMode Record(const TCameraMode& mode);
    // Same subtype, width, height and depth; the rates are not compared.
    static bool Match(const TVCapMode& a, const TVCapMode& b);
};
