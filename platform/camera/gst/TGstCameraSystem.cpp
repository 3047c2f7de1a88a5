#include "platform/camera/gst/TGstCameraSystem.h"

#include "platform/camera/gst/TGstCamera.h"
#include "platform/camera/gst/TGstScreenSource.h"
#include "platform/camera/gst/TTestCameraBalance.h"
#include "platform/elements/gst/GstRef.h"
#include "platform/elements/gst/TGstDeviceWatch.h"

#include <algorithm>

struct TGstCameraSystem::TListed
{
    QString name;
    TGstObjectPtr<GstDevice> device;
    TGstTestCamera test = TGstTestCamera::None;
    bool screen = false;
};

const char* const TGstCameraSystem::TestCameraName = "Test Pattern";
const char* const TGstCameraSystem::TestDVCameraName = "Test Pattern DV";
const char* const TGstCameraSystem::ScreenName = "Screen";

namespace {

bool HaveFactories(std::initializer_list<const char*> names)
{
    return std::all_of(names.begin(), names.end(), [](const char* name) {
        TGstObjectPtr<GstElementFactory> factory(gst_element_factory_find(name));
        return factory != nullptr;
    });
}

} // namespace

TGstCameraSystem::TGstCameraSystem(bool testCamera)
    : testCamera_(testCamera), initialized_(gst_init_check(nullptr, nullptr, nullptr))
{}

TGstCameraSystem::~TGstCameraSystem() = default;

bool TGstCameraSystem::Devices(QStringList& names)
{
    names.clear();
    listed_.clear();
    if (!initialized_)
        return false;
    TGstObjectPtr<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    for (GList* l = devices; l; l = l->next) {
        auto* device = static_cast<GstDevice*>(l->data);
        gchar* name = gst_device_get_display_name(device);
        listed_.push_back({QString::fromUtf8(name), GstRefObject(device)});
        g_free(name);
    }
    g_list_free_full(devices, gst_object_unref);
    if (testCamera_) {
        listed_.push_back({QString::fromLatin1(TestCameraName), nullptr, TGstTestCamera::Pattern});
        // Making DV takes libav's encoder and muxer, which not every machine has.
        if (HaveFactories({"dvdemux", "dvdec", "avenc_dvvideo", "avmux_dv"}))
            listed_.push_back(
                {QString::fromLatin1(TestDVCameraName), nullptr, TGstTestCamera::PatternDV});
    }
    listed_.push_back({QString::fromLatin1(ScreenName), nullptr, TGstTestCamera::None, true});
    for (const TListed& listed : listed_)
        names << listed.name;
    return true;
}

std::unique_ptr<ICamera> TGstCameraSystem::Open(int index)
{
    if (index < 0 || size_t(index) >= listed_.size())
        return nullptr;
    const TListed& listed = listed_[size_t(index)];
    if (listed.screen)
        return std::make_unique<TGstCamera>(makeScreen_ ? makeScreen_()
                                                        : TGstScreenSource::ForThisDesktop());
    if (listed.test != TGstTestCamera::None) {
        // The picture controls stay as the user set them for the run of the program.
        if (listed.test == TGstTestCamera::Pattern && !balance_)
            balance_ = std::make_shared<TTestCameraBalance>();
        return std::make_unique<TGstCamera>(
            listed.test, listed.test == TGstTestCamera::Pattern ? balance_ : nullptr);
    }
    return std::make_unique<TGstCamera>(GstRefObject(listed.device.get()));
}

void TGstCameraSystem::SetDevicesChanged(std::function<void()> changed)
{
    if (!initialized_)
        return;
    // Started on the first handler only: a system nobody listens to watches nothing.
    if (!watch_ && changed)
        watch_ = std::make_unique<TGstDeviceWatch>(
            QStringList{QStringLiteral("Video/Source"), QStringLiteral("Audio/Source")});
    if (watch_)
        watch_->SetHandler(std::move(changed));
}

bool TGstCameraSystem::WatchingDevices() const
{
    return watch_ && watch_->Running();
}
