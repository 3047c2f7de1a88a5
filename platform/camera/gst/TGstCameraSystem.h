#pragma once

// The cameras GStreamer's device monitor lists, the test cameras when asked for, and last the
// screen (last, so that adding it moved no camera's place in the list).

#include "platform/camera/ICameraSystem.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TGstDeviceWatch;
class TGstScreenSource;
class TTestCameraBalance;

class TGstCameraSystem : public ICameraSystem
{
public:
    // The names the test cameras are listed under; the DV one only when DV can be made and read.
    static const char* const TestCameraName;
    static const char* const TestDVCameraName;
    // The name the screen is listed under, always.
    static const char* const ScreenName;
    using TScreenSourceMaker = std::function<std::unique_ptr<TGstScreenSource>()>;

    explicit TGstCameraSystem(bool testCamera = false);
    ~TGstCameraSystem() override;
    TGstCameraSystem(const TGstCameraSystem&) = delete;
    TGstCameraSystem& operator=(const TGstCameraSystem&) = delete;

    bool Devices(QStringList& names) override;
    std::unique_ptr<ICamera> Open(int index) override;
    // Starts the device monitor on the first handler; call it on the UI thread.
    void SetDevicesChanged(std::function<void()> changed) override;
    // Whether the device monitor runs (false before a handler, or when nothing can be watched).
    bool WatchingDevices() const;
    // Where opening the screen gets its source; by default the desktop's own way.
    void SetScreenSource(TScreenSourceMaker make) { makeScreen_ = std::move(make); }

private:
    struct TListed;

    bool testCamera_;
    bool initialized_;
    std::vector<TListed> listed_;                 // the last answer of Devices()
    std::shared_ptr<TTestCameraBalance> balance_; // the test camera's, once opened
    std::unique_ptr<TGstDeviceWatch> watch_;
    TScreenSourceMaker makeScreen_;
};
