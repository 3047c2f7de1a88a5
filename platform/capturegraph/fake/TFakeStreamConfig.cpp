#include "platform/capturegraph/fake/TFakeStreamConfig.h"

#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeJournal.h"

TFakeStreamConfig::TFakeStreamConfig(TFakeJournal& journal, std::shared_ptr<TFakeDevice> device)
    : journal_(journal), device_(std::move(device))
{}

QStringList TFakeStreamConfig::Keys() const
{
    return {device_->Name};
}

HRESULT TFakeStreamConfig::GetFormat(TMediaType& type)
{
    // Lookups only: the component reads the format often (IsDV) and the journal stays readable.
    const HRESULT hr = journal_.Lookup("GetFormat", Keys());
    if (Hr::Succeeded(hr))
        type = device_->CurrentFormat();
    return hr;
}

HRESULT TFakeStreamConfig::SetFormat(const TMediaType& type)
{
    const HRESULT hr = journal_.Call("SetFormat", Keys());
    if (Hr::Succeeded(hr))
        device_->Current = type;
    return hr;
}

HRESULT TFakeStreamConfig::GetNumberOfCapabilities(int& count)
{
    const HRESULT hr = journal_.Lookup("GetNumberOfCapabilities", Keys());
    count = Hr::Succeeded(hr) ? int(device_->Modes.size()) : 0;
    return hr;
}

HRESULT TFakeStreamConfig::GetStreamCaps(int index, TMediaType& type, TVideoStreamConfigCaps& caps)
{
    if (index < 0 || index >= int(device_->Modes.size()))
        return Hr::E_INVALIDARG;
    const HRESULT hr = journal_.Lookup("GetStreamCaps", Keys());
    if (Hr::Succeeded(hr)) {
        type = device_->Modes[size_t(index)].Type;
        caps = device_->Modes[size_t(index)].Caps;
    }
    return hr;
}
