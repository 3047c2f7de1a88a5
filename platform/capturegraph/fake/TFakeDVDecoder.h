#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;

// The DV decoder's output size setting; starts at full size (1000).
class TFakeDVDecoder : public IIPDVDec
{
public:
    explicit TFakeDVDecoder(TFakeJournal& journal) : journal_(journal) {}

    HRESULT get_IPDisplay(int& display) override;
    HRESULT put_IPDisplay(int display) override;

    int Display = 1000;

private:
    TFakeJournal& journal_;
};
