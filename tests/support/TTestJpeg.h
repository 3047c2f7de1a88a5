#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <span>

#include <jpeglib.h>

// JPEG images as other encoders than ours make them, for tests and benchmarks.
namespace TTestJpeg {

// A colour JPEG of the picture (4:2:0) made with the scans given.
QByteArray Encode(const QImage& picture, int quality, std::span<const jpeg_scan_info> scans);

// A progressive colour JPEG of the picture: one DC scan of all components, then one AC scan
// per component, so that a flat picture stays small however large it is.
QByteArray Progressive(const QImage& picture, int quality);

// A picture whose JPEG image stays small: soft gradients, no edges.
QImage Smooth(int width, int height);

} // namespace TTestJpeg
