#include "platform/capturegraph/gst/TGstFilter.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCapsFormats.h"
#include "platform/capturegraph/gst/TGstDVDecoderControl.h"
#include "platform/capturegraph/gst/TGstElementSettings.h"
#include "platform/capturegraph/gst/TGstMuxControl.h"
#include "platform/capturegraph/gst/TGstPin.h"
#include "platform/capturegraph/gst/TGstPropertyPage.h"
#include "platform/capturegraph/gst/TGstSampleGrabber.h"
#include "platform/capturegraph/gst/TGstStreamConfig.h"
#include "platform/capturegraph/v4l2/TV4l2ControlPage.h"
#include "platform/capturegraph/v4l2/TV4l2Device.h"
#include "platform/capturegraph/v4l2/TV4l2TunerPage.h"

TGstFilter::TGstFilter(TGstFilterKind kind)
    : kind_(kind), settings_(std::make_shared<TGstElementSettings>())
{}

namespace {
// The device node behind a camera the device monitor listed; empty when it has none.
QString DevicePath(GstDevice* device)
{
    GstStructure* props = device ? gst_device_get_properties(device) : nullptr;
    if (!props)
        return {};
    QString path;
    for (const char* key : {"api.v4l2.path", "device.path"})
        if (const gchar* value = gst_structure_get_string(props, key); value && path.isEmpty())
            path = QString::fromUtf8(value);
    gst_structure_free(props);
    return path;
}
} // namespace

std::vector<PropertyPagePtr> TGstFilter::TunerPages()
{
    const QString path =
        kind_ == TGstFilterKind::VideoSource ? DevicePath(device_.get()) : QString();
    std::shared_ptr<IV4l2Device> v4l2 = path.isEmpty() ? nullptr : TV4l2Device::Open(path);
    if (!v4l2 || !TV4l2TunerPage::HasTuner(*v4l2))
        return {};
    return {std::make_shared<TV4l2TunerPage>(std::move(v4l2))};
}

std::vector<PropertyPagePtr> TGstFilter::PropertyPages()
{
    if (kind_ == TGstFilterKind::VideoSource && device_) {
        // A camera's own controls, asked of its driver; they change the running camera.
        const QString path = DevicePath(device_.get());
        std::shared_ptr<IV4l2Device> v4l2 = path.isEmpty() ? nullptr : TV4l2Device::Open(path);
        if (!v4l2)
            return {};
        auto controls = std::make_shared<TV4l2ControlPage>(std::move(v4l2));
        if (controls->Controls().empty())
            return {};
        return {controls};
    }
    std::shared_ptr<TGstPropertyPage> page;
    switch (kind_) {
    case TGstFilterKind::VideoSource:
        if (test_ == TGstTestSource::Pattern) {
            // The test camera's picture goes through a balance stage, as a camera's controls.
            TGstObjectPtr<GstElementFactory> balance(gst_element_factory_find("videobalance"));
            page = TGstPropertyPage::ForFactory(
                QStringLiteral("Video Capture Filter"), balance.get(), settings_,
                {QStringLiteral("brightness"), QStringLiteral("contrast"),
                 QStringLiteral("saturation"), QStringLiteral("hue")});
        }
        break;
    case TGstFilterKind::AudioSource:
        if (device_) {
            // The element type is known once one is made.
            if (GstElement* probe = gst_device_create_element(device_.get(), nullptr)) {
                gst_object_ref_sink(probe);
                page = std::make_shared<TGstPropertyPage>(
                    QStringLiteral("Audio Capture Filter"), G_OBJECT_TYPE(probe), settings_,
                    QStringList{QStringLiteral("volume"), QStringLiteral("mute")});
                gst_object_unref(probe);
            }
        }
        break;
    case TGstFilterKind::VideoEncoder:
    case TGstFilterKind::AudioEncoder:
        page = TGstPropertyPage::ForFactory(kind_ == TGstFilterKind::VideoEncoder
                                                ? QStringLiteral("Video Compressor")
                                                : QStringLiteral("Audio Compressor"),
                                            factory_.get(), settings_);
        break;
    default:
        break;
    }
    if (!page || page->Controls().empty())
        return {};
    return {page};
}

TGstFilter::~TGstFilter() = default;

std::shared_ptr<TGstFilter> TGstFilter::Create(TGstFilterKind kind)
{
    std::shared_ptr<TGstFilter> f(new TGstFilter(kind));
    switch (kind) {
    case TGstFilterKind::VideoSource:
    case TGstFilterKind::AudioSource:
        f->AddPin(TPinDirection::Output, false);
        break;
    case TGstFilterKind::Tee:
        f->AddPin(TPinDirection::Input, false);
        break;
    case TGstFilterKind::SampleGrabber:
        f->grabber_ = std::make_shared<TGstSampleGrabber>();
        f->AddPin(TPinDirection::Input, false);
        f->AddPin(TPinDirection::Output, false);
        break;
    case TGstFilterKind::VideoRenderer:
    case TGstFilterKind::AudioRenderer:
        f->AddPin(TPinDirection::Input, false);
        break;
    case TGstFilterKind::VideoEncoder:
    case TGstFilterKind::AudioEncoder:
        f->AddPin(TPinDirection::Input, false);
        f->AddPin(TPinDirection::Output, false);
        break;
    case TGstFilterKind::AviMux:
        f->mux_ = std::make_shared<TGstMuxControl>();
        break;
    case TGstFilterKind::DVSplitter:
        f->AddPin(TPinDirection::Input, false);
        f->AddPin(TPinDirection::Output, false); // DV video
        f->AddPin(TPinDirection::Output, false); // audio
        break;
    case TGstFilterKind::DVDecoder:
        f->dv_ = std::make_shared<TGstDVDecoderControl>();
        f->AddPin(TPinDirection::Input, false);
        f->AddPin(TPinDirection::Output, false);
        break;
    }
    return f;
}

