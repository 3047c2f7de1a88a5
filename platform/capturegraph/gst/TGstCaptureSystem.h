#pragma once

#include <map>
#include <memory>

// The capture service on GStreamer: devices from the device monitor, encoders from the
// registry, graphs, builders and filters by class.

#include "platform/capturegraph/CaptureInterfaces.h"

class TGstDeviceWatch;
class TGstElementSettings;

class TGstCaptureSystem : public ICaptureSystem
{
public:
    // The name of the extra video device the test camera adds.
    static const char* const TestCameraName;
    // The test camera's second device, a DV camera, listed when DV can be made and read.
    static const char* const TestDVCameraName;

    explicit TGstCaptureSystem(bool testCamera = false);
    ~TGstCaptureSystem() override;
    TGstCaptureSystem(const TGstCaptureSystem&) = delete;
    TGstCaptureSystem& operator=(const TGstCaptureSystem&) = delete;

    HRESULT EnumerateDevices(TDeviceCategory category, std::vector<MonikerPtr>& devices) override;
    HRESULT CreateFilterGraph(GraphPtr& graph) override;
    HRESULT CreateCaptureGraphBuilder(BuilderPtr& builder) override;
    HRESULT CreateFilter(TFilterClass filterClass, FilterPtr& filter) override;
    // Starts the device monitor on the first handler; call it on the UI thread.
    void SetDevicesChanged(std::function<void()> changed) override;
    // Whether the device monitor runs (false before a handler, or when nothing can be watched).
    bool WatchingDevices() const;

private:
    bool testCamera_;
    bool initialized_;
    // What the user set in a device's dialogs, by category and name: lists are enumerated
    // afresh for every configuration, the settings stay for the run.
    std::map<std::pair<int, QString>, std::shared_ptr<TGstElementSettings>> settings_;
    std::unique_ptr<TGstDeviceWatch> watch_;
};
