#pragma once

#include <QByteArray>
#include <QImage>
#include <memory>

// Compresses frames to baseline colour JFIF with the floating-point DCT. One encoder is made
// once and reused for every frame: the library's state and the output buffer stay allocated.
class TJpegEncoder
{
public:
    TJpegEncoder();
    ~TJpegEncoder();
    TJpegEncoder(const TJpegEncoder&) = delete;
    TJpegEncoder& operator=(const TJpegEncoder&) = delete;

    // Quality 1..100; values outside are held within it.
    void SetQuality(int quality);
    int Quality() const { return quality_; }

    // The compressed image, or an empty array when the frame cannot be compressed.
    QByteArray Compress(const QImage& frame);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    int quality_ = 75;
};
