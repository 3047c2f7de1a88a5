#pragma once

#include "platform/camera/ICameraSystem.h"
#include "platform/camera/fake/TFakeCameraDevice.h"

#include <vector>

class TFakeCamera;

// An in-memory camera system for tests. It must outlive every camera it opens.
class TFakeCameraSystem : public ICameraSystem
{
public:
    std::shared_ptr<TFakeCameraDevice> AddDevice(const QString& name,
                                                 std::vector<TCameraMode> modes = {});
    void RemoveDevice(const std::shared_ptr<TFakeCameraDevice>& device);
    // Tells the handler at once, as the real system does from its queued call: a test plugs
    // devices in or out first and then says so, once for a burst.
    void NotifyDevicesChanged();
    bool HasDevicesChangedHandler() const { return bool(changed_); }

    // The camera opened last, while it is open; null otherwise.
    TFakeCamera* Camera() const { return camera_; }
    int Opens = 0;
    int Listings = 0;
    bool ListingFails = false;

    // An uncompressed mode ("BGR", "BGRx", "YUY2", "I420", ...) and a DV camera's mode.
    static TCameraMode RawMode(const QByteArray& format, int width, int height, int fps = 30);
    static TCameraMode DVMode();

    bool Devices(QStringList& names) override;
    std::unique_ptr<ICamera> Open(int index) override;
    void SetDevicesChanged(std::function<void()> changed) override
    {
        changed_ = std::move(changed);
    }

    void Closed(TFakeCamera* camera);

private:
    std::vector<std::shared_ptr<TFakeCameraDevice>> devices_;
    std::vector<std::shared_ptr<TFakeCameraDevice>> listed_; // the last Devices() answer
    std::function<void()> changed_;
    TFakeCamera* camera_ = nullptr;
};
