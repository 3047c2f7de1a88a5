#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <optional>

// Decodes JPEG images that come from anyone on the network. Nothing in the data can make it
// crash, hang or allocate without bound: the declared size, the picture's area, the number of
// scans and the library's working memory are capped, the library's warnings count as errors,
// and an error never leaves the decoding function by any other way than its return value.
class TJpegDecoder
{
public:
    static constexpr int MaxSide = 4096;
    static constexpr qint64 MaxPixels = 3840 * 2160;
    static constexpr int MaxScans = 64;
    // Enough for the coefficients of a progressive 3840 x 2160 picture without subsampling.
    static constexpr long MaxMemory = 64L * 1024 * 1024;

    struct TLimits
    {
        int maxSide = MaxSide;
        qint64 maxPixels = MaxPixels;
        int maxScans = MaxScans;
        long maxMemory = MaxMemory;
    };

    // The decoded image, or nothing when the data is not a sound JPEG image within the caps.
    static std::optional<QImage> Decode(const QByteArray& data);
    // The same within other caps.
    static std::optional<QImage> Decode(const QByteArray& data, const TLimits& limits);
    // Decoded at the smallest of 1/8, 1/4, 1/2 and full size that is still at least atLeast in
    // both directions (or fits it, for a smaller picture): the library skips the work of the
    // detail it leaves out, so a preview of a large picture costs a fraction of a full decoding.
    static std::optional<QImage> DecodeScaled(const QByteArray& data, QSize atLeast);
    // The picture's size as its header states it, without decoding it.
    static std::optional<QSize> Size(const QByteArray& data);
};
