#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

// Decodes JPEG images that come from anyone on the network. Nothing in the data can make it
// crash, hang or allocate without bound: the declared size and the number of scans are capped,
// the library's warnings count as errors, and an error never leaves the decoding function by
// any other way than its return value.
class TJpegDecoder
{
public:
    static constexpr int MaxSide = 4096;
    static constexpr int MaxScans = 64;

    // The decoded image, or nothing when the data is not a sound JPEG image within the caps.
    static std::optional<QImage> Decode(const QByteArray& data);
};
