#include "platform/capturegraph/fake/TFakeCompressDialogs.h"

#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeCompressDialogs::GetState(QByteArray& state)
{
    const HRESULT hr = journal_.Call("GetState", {device_->Name});
    if (Hr::Succeeded(hr))
        state = device_->CompressState;
    return hr;
}

HRESULT TFakeCompressDialogs::SetState(const QByteArray& state)
{
    const HRESULT hr = journal_.Call("SetState", {device_->Name});
    if (Hr::Succeeded(hr))
        device_->CompressState = state;
    return hr;
}
