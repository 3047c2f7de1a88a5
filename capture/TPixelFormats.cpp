#include "capture/TPixelFormats.h"

#include "platform/capturegraph/CaptureGuids.h"

std::optional<TGuid> TPixelFormats::RequestedSubtype(TPixelFormat format)
{
    using namespace CaptureGuids;
    switch (format) {
    case TPixelFormat::pfDevice:
        return std::nullopt;
    case TPixelFormat::pf1bit:
        return MEDIASUBTYPE_RGB1;
    case TPixelFormat::pf4bit:
        return MEDIASUBTYPE_RGB4;
    case TPixelFormat::pf8bit:
        return MEDIASUBTYPE_RGB8;
    case TPixelFormat::pf15bit:
        return MEDIASUBTYPE_RGB555;
    case TPixelFormat::pf16bit:
        return MEDIASUBTYPE_RGB565;
    case TPixelFormat::pf24bit:
    case TPixelFormat::pfCustom:
        return MEDIASUBTYPE_RGB24;
    case TPixelFormat::pf32bit:
        return MEDIASUBTYPE_RGB32;
    }
    return MEDIASUBTYPE_RGB24;
}

std::optional<TPixelFormat> TPixelFormats::BitmapFormat(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 15:
    case 16:
        return TPixelFormat::pf15bit;
    case 24:
    case 32:
        return TPixelFormat::pf24bit;
    default:
        return std::nullopt;
    }
}
