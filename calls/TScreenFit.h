#pragma once

#include <QByteArray>
#include <QImage>

#include <array>

class TJpegEncoder;

// The size and quality screen frames are sent at. A screen is mostly text, which a camera's
// quality fallback would blur past reading; so the picture is made smaller instead, keeping
// the quality where text stays readable: the largest of the usual widths whose JPEG fits one
// datagram at quality 60 or more, found from the sizes the frames actually come out at.
class TScreenFit
{
public:
    static constexpr std::array<int, 4> Widths{1920, 1600, 1280, 960};
    static constexpr int GoodQuality = 75;
    static constexpr int ReadableQuality = 60;
    // When even the smallest width does not fit at a readable quality, the quality goes on
    // down to this rather than sending nothing.
    static constexpr int LastResortQuality = 25;

    // The JPEG picture of the screen frame for a datagram of at most limit bytes; empty when
    // nothing fits (the frame is then not sent).
    QByteArray Encode(const QImage& screen, TJpegEncoder& encoder, qsizetype limit);

    // What the last frame was sent at.
    QSize Size() const { return size_; }
    int Quality() const { return quality_; }

private:
    QByteArray EncodeAt(const QImage& screen, int width, int quality, TJpegEncoder& encoder);

    int widthIndex_ = 0;        // into the widths the screen is at least as wide as
    int quality_ = GoodQuality; // at the current width
    int roomyFrames_ = 0;       // frames in a row that left much of the datagram unused
    int roomyNeeded_ = 15;      // ... before the next width up is tried
    int framesSinceGrowing_ = 1000;
    QSize size_;
};
