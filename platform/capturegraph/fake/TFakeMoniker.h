#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeDevice;

// The system's handle for a fake device; binding makes a new filter each time.
class TFakeMoniker : public IMoniker
{
public:
    TFakeMoniker(TFakeJournal& journal, std::shared_ptr<TFakeDevice> device)
        : journal_(journal), device_(std::move(device))
    {}

    HRESULT ReadFriendlyName(QString& name) override;
    HRESULT BindToFilter(FilterPtr& filter) override;

    const std::shared_ptr<TFakeDevice>& Device() const { return device_; }

private:
    TFakeJournal& journal_;
    std::shared_ptr<TFakeDevice> device_;
};
