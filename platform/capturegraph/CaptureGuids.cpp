#include "platform/capturegraph/CaptureGuids.h"

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

namespace CaptureGuids {

TGuid FromFourCC(const char fourcc[4])
{
    const quint32 code = quint32(quint8(fourcc[0])) | quint32(quint8(fourcc[1])) << 8 |
                         quint32(quint8(fourcc[2])) << 16 | quint32(quint8(fourcc[3])) << 24;
    return Make(code, 0x0000, 0x0010, FourCCTail);
}

const TGuid MEDIATYPE_Video = FromFourCC("vids");
const TGuid MEDIATYPE_Audio = FromFourCC("auds");
const TGuid MEDIATYPE_Interleaved = FromFourCC("iavs");

const TGuid MEDIASUBTYPE_RGB1 = Make(0xE436EB78, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB4 = Make(0xE436EB79, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB8 = Make(0xE436EB7A, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB565 = Make(0xE436EB7B, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB555 = Make(0xE436EB7C, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB24 = Make(0xE436EB7D, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_RGB32 = Make(0xE436EB7E, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_YUY2 = FromFourCC("YUY2");
const TGuid MEDIASUBTYPE_Avi = Make(0xE436EB88, 0x524F, 0x11CE, RgbTail);
const TGuid MEDIASUBTYPE_PCM = Make(0x00000001, 0x0000, 0x0010, FourCCTail);
const TGuid MEDIASUBTYPE_dvsd = FromFourCC("dvsd");

const TGuid FORMAT_VideoInfo =
    Make(0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A});
const TGuid FORMAT_VideoInfo2 =
    Make(0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA});
const TGuid FORMAT_WaveFormatEx =
    Make(0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A});

} // namespace CaptureGuids
