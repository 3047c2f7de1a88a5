#pragma once

#include <QByteArray>
#include <QImage>

// One frame as a camera hands it out.
struct TCameraFrame
{
    // What to show. For a frame that comes with its JPEG picture this is a reduced-scale
    // decoding of it, enough for the preview.
    QImage picture;
    // The camera's own JPEG picture of the frame, when it sends JPEG (MJPEG modes): it can go
    // to the peer as it came. Empty for frames delivered as pixels.
    QByteArray jpeg;
    // The frame is the screen, not a camera: text on it needs a sharper picture than a face.
    bool screen = false;

    bool isNull() const { return picture.isNull(); }
};
