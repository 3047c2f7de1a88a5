#include "platform/camera/stamp/FrameStamp.h"

#include <bit>

QRect FrameStamp::BlockRect(QSize picture, int i)
{
    const int bottom = picture.height() / Block * Block - Block;
    if (bottom < Block || (Blocks + 1) * Block > picture.width() || i < 0 || i >= Blocks)
        return {};
    return QRect(Block * (1 + i), bottom, Block, Block);
}

bool FrameStamp::IsWhite(quint32 number, int i)
{
    number %= Wrap;
    if (i == 0)
        return true;
    if (i == 1)
        return false;
    if (i < 2 + Bits)
        return (number >> (Bits - 1 - (i - 2))) & 1u;
    return std::popcount(number) % 2 == 1;
}

std::optional<quint32> FrameStamp::Read(const QImage& picture)
{
    if (BlockRect(picture.size(), 0).isEmpty())
        return std::nullopt;
    const auto white = [&](int i) -> std::optional<bool> {
        const QRect r = BlockRect(picture.size(), i);
        // The middle of the block: compression smears its edges into the neighbours.
        int sum = 0;
        for (int y = r.top() + 2; y < r.bottom() - 1; ++y)
            for (int x = r.left() + 2; x < r.right() - 1; ++x)
                sum += qGray(picture.pixel(x, y));
        const int level = sum / 16;
        if (level > 170)
            return true;
        if (level < 85)
            return false;
        return std::nullopt; // neither: no stamp here
    };
    if (white(0) != true || white(1) != false)
        return std::nullopt;
    quint32 number = 0;
    for (int i = 2; i < 2 + Bits; ++i) {
        const std::optional<bool> bit = white(i);
        if (!bit)
            return std::nullopt;
        number = number << 1 | (*bit ? 1u : 0u);
    }
    if (white(Blocks - 1) != IsWhite(number, Blocks - 1))
        return std::nullopt;
    return number;
}
