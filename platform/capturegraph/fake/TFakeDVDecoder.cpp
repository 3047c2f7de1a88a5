#include "platform/capturegraph/fake/TFakeDVDecoder.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeDVDecoder::get_IPDisplay(int& display)
{
    const HRESULT hr = journal_.Lookup("get_IPDisplay");
    display = Hr::Succeeded(hr) ? Display : 0;
    return hr;
}

HRESULT TFakeDVDecoder::put_IPDisplay(int display)
{
    const HRESULT hr = journal_.Call("put_IPDisplay", {QString::number(display)});
    if (Hr::Succeeded(hr))
        Display = display;
    return hr;
}
