#pragma once

// The capture graph's object model: the operations the capture component calls, each answering
// an HRESULT-style code as the component's messages report them ("Error %x: ..."). Two
// implementations exist: the in-memory fake (fake/), which can fail any step on request, and
// the GStreamer one (gst/).

#include "platform/capturegraph/TMediaType.h"
#include "platform/ui/IPropertyPage.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

using HRESULT = qint32;

namespace Hr {
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = qint32(0x80004005u);
constexpr HRESULT E_NOINTERFACE = qint32(0x80004002u);
constexpr HRESULT E_INVALIDARG = qint32(0x80070057u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = qint32(0x80040217u);
constexpr HRESULT VFW_E_NOT_FOUND = qint32(0x80040216u);
inline bool Succeeded(HRESULT hr)
{
    return hr >= 0;
}
inline bool Failed(HRESULT hr)
{
    return hr < 0;
}
} // namespace Hr

enum class TDeviceCategory
{
    VideoInput,
    AudioInput,
    VideoCompressor,
    AudioCompressor,
};

// Filters the component creates by class rather than from a device.
enum class TFilterClass
{
    SmartTee,
    InfTee,
    DVVideoCodec,
    DVSplitter,
    SampleGrabber,
};

enum class TPinCategory
{
    None,
    Capture,
    Preview,
};

enum class TPinDirection
{
    Input,
    Output,
};

// Graph events the component acts on.
namespace GraphEvent {
constexpr qint32 EC_ERRORABORT = 3;
constexpr qint32 EC_DEVICE_LOST = 31;
} // namespace GraphEvent

class IBaseFilter;
class IPin;
using FilterPtr = std::shared_ptr<IBaseFilter>;
using PinPtr = std::shared_ptr<IPin>;

// Starting and stopping one stream on its own (a multiplexer input, the smart tee's output).
class IAMStreamControl
{
public:
    virtual ~IAMStreamControl() = default;
    virtual HRESULT StartNow() = 0;
    virtual HRESULT StopNow(bool sendExtraSample) = 0;
};

class IPin
{
public:
    virtual ~IPin() = default;
    virtual TPinDirection Direction() = 0;
    // S_OK with the peer when connected, VFW_E_NOT_CONNECTED-like failure otherwise.
    virtual HRESULT ConnectedTo(PinPtr& peer) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual FilterPtr Filter() = 0;
    virtual std::shared_ptr<IAMStreamControl> StreamControl() = 0; // null when not offered
};

// Format of a device's pin: current format, and the list of formats it can deliver.
class IAMStreamConfig
{
public:
    virtual ~IAMStreamConfig() = default;
    virtual HRESULT GetFormat(TMediaType& type) = 0;
    virtual HRESULT SetFormat(const TMediaType& type) = 0;
    virtual HRESULT GetNumberOfCapabilities(int& count) = 0;
    virtual HRESULT GetStreamCaps(int index, TMediaType& type, TVideoStreamConfigCaps& caps) = 0;
};

// Called on a streaming thread for every sample that passes the grabber.
class ISampleGrabberCB
{
public:
    virtual ~ISampleGrabberCB() = default;
    virtual HRESULT BufferCB(double sampleTime, const quint8* buffer, qint32 length) = 0;
};

class ISampleGrabber
{
public:
    virtual ~ISampleGrabber() = default;
    virtual HRESULT SetMediaType(const TMediaType& type) = 0;
    virtual HRESULT SetBufferSamples(bool buffer) = 0;
    virtual HRESULT SetOneShot(bool oneShot) = 0;
    // which: 1 = the buffer callback. The callback must outlive the graph's streaming.
    virtual HRESULT SetCallback(ISampleGrabberCB* callback, int which) = 0;
    virtual HRESULT GetConnectedMediaType(TMediaType& type) = 0;
};

// The DV decoder's output size (display values 1000..1003).
class IIPDVDec
{
public:
    virtual ~IIPDVDec() = default;
    virtual HRESULT get_IPDisplay(int& display) = 0;
    virtual HRESULT put_IPDisplay(int display) = 0;
};

class IConfigAviMux
{
public:
    virtual ~IConfigAviMux() = default;
    virtual HRESULT SetOutputCompatibilityIndex(bool compatible) = 0;
    virtual HRESULT SetMasterStream(int stream) = 0;
};

class IFileSinkFilter
{
public:
    virtual ~IFileSinkFilter() = default;
    virtual HRESULT SetFileName(const QString& fileName) = 0;
    // False when the writer has no modes (no IFileSinkFilter2).
    virtual bool SetOverwriteMode() = 0;
};

// The video compressor's configuration block (VfW compress dialogs), and whether the capture
// filter has driver dialogs (VfW capture dialogs, ordinals 0..2: format, source, display).
class IAMVfwCompressDialogs
{
public:
    virtual ~IAMVfwCompressDialogs() = default;
    virtual HRESULT GetState(QByteArray& state) = 0;
    virtual HRESULT SetState(const QByteArray& state) = 0;
};

class IAMVfwCaptureDialogs
{
public:
    virtual ~IAMVfwCaptureDialogs() = default;
    virtual HRESULT HasDialog(int dialog) = 0;
};

class IBaseFilter
{
public:
    virtual ~IBaseFilter() = default;
    virtual QString Name() = 0; // the name given when added to a graph
    virtual std::vector<PinPtr> Pins() = 0;
    // Interfaces the filter may offer; null when it does not.
    virtual std::shared_ptr<ISampleGrabber> SampleGrabber() = 0;
    virtual std::shared_ptr<IIPDVDec> DVDecoder() = 0;
    virtual std::shared_ptr<IConfigAviMux> ConfigAviMux() = 0;
    virtual bool HasPropertyPages() = 0;
    // The settings pages generated from what the filter offers; none by default.
    virtual std::vector<PropertyPagePtr> PropertyPages() { return {}; }
    // A TV capture card's tuner page; none for a device without a tuner.
    virtual std::vector<PropertyPagePtr> TunerPages() { return {}; }
};

// Where the preview is shown: the component's own widget.
class IVideoWindow
{
public:
    virtual ~IVideoWindow() = default;
    virtual HRESULT SetOwner(QWidget* owner) = 0; // nullptr detaches
    virtual HRESULT SetWindowPosition(int left, int top, int width, int height) = 0;
    virtual HRESULT SetVisible(bool visible) = 0;
};

class IFilterGraph
{
public:
    virtual ~IFilterGraph() = default;
    virtual HRESULT AddFilter(const FilterPtr& filter, const QString& name) = 0;
    virtual HRESULT FindFilterByName(const QString& name, FilterPtr& filter) = 0;
    virtual HRESULT RemoveFilter(const FilterPtr& filter) = 0;
    virtual HRESULT Run() = 0;
    virtual HRESULT Stop() = 0;
    // Pending events, one at a time; a failure means none is left.
    virtual HRESULT GetEvent(qint32& code, qint64& param1, qint64& param2, int timeoutMs) = 0;
    virtual HRESULT FreeEventParams(qint32 code, qint64 param1, qint64 param2) = 0;
    // Called on the UI thread (queued) when events are pending; fails without an event source.
    virtual HRESULT SetNotify(std::function<void()> notify) = 0;
    virtual HRESULT QueryVideoWindow(std::shared_ptr<IVideoWindow>& window) = 0;
};
using GraphPtr = std::shared_ptr<IFilterGraph>;

class ICaptureGraphBuilder2
{
public:
    virtual ~ICaptureGraphBuilder2() = default;
    virtual HRESULT SetFiltergraph(const GraphPtr& graph) = 0;
    // Interfaces found on a filter's pin of a category and major type (null majortype: any).
    virtual HRESULT FindStreamConfig(TPinCategory category, const TGuid* majortype,
                                     const FilterPtr& filter,
                                     std::shared_ptr<IAMStreamConfig>& config) = 0;
    virtual HRESULT FindVfwCaptureDialogs(const FilterPtr& filter,
                                          std::shared_ptr<IAMVfwCaptureDialogs>& dialogs) = 0;
    virtual HRESULT FindVfwCompressDialogs(const FilterPtr& filter,
                                           std::shared_ptr<IAMVfwCompressDialogs>& dialogs) = 0;
    // Connects source to sink through intermediate (each may be null: a null sink renders to
    // the default renderer of the type).
    virtual HRESULT RenderStream(TPinCategory category, const TGuid* majortype,
                                 const FilterPtr& source, const FilterPtr& intermediate,
                                 const FilterPtr& sink) = 0;
    virtual HRESULT SetOutputFileName(const TGuid& subtype, const QString& fileName,
                                      FilterPtr& multiplexer,
                                      std::shared_ptr<IFileSinkFilter>& writer) = 0;
    virtual HRESULT AllocCapFile(const QString& fileName, qint64 bytes) = 0;
    virtual HRESULT FindPin(const FilterPtr& filter, TPinDirection direction, int index,
                            PinPtr& pin) = 0;
};
using BuilderPtr = std::shared_ptr<ICaptureGraphBuilder2>;

// A device as the system lists it.
class IMoniker
{
public:
    virtual ~IMoniker() = default;
    virtual HRESULT ReadFriendlyName(QString& name) = 0;
    virtual HRESULT BindToFilter(FilterPtr& filter) = 0;
};
using MonikerPtr = std::shared_ptr<IMoniker>;

// The service that makes everything: device lists, graphs, builders, filters by class.
class ICaptureSystem
{
public:
    virtual ~ICaptureSystem() = default;
    // S_OK with devices, S_FALSE for an empty category, a failure when it cannot enumerate.
    virtual HRESULT EnumerateDevices(TDeviceCategory category,
                                     std::vector<MonikerPtr>& devices) = 0;
    virtual HRESULT CreateFilterGraph(GraphPtr& graph) = 0;
    virtual HRESULT CreateCaptureGraphBuilder(BuilderPtr& builder) = 0;
    virtual HRESULT CreateFilter(TFilterClass filterClass, FilterPtr& filter) = 0;
    // Called on the UI thread (queued from wherever the system learns it) when capture devices
    // were added or removed; a burst of changes may come as one call. An empty function stops
    // the calls. Systems that cannot tell never call.
    virtual void SetDevicesChanged(std::function<void()> changed) { (void)changed; }
};
