#include "capture/TVCapModes.h"

#include "platform/camera/TCameraMode.h"

namespace {
TGuid Make(quint32 d1, quint16 d2, quint16 d3, std::array<quint8, 8> d4)
{
    TGuid g;
    g.Data1 = d1;
    g.Data2 = d2;
    g.Data3 = d3;
    g.Data4 = d4;
    return g;
}
constexpr std::array<quint8, 8> FourCCTail = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::array<quint8, 8> RgbTail = {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70};
} // namespace

const TGuid TVCapModes::RGB565 = Make(0xE436EB7B, 0x524F, 0x11CE, RgbTail);
const TGuid TVCapModes::RGB555 = Make(0xE436EB7C, 0x524F, 0x11CE, RgbTail);
const TGuid TVCapModes::RGB24 = Make(0xE436EB7D, 0x524F, 0x11CE, RgbTail);
const TGuid TVCapModes::RGB32 = Make(0xE436EB7E, 0x524F, 0x11CE, RgbTail);

TGuid TVCapModes::FromFourCC(quint32 fourcc)
{
    return Make(fourcc, 0x0000, 0x0010, FourCCTail);
}

TGuid TVCapModes::Subtype(const TCameraMode& mode)
{
    if (mode.Format == "BGR" || mode.Format == "RGB")
        return RGB24;
    if (mode.Format == "BGRx" || mode.Format == "BGRA")
        return RGB32;
    if (mode.Format == "RGB16")
        return RGB565;
    if (mode.Format == "RGB15")
        return RGB555;
    return mode.FourCC ? FromFourCC(mode.FourCC) : TGuid();
}

TVCapMode TVCapModes::Record(const TCameraMode& mode)
{
    TVCapMode record;
    record.MediaSubType = Subtype(mode);
    record.MediaType = FromFourCC(mode.IsDV() ? 0x73766169 /* iavs */ : 0x73646976 /* vids */);
    record.Width = mode.Width;
    record.Height = mode.Height;
    record.Bits = mode.Bits;
    record.FrameRate = mode.Rate();
    record.MinFrameRate = mode.MinRate;
    record.MaxFrameRate = mode.MaxRate;
    return record;
}

bool TVCapModes::Match(const TVCapMode& a, const TVCapMode& b)
{
    return a.MediaSubType == b.MediaSubType && a.Height == b.Height && a.Width == b.Width &&
           a.Bits == b.Bits;
}
