#include "platform/capturegraph/fake/TFakeMoniker.h"

#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeMoniker::ReadFriendlyName(QString& name)
{
    const HRESULT hr = journal_.Lookup("ReadFriendlyName", {device_->Name});
    if (Hr::Succeeded(hr))
        name = device_->Name;
    return hr;
}

HRESULT TFakeMoniker::BindToFilter(FilterPtr& filter)
{
    filter.reset();
    const HRESULT hr = journal_.Call("BindToFilter", {device_->Name});
    if (Hr::Succeeded(hr))
        filter = std::make_shared<TFakeFilter>(
            journal_, TFakeDevice::CategoryName(device_->Category), device_->Name, device_);
    return hr;
}
