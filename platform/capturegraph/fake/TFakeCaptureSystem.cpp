#include "platform/capturegraph/fake/TFakeCaptureSystem.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeBuilder.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeGraph.h"
#include "platform/capturegraph/fake/TFakeMoniker.h"

#include <algorithm>
#include <cmath>

namespace {

QString ClassName(TFilterClass filterClass)
{
    switch (filterClass) {
    case TFilterClass::SmartTee:
        return "SmartTee";
    case TFilterClass::InfTee:
        return "InfTee";
    case TFilterClass::DVVideoCodec:
        return "DVVideoCodec";
    case TFilterClass::DVSplitter:
        return "DVSplitter";
    case TFilterClass::SampleGrabber:
        return "SampleGrabber";
    }
    return {};
}

qint64 Interval(double fps)
{
    return fps > 0 ? qint64(std::llround(10'000'000.0 / fps)) : 0;
}

} // namespace

std::shared_ptr<TFakeDevice> TFakeCaptureSystem::AddDevice(TDeviceCategory category,
                                                           const QString& name,
                                                           std::vector<TFakeMode> modes)
{
    auto device = std::make_shared<TFakeDevice>();
    device->Category = category;
    device->Name = name;
    device->Modes = std::move(modes);
    devices_[category].push_back(device);
    monikers_[device.get()] = std::make_shared<TFakeMoniker>(Journal, device);
    return device;
}

void TFakeCaptureSystem::RemoveDevice(const std::shared_ptr<TFakeDevice>& device)
{
    auto& list = devices_[device->Category];
    list.erase(std::remove(list.begin(), list.end(), device), list.end());
    monikers_.erase(device.get());
}

void TFakeCaptureSystem::SetDevicesChanged(std::function<void()> changed)
{
    // Not journalled: every camera control sets it, which says nothing of a graph.
    devicesChanged_ = std::move(changed);
}

void TFakeCaptureSystem::NotifyDevicesChanged()
{
    // A copy: the handler may replace itself.
    if (const auto changed = devicesChanged_)
        changed();
}

std::shared_ptr<TFakeSampleGrabber> TFakeCaptureSystem::Grabber() const
{
    const auto graph = lastBuilder_ ? lastBuilder_->Graph() : nullptr;
    const auto filter = graph ? graph->Find("MyBitmapGrabber") : nullptr;
    return filter ? filter->Grabber() : nullptr;
}

TFakeMode TFakeCaptureSystem::VideoMode(const TGuid& subtype, int width, int height, int bits,
                                        double fps, double minFps, double maxFps)
{
    TBitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = quint16(bits);
    header.biSizeImage = quint32(((width * bits + 31) / 32) * 4 * std::abs(height));
    TFakeMode mode{TMediaType::Video(subtype, header, Interval(fps)), {}};
    mode.Caps.MinFrameInterval = Interval(maxFps);
    mode.Caps.MaxFrameInterval = Interval(minFps);
    return mode;
}

TFakeMode TFakeCaptureSystem::DVMode()
{
    TFakeMode mode = VideoMode(CaptureGuids::MEDIASUBTYPE_dvsd, 720, 576, 24, 25);
    mode.Type.majortype = CaptureGuids::MEDIATYPE_Interleaved;
    return mode;
}

TFakeMode TFakeCaptureSystem::AudioMode(const TGuid& subtype, int rate, int bits, int channels,
                                        int avgBytesPerSec)
{
    TWaveFormatEx wave;
    wave.nSamplesPerSec = quint32(rate);
    wave.wBitsPerSample = quint16(bits);
    wave.nChannels = quint16(channels);
    wave.nBlockAlign = quint16(channels * bits / 8);
    wave.nAvgBytesPerSec = quint32(avgBytesPerSec ? avgBytesPerSec : rate * wave.nBlockAlign);
    return {TMediaType::Audio(subtype, wave), {}};
}

HRESULT TFakeCaptureSystem::EnumerateDevices(TDeviceCategory category,
                                             std::vector<MonikerPtr>& devices)
{
    devices.clear();
    const HRESULT hr = Journal.Call("EnumerateDevices", {TFakeDevice::CategoryName(category)});
    if (Hr::Failed(hr))
        return hr;
    for (const auto& device : devices_[category])
        devices.push_back(monikers_[device.get()]);
    return devices.empty() ? Hr::S_FALSE : Hr::S_OK;
}

HRESULT TFakeCaptureSystem::CreateFilterGraph(GraphPtr& graph)
{
    graph.reset();
    const HRESULT hr = Journal.Call("CreateFilterGraph");
    if (Hr::Succeeded(hr)) {
        lastGraph_ = std::make_shared<TFakeGraph>(Journal);
        graph = lastGraph_;
    }
    return hr;
}

HRESULT TFakeCaptureSystem::CreateCaptureGraphBuilder(BuilderPtr& builder)
{
    builder.reset();
    const HRESULT hr = Journal.Call("CreateCaptureGraphBuilder");
    if (Hr::Succeeded(hr)) {
        lastBuilder_ = std::make_shared<TFakeBuilder>(Journal);
        builder = lastBuilder_;
    }
    return hr;
}

HRESULT TFakeCaptureSystem::CreateFilter(TFilterClass filterClass, FilterPtr& filter)
{
    filter.reset();
    const QString name = ClassName(filterClass);
    const HRESULT hr = Journal.Call("CreateFilter", {name});
    if (Hr::Succeeded(hr))
        filter = std::make_shared<TFakeFilter>(Journal, name, name);
    return hr;
}
