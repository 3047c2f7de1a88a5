#include "platform/capturegraph/gst/TGstDVDecoderControl.h"

namespace {

struct TSize
{
    int width;
    int height;
};

// The sizes a DV decoder gives a PAL picture at each display value.
constexpr TSize kSizes[] = {{720, 576}, {360, 288}, {180, 144}, {88, 72}};

TSize SizeOf(int display)
{
    return kSizes[display - TGstDVDecoderControl::kFull];
}

} // namespace

HRESULT TGstDVDecoderControl::get_IPDisplay(int& display)
{
    display = display_;
    return Hr::S_OK;
}

HRESULT TGstDVDecoderControl::put_IPDisplay(int display)
{
    if (display < kFull || display > kDC)
        return Hr::E_INVALIDARG;
    display_ = display;
    return Hr::S_OK;
}

int TGstDVDecoderControl::Width() const
{
    return SizeOf(display_).width;
}

int TGstDVDecoderControl::Height() const
{
    return SizeOf(display_).height;
}
