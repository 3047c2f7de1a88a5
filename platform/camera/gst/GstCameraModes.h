#pragma once

// A device's caps as the list of fixed modes it can be run in, and back to the caps that
// select one mode.

#include "platform/camera/TCameraMode.h"

#include <QByteArray>

#include <vector>

typedef struct _GstCaps GstCaps;

namespace GstCameraModes {

// Ranges become the usual sizes and rates within them; caps that name no known layout, DV that
// is not a whole system stream and memory other than system memory give no mode.
std::vector<TCameraMode> FromCaps(const GstCaps* caps);
// The same from caps in their text form ("video/x-raw, format=YUY2, ..."); none when unparsable.
std::vector<TCameraMode> FromCaps(const QByteArray& capsText);

// The caps that make a source deliver the mode; a DV system stream is taken as it comes.
QByteArray SourceCaps(const TCameraMode& mode);

// The mode a camera starts in: the first 640x480 one, as most drivers do, else the first.
int DefaultMode(const std::vector<TCameraMode>& modes);

// What the test cameras offer.
QByteArray TestCameraCaps();
QByteArray TestDVCameraCaps();

} // namespace GstCameraModes
