#pragma once

// Translation between GStreamer caps and the capture graph's media types: device caps become a
// list of fixed capture modes, and grabber subtypes become raw video formats.

#include "platform/capturegraph/TMediaType.h"

#include <QByteArray>
#include <optional>
#include <vector>

typedef struct _GstCaps GstCaps;

namespace GstCapsFormats {

// One fixed capture mode: its media type, the frame-interval range of its format and size, and
// the GStreamer caps that select it.
struct TGstMode
{
    TMediaType type;
    TVideoStreamConfigCaps range;
    QByteArray caps;
};

std::vector<TGstMode> VideoModes(const GstCaps* caps);
// The same from caps in their text form ("video/x-raw, format=YUY2, ...").
std::vector<TGstMode> VideoModes(const QByteArray& capsText);
std::vector<TGstMode> AudioModes(const GstCaps* caps);

// The caps the test camera offers.
QByteArray TestCameraCaps();
// The caps of the test camera's DV source: a PAL DV system stream.
QByteArray TestDVCameraCaps();
// The caps that select a mode of a device: a DV system stream is taken as the device sends it,
// whatever the size and rate it states.
QByteArray SourceCaps(const QByteArray& modeCaps);

// The raw video format ("BGR", "YUY2", ...) of a subtype; empty when there is none.
QByteArray GstFormatForSubtype(const TGuid& subtype);
// Rows of this format are handed out bottom-up, as device-independent bitmaps are.
bool IsBottomUpFormat(const QByteArray& gstFormat);
// The media type of fixed raw video caps, laid out as the grabber hands frames out.
std::optional<TMediaType> VideoTypeFromCaps(const GstCaps* caps);
// Bytes per row of a bottom-up bitmap: rows padded to 4 bytes.
int DibStride(int width, int bits);

} // namespace GstCapsFormats
