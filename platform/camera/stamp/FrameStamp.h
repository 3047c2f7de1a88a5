#pragma once

#include <QImage>

#include <optional>

// A frame number drawn into a picture as a row of black and white 8 x 8 blocks along its bottom
// left edge, so that it comes through JPEG compression and can be read where the picture is
// shown: the test camera stamps every frame, and the time from making a frame to showing it
// can be measured from the outside. The blocks sit on the 8-pixel grid the JPEG blocks use.
namespace FrameStamp {

constexpr int Block = 8;
constexpr int Bits = 20; // frame numbers wrap after about 9 hours at 30 fps
// A white and a black block first (a picture without them carries no stamp), the number's
// bits from the highest, and one block that makes the count of white number blocks even.
constexpr int Blocks = 2 + Bits + 1;
constexpr quint32 Wrap = 1u << Bits;

// Where block i of a picture of that size lies; an empty rectangle when the picture is too
// small to carry a stamp.
QRect BlockRect(QSize picture, int i);
// Whether block i is white for this frame number.
bool IsWhite(quint32 number, int i);
// The number stamped into the picture, or nothing when it carries none.
std::optional<quint32> Read(const QImage& picture);

} // namespace FrameStamp
