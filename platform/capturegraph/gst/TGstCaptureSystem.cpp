#include "platform/capturegraph/gst/TGstCaptureSystem.h"

#include "platform/capturegraph/gst/TGstElementSettings.h"

#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstCaptureGraphBuilder.h"
#include "platform/capturegraph/gst/TGstDeviceWatch.h"
#include "platform/capturegraph/gst/TGstFilter.h"
#include "platform/capturegraph/gst/TGstFilterGraph.h"
#include "platform/capturegraph/gst/TGstMoniker.h"

#include <QStringList>

#include <algorithm>

const char* const TGstCaptureSystem::TestCameraName = "Test Pattern";
const char* const TGstCaptureSystem::TestDVCameraName = "Test Pattern DV";

namespace {

bool HaveFactories(std::initializer_list<const char*> names)
{
    return std::all_of(names.begin(), names.end(), [](const char* name) {
        TGstObjectPtr<GstElementFactory> factory(gst_element_factory_find(name));
        return factory != nullptr;
    });
}

// Reading DV needs the demultiplexer and the decoder of the good plugins.
bool CanReadDV()
{
    return HaveFactories({"dvdemux", "dvdec"});
}

void ListDevices(const char* klass, TGstFilterKind kind, std::vector<MonikerPtr>& out)
{
    TGstObjectPtr<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), klass, nullptr);
    GList* list = gst_device_monitor_get_devices(monitor.get());
    for (GList* l = list; l; l = l->next) {
        auto* device = static_cast<GstDevice*>(l->data);
        gchar* name = gst_device_get_display_name(device);
        out.push_back(std::make_shared<TGstMoniker>(QString::fromUtf8(name), kind, device));
        g_free(name);
    }
    g_list_free_full(list, gst_object_unref);
}

// Whether an element class ("Codec/Encoder/Video", "Encoder/Video", ...) names an encoder of
// the medium and not of still images.
bool EncodesMedium(const gchar* klass, const QString& medium)
{
    const QStringList parts = QString::fromUtf8(klass).split(QLatin1Char('/'));
    return parts.contains(QStringLiteral("Encoder")) && parts.contains(medium) &&
           !parts.contains(QStringLiteral("Image"));
}

void ListEncoders(const QString& medium, TGstFilterKind kind, std::vector<MonikerPtr>& out)
{
    GList* list =
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_ENCODER, GST_RANK_NONE);
    // A stable order keeps display-name suffixes the same from run to run.
    list = g_list_sort(list, [](gconstpointer a, gconstpointer b) {
        return g_strcmp0(GST_OBJECT_NAME(a), GST_OBJECT_NAME(b));
    });
    for (GList* l = list; l; l = l->next) {
        auto* factory = static_cast<GstElementFactory*>(l->data);
        const gchar* k = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
        if (!k || !EncodesMedium(k, medium))
            continue;
        const gchar* name =
            gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME);
        out.push_back(std::make_shared<TGstMoniker>(QString::fromUtf8(name), kind, factory));
    }
    gst_plugin_feature_list_free(list);
}

} // namespace

TGstCaptureSystem::TGstCaptureSystem(bool testCamera)
    : testCamera_(testCamera), initialized_(gst_init_check(nullptr, nullptr, nullptr))
{}

TGstCaptureSystem::~TGstCaptureSystem() = default;

void TGstCaptureSystem::SetDevicesChanged(std::function<void()> changed)
{
    if (!initialized_)
        return;
    // Started on the first handler only: a system nobody listens to watches nothing.
    if (!watch_ && changed)
        watch_ = std::make_unique<TGstDeviceWatch>();
    if (watch_)
        watch_->SetHandler(std::move(changed));
}

bool TGstCaptureSystem::WatchingDevices() const
{
    return watch_ && watch_->Running();
}

HRESULT TGstCaptureSystem::EnumerateDevices(TDeviceCategory category,
                                            std::vector<MonikerPtr>& devices)
{
    devices.clear();
    if (!initialized_)
        return Hr::E_FAIL;
    switch (category) {
    case TDeviceCategory::VideoInput:
        ListDevices("Video/Source", TGstFilterKind::VideoSource, devices);
        if (testCamera_) {
            devices.push_back(std::make_shared<TGstMoniker>(QString::fromLatin1(TestCameraName),
                                                            TGstTestSource::Pattern));
            // Making DV takes libav's encoder and muxer, which not every machine has.
            if (CanReadDV() && HaveFactories({"avenc_dvvideo", "avmux_dv"}))
                devices.push_back(std::make_shared<TGstMoniker>(
                    QString::fromLatin1(TestDVCameraName), TGstTestSource::DVPattern));
        }
        break;
    case TDeviceCategory::AudioInput:
        ListDevices("Audio/Source", TGstFilterKind::AudioSource, devices);
        break;
    case TDeviceCategory::VideoCompressor:
        ListEncoders(QStringLiteral("Video"), TGstFilterKind::VideoEncoder, devices);
        break;
    case TDeviceCategory::AudioCompressor:
        ListEncoders(QStringLiteral("Audio"), TGstFilterKind::AudioEncoder, devices);
        break;
    }
    for (const MonikerPtr& device : devices) {
        auto ours = std::dynamic_pointer_cast<TGstMoniker>(device);
        QString name;
        if (!ours || Hr::Failed(ours->ReadFriendlyName(name)))
            continue;
        auto& kept = settings_[{int(category), name}];
        if (!kept)
            kept = std::make_shared<TGstElementSettings>();
        ours->SetSettings(kept);
    }
    return devices.empty() ? Hr::S_FALSE : Hr::S_OK;
}

HRESULT TGstCaptureSystem::CreateFilterGraph(GraphPtr& graph)
{
    if (!initialized_)
        return Hr::E_FAIL;
    graph = std::make_shared<TGstFilterGraph>();
    return Hr::S_OK;
}

HRESULT TGstCaptureSystem::CreateCaptureGraphBuilder(BuilderPtr& builder)
{
    if (!initialized_)
        return Hr::E_FAIL;
    builder = std::make_shared<TGstCaptureGraphBuilder>();
    return Hr::S_OK;
}

HRESULT TGstCaptureSystem::CreateFilter(TFilterClass filterClass, FilterPtr& filter)
{
    filter.reset();
    switch (filterClass) {
    case TFilterClass::SmartTee:
    case TFilterClass::InfTee:
        filter = TGstFilter::Create(TGstFilterKind::Tee);
        return Hr::S_OK;
    case TFilterClass::SampleGrabber:
        filter = TGstFilter::Create(TGstFilterKind::SampleGrabber);
        return Hr::S_OK;
    case TFilterClass::DVVideoCodec:
    case TFilterClass::DVSplitter:
        if (!CanReadDV())
            return GstHr::REGDB_E_CLASSNOTREG;
        filter =
            TGstFilter::Create(filterClass == TFilterClass::DVSplitter ? TGstFilterKind::DVSplitter
                                                                       : TGstFilterKind::DVDecoder);
        return Hr::S_OK;
    }
    return Hr::E_INVALIDARG;
}
