#pragma once

#include <QByteArray>
#include <QtGlobal>

// One format a camera can deliver: what kind of picture, its size and its frame rate.
struct TCameraMode
{
    QByteArray Media;   // "video/x-raw", "image/jpeg" or "video/x-dv"
    QByteArray Format;  // the raw layout ("BGR", "YUY2", ...); empty for other media
    quint32 FourCC = 0; // the layout's four-character code ("MJPG", "dvsd", ...); 0 for RGB
    int Bits = 0;       // bits per pixel
    int Width = 0;
    int Height = 0;
    int RateNum = 0; // frames per second as a fraction; 0 when the device states none
    int RateDen = 1;
    double MinRate = 0; // the rates this format and size allow; 0 when the device gives none
    double MaxRate = 0;

    double Rate() const { return RateNum > 0 && RateDen > 0 ? double(RateNum) / RateDen : 0; }
    bool IsDV() const { return Media == "video/x-dv"; }
    bool operator==(const TCameraMode&) const = default;
};
