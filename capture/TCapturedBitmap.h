#pragma once

#include "capture/TPixelFormat.h"
#include "platform/capturegraph/TMediaType.h"

#include <QImage>

// A grabbed camera frame, as the capture component hands it to its OnBitmapGrabbed handlers.
class TCapturedBitmap : public QImage
{
public:
    TCapturedBitmap() = default;

    // The format the bitmap was made with (pf24bit for 24 and 32-bit frames, pf15bit for 16
    // bits and below, pfDevice when the depth is unusual).
    TPixelFormat PixelFormat = TPixelFormat::pfDevice;

    // Makes the bitmap for a frame of this header and draws the raw sample into it, as the
    // classic device-independent bitmap: rows padded to four bytes, bottom-up for a positive
    // height, top-down for a negative one. Returns the scan lines drawn: 0 for a compressed
    // frame, an unsupported depth, or a buffer shorter than the header says (which is never
    // read past its end).
    int Draw(const TBitmapInfoHeader& header, const QByteArray& buffer);
};
