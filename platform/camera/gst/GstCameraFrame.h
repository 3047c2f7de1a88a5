#pragma once

// Grabbed frames as images: the layouts they are grabbed in, and a sample's picture handed out
// without a copy.

#include "platform/elements/gst/GstRef.h"

#include <QByteArray>
#include <QImage>

namespace GstCameraFrame {

// The raw layout ("BGR", "BGRx", ...) that gives images of this format; empty for a format
// frames are not grabbed in.
QByteArray GrabLayout(QImage::Format format);

// The sample's picture over the sample's own memory, which stays mapped until the image and
// every copy of it are gone. Null for a sample that is not a whole picture in a grab layout.
QImage Wrap(TGstSamplePtr sample);

// The sample's bytes, copied (a compressed picture is small beside its pixels).
QByteArray Bytes(GstSample* sample);

} // namespace GstCameraFrame
