#pragma once

// A listed device or encoder; binding makes a new filter for it each time.

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstFilter.h"

class TGstMoniker : public IMoniker
{
public:
    // A capture device.
    TGstMoniker(const QString& name, TGstFilterKind kind, GstDevice* device);
    // One of the test camera's sources.
    TGstMoniker(const QString& name, TGstTestSource test);
    TGstMoniker(const QString& name, TGstFilterKind kind, GstElementFactory* factory);

    HRESULT ReadFriendlyName(QString& name) override;
    HRESULT BindToFilter(FilterPtr& filter) override;
    // The settings each filter made from this device starts from and changes.
    void SetSettings(std::shared_ptr<TGstElementSettings> settings)
    {
        settings_ = std::move(settings);
    }

private:
    HRESULT Bind(FilterPtr& filter);

    QString name_;
    TGstFilterKind kind_;
    TGstObjectPtr<GstDevice> device_;
    TGstObjectPtr<GstElementFactory> factory_;
    TGstTestSource test_ = TGstTestSource::None;
    std::shared_ptr<TGstElementSettings> settings_;
};
