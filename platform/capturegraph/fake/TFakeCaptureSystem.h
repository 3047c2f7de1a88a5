#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/fake/TFakeJournal.h"
#include "platform/capturegraph/fake/TFakeMode.h"

#include <map>

class TFakeDevice;
class TFakeGraph;
class TFakeBuilder;
class TFakeSampleGrabber;

// An in-memory capture system for tests: devices per category, their formats, a journal of
// every call in order, and any operation made to fail with a chosen code (Fail("Run"),
// Fail("AddFilter:MySmartTee"), Fail("BindToFilter:Cam"), Fail("RenderStream:AviMux:audio")).
// It must outlive every object it hands out.
class TFakeCaptureSystem : public ICaptureSystem
{
public:
    TFakeJournal Journal;

    std::shared_ptr<TFakeDevice> AddDevice(TDeviceCategory category, const QString& name,
                                           std::vector<TFakeMode> modes = {});
    void RemoveDevice(const std::shared_ptr<TFakeDevice>& device);
    // Tells the handler given to SetDevicesChanged, at once, as the real system does from its
    // queued call: a test plugs devices in or out first and then says so, once for a burst.
    void NotifyDevicesChanged();
    bool HasDevicesChangedHandler() const { return bool(devicesChanged_); }
    void Fail(const QString& key, HRESULT code = Hr::E_FAIL) { Journal.Failures[key] = code; }
    void Heal(const QString& key) { Journal.Failures.remove(key); }
    const QStringList& Calls() const { return Journal.Entries; }
    void ClearCalls() { Journal.Entries.clear(); }

    // The objects made last, for inspection and for driving the streaming side.
    std::shared_ptr<TFakeGraph> LastGraph() const { return lastGraph_; }
    std::shared_ptr<TFakeBuilder> LastBuilder() const { return lastBuilder_; }
    // The grabber in the graph the last builder works on; null when there is none.
    std::shared_ptr<TFakeSampleGrabber> Grabber() const;

    static TFakeMode VideoMode(const TGuid& subtype, int width, int height, int bits,
                               double fps = 30, double minFps = 0, double maxFps = 0);
    // A DV camera's format: interleaved major type, dvsd subtype.
    static TFakeMode DVMode();
    static TFakeMode AudioMode(const TGuid& subtype, int rate, int bits, int channels,
                               int avgBytesPerSec = 0);

    HRESULT EnumerateDevices(TDeviceCategory category, std::vector<MonikerPtr>& devices) override;
    HRESULT CreateFilterGraph(GraphPtr& graph) override;
    HRESULT CreateCaptureGraphBuilder(BuilderPtr& builder) override;
    HRESULT CreateFilter(TFilterClass filterClass, FilterPtr& filter) override;
    void SetDevicesChanged(std::function<void()> changed) override;

private:
    std::map<TDeviceCategory, std::vector<std::shared_ptr<TFakeDevice>>> devices_;
    // One handle per device for its whole life, as the system hands out the same device.
    std::map<const TFakeDevice*, MonikerPtr> monikers_;
    std::shared_ptr<TFakeGraph> lastGraph_;
    std::shared_ptr<TFakeBuilder> lastBuilder_;
    std::function<void()> devicesChanged_;
};