std::shared_ptr<TGstFilter> TGstFilter::CreateSource(TGstFilterKind kind, GstDevice* device,
                                                     const GstCaps* caps, TGstTestSource test)
{
    auto f = Create(kind);
    f->device_ = GstRefObject(device);
    f->test_ = test;
    f->config_ = std::make_shared<TGstStreamConfig>(kind == TGstFilterKind::VideoSource
                                                        ? GstCapsFormats::VideoModes(caps)
                                                        : GstCapsFormats::AudioModes(caps));
    return f;
}

std::shared_ptr<TGstFilter> TGstFilter::CreateEncoder(TGstFilterKind kind,
                                                      GstElementFactory* factory)
{
    auto f = Create(kind);
    f->factory_ = GstRefObject(factory);
    return f;
}

void TGstFilter::AddPin(TPinDirection direction, bool streamControl)
{
    auto pin = std::make_shared<TGstPin>(shared_from_this(), direction, streamControl);
    (direction == TPinDirection::Input ? inputs_ : outputs_).push_back(pin);
}

std::vector<PinPtr> TGstFilter::Pins()
{
    std::vector<PinPtr> pins(inputs_.begin(), inputs_.end());
    pins.insert(pins.end(), outputs_.begin(), outputs_.end());
    return pins;
}

std::shared_ptr<ISampleGrabber> TGstFilter::SampleGrabber()
{
    return grabber_;
}

std::shared_ptr<IIPDVDec> TGstFilter::DVDecoder()
{
    return dv_;
}

std::shared_ptr<IConfigAviMux> TGstFilter::ConfigAviMux()
{
    return mux_;
}

TGuid TGstFilter::OutputMajor() const
{
    return OutputMajor(0);
}

TGuid TGstFilter::OutputMajor(size_t output) const
{
    switch (kind_) {
    case TGstFilterKind::VideoSource: {
        // A DV camera sends one interleaved stream of picture and sound.
        TMediaType current;
        if (config_ && Hr::Succeeded(config_->GetFormat(current)) &&
            current.majortype == CaptureGuids::MEDIATYPE_Interleaved)
            return CaptureGuids::MEDIATYPE_Interleaved;
        return CaptureGuids::MEDIATYPE_Video;
    }
    case TGstFilterKind::DVSplitter:
        return output == 0 ? CaptureGuids::MEDIATYPE_Video : CaptureGuids::MEDIATYPE_Audio;
    case TGstFilterKind::VideoEncoder:
    case TGstFilterKind::SampleGrabber:
    case TGstFilterKind::DVDecoder:
        return CaptureGuids::MEDIATYPE_Video;
    case TGstFilterKind::AudioSource:
    case TGstFilterKind::AudioEncoder:
        return CaptureGuids::MEDIATYPE_Audio;
    case TGstFilterKind::Tee:
        return inputs_.front()->IsConnected() ? inputs_.front()->Major() : TGuid{};
    default:
        return {};
    }
}

std::shared_ptr<TGstPin> TGstFilter::FreeInput()
{
    for (const auto& pin : inputs_)
        if (!pin->IsConnected())
            return pin;
    if (kind_ != TGstFilterKind::AviMux)
        return nullptr;
    // Every multiplexer input can be held back on its own while previewing.
    AddPin(TPinDirection::Input, true);
    return inputs_.back();
}

std::shared_ptr<TGstPin> TGstFilter::FreeOutput()
{
    for (const auto& pin : outputs_)
        if (!pin->IsConnected())
            return pin;
    if (kind_ != TGstFilterKind::Tee)
        return nullptr;
    AddPin(TPinDirection::Output, true);
    return outputs_.back();
}

std::shared_ptr<TGstPin> TGstFilter::FreeOutputFor(const TGuid& major)
{
    if (kind_ != TGstFilterKind::DVSplitter)
        return OutputMajor() == major ? FreeOutput() : nullptr;
    for (size_t i = 0; i < outputs_.size(); ++i)
        if (OutputMajor(i) == major && !outputs_[i]->IsConnected())
            return outputs_[i];
    return nullptr;
}

int TGstFilter::IndexOf(const TGstPin* pin) const
{
    for (const auto* list : {&inputs_, &outputs_})
        for (size_t i = 0; i < list->size(); ++i)
            if ((*list)[i].get() == pin)
                return int(i);
    return -1;
}

void TGstFilter::SetRunning(bool running)
{
    running_ = running;
    if (config_)
        config_->SetRunning(running);
    if (!running) {
        for (const auto& pin : inputs_)
            pin->AttachValve(nullptr);
        for (const auto& pin : outputs_)
            pin->AttachValve(nullptr);
    }
}
