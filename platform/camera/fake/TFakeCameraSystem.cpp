#include "platform/camera/fake/TFakeCameraSystem.h"

#include "platform/camera/fake/TFakeCamera.h"

#include <algorithm>

namespace {
quint32 FourCC(const char code[4])
{
    return quint32(quint8(code[0])) | quint32(quint8(code[1])) << 8 |
           quint32(quint8(code[2])) << 16 | quint32(quint8(code[3])) << 24;
}
} // namespace

std::shared_ptr<TFakeCameraDevice> TFakeCameraSystem::AddDevice(const QString& name,
                                                                std::vector<TCameraMode> modes)
{
    auto device = std::make_shared<TFakeCameraDevice>();
    device->Name = name;
    device->Modes = std::move(modes);
    devices_.push_back(device);
    return device;
}

void TFakeCameraSystem::RemoveDevice(const std::shared_ptr<TFakeCameraDevice>& device)
{
    devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

void TFakeCameraSystem::NotifyDevicesChanged()
{
    if (const auto changed = changed_)
        changed();
}

TCameraMode TFakeCameraSystem::RawMode(const QByteArray& format, int width, int height, int fps)
{
    TCameraMode m;
    m.Media = "video/x-raw";
    m.Format = format;
    const bool rgb = format == "BGR" || format == "RGB" || format == "BGRx" || format == "BGRA";
    m.FourCC = rgb || format.size() != 4 ? 0 : FourCC(format.constData());
    m.Bits = format == "BGR" || format == "RGB"     ? 24
             : format == "BGRx" || format == "BGRA" ? 32
             : format == "I420" || format == "NV12" ? 12
                                                    : 16;
    m.Width = width;
    m.Height = height;
    m.RateNum = fps;
    m.MinRate = m.MaxRate = fps;
    return m;
}

TCameraMode TFakeCameraSystem::DVMode()
{
    TCameraMode m;
    m.Media = "video/x-dv";
    m.FourCC = FourCC("dvsd");
    m.Bits = 24;
    m.Width = 720;
    m.Height = 576;
    m.RateNum = 25;
    return m;
}

bool TFakeCameraSystem::Devices(QStringList& names)
{
    ++Listings;
    names.clear();
    listed_.clear();
    if (ListingFails)
        return false;
    listed_ = devices_;
    for (const auto& device : listed_)
        names << device->Name;
    return true;
}

std::unique_ptr<ICamera> TFakeCameraSystem::Open(int index)
{
    ++Opens;
    if (index < 0 || size_t(index) >= listed_.size())
        return nullptr;
    const auto& device = listed_[size_t(index)];
    // A device unplugged since it was listed cannot be opened.
    if (device->Unopenable || std::find(devices_.begin(), devices_.end(), device) == devices_.end())
        return nullptr;
    auto camera = std::make_unique<TFakeCamera>(*this, device);
    camera_ = camera.get();
    return camera;
}

void TFakeCameraSystem::Closed(TFakeCamera* camera)
{
    if (camera_ == camera)
        camera_ = nullptr;
}
