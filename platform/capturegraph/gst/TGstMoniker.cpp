#include "platform/capturegraph/gst/TGstMoniker.h"

#include "platform/capturegraph/gst/GstCapsFormats.h"
#include "platform/capturegraph/gst/TGstElementSettings.h"

TGstMoniker::TGstMoniker(const QString& name, TGstFilterKind kind, GstDevice* device)
    : name_(name), kind_(kind), device_(GstRefObject(device))
{}

TGstMoniker::TGstMoniker(const QString& name, TGstTestSource test)
    : name_(name), kind_(TGstFilterKind::VideoSource), test_(test)
{}

TGstMoniker::TGstMoniker(const QString& name, TGstFilterKind kind, GstElementFactory* factory)
    : name_(name), kind_(kind), factory_(GstRefObject(factory))
{}

HRESULT TGstMoniker::ReadFriendlyName(QString& name)
{
    name = name_;
    return Hr::S_OK;
}

HRESULT TGstMoniker::BindToFilter(FilterPtr& filter)
{
    filter.reset();
    const HRESULT hr = Bind(filter);
    // What the user set in the device's dialogs stays with the device, not with one graph.
    if (auto ours = std::dynamic_pointer_cast<TGstFilter>(filter)) {
        if (!settings_)
            settings_ = std::make_shared<TGstElementSettings>();
        ours->SetSettings(settings_);
    }
    return hr;
}

HRESULT TGstMoniker::Bind(FilterPtr& filter)
{
    if (factory_) {
        filter = TGstFilter::CreateEncoder(kind_, factory_.get());
        return Hr::S_OK;
    }
    if (device_) {
        TGstCapsPtr caps(gst_device_get_caps(device_.get()));
        filter = TGstFilter::CreateSource(kind_, device_.get(), caps.get());
        return Hr::S_OK;
    }
    if (test_ == TGstTestSource::None)
        return Hr::E_FAIL;
    const QByteArray text = test_ == TGstTestSource::DVPattern ? GstCapsFormats::TestDVCameraCaps()
                                                               : GstCapsFormats::TestCameraCaps();
    TGstCapsPtr caps(gst_caps_from_string(text.constData()));
    filter = TGstFilter::CreateSource(kind_, nullptr, caps.get(), test_);
    return Hr::S_OK;
}
