#include "platform/capturegraph/fake/TFakeFilter.h"

#include "platform/capturegraph/fake/TFakeAviMux.h"
#include "platform/capturegraph/fake/TFakeDVDecoder.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakePin.h"
#include "platform/capturegraph/fake/TFakeSampleGrabber.h"

TFakeFilter::TFakeFilter(TFakeJournal& journal, QString kind, QString label,
                         std::shared_ptr<TFakeDevice> device)
    : journal_(journal), kind_(std::move(kind)), label_(std::move(label)),
      device_(std::move(device))
{
    if (kind_ == "SampleGrabber")
        grabber_ = std::make_shared<TFakeSampleGrabber>(journal_);
    else if (kind_ == "DVVideoCodec")
        decoder_ = std::make_shared<TFakeDVDecoder>(journal_);
    else if (kind_ == "AviMux")
        mux_ = std::make_shared<TFakeAviMux>(journal_);
}

TFakeFilter::~TFakeFilter() = default;

std::vector<PinPtr> TFakeFilter::Pins()
{
    return {pins_.begin(), pins_.end()};
}

std::shared_ptr<ISampleGrabber> TFakeFilter::SampleGrabber()
{
    return grabber_;
}

std::shared_ptr<IIPDVDec> TFakeFilter::DVDecoder()
{
    return decoder_;
}

std::shared_ptr<IConfigAviMux> TFakeFilter::ConfigAviMux()
{
    return mux_;
}

bool TFakeFilter::HasPropertyPages()
{
    return device_ && device_->PropertyPages;
}

std::shared_ptr<TFakePin> TFakeFilter::FreePin(TPinDirection direction)
{
    for (const auto& pin : pins_)
        if (pin->Direction() == direction && !pin->Peer())
            return pin;
    pins_.push_back(std::make_shared<TFakePin>(journal_, this, direction));
    return pins_.back();
}
