#pragma once

// The DV decoder's output size, chosen by its display value (1000 full, 1001 half,
// 1002 quarter, 1003 the DC image); applied when the pipeline is next built.

#include "platform/capturegraph/CaptureInterfaces.h"

#include <atomic>

class TGstDVDecoderControl : public IIPDVDec
{
public:
    static constexpr int kFull = 1000;
    static constexpr int kDC = 1003;

    HRESULT get_IPDisplay(int& display) override;
    HRESULT put_IPDisplay(int display) override;

    // The decoded picture's size for the current display value.
    int Width() const;
    int Height() const;

private:
    std::atomic<int> display_{kFull};
};
