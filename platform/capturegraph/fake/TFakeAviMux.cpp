#include "platform/capturegraph/fake/TFakeAviMux.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeAviMux::SetOutputCompatibilityIndex(bool compatible)
{
    const HRESULT hr = journal_.Call("SetOutputCompatibilityIndex");
    if (Hr::Succeeded(hr))
        Compatible = compatible;
    return hr;
}

HRESULT TFakeAviMux::SetMasterStream(int stream)
{
    const HRESULT hr = journal_.Call("SetMasterStream", {QString::number(stream)});
    if (Hr::Succeeded(hr))
        MasterStream = stream;
    return hr;
}
