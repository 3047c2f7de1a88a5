#include "platform/capturegraph/gst/TGstFilterGraph.h"

#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/GstGraphEvents.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstFilter.h"
#include "platform/capturegraph/gst/TGstPin.h"
#include "platform/capturegraph/gst/TGstPipelineBuilder.h"
#include "platform/capturegraph/gst/TGstVideoWindow.h"
#include "platform/logging/Logging.h"

#include <QObject>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

constexpr HRESULT E_ABORT = qint32(0x80004004u);
constexpr GstClockTime kStartTimeout = 4 * GST_SECOND;

struct TEvent
{
    qint32 code;
    qint64 param1;
    qint64 param2;
};

QString DefaultName(TGstFilterKind kind)
{
    switch (kind) {
    case TGstFilterKind::VideoSource:
        return QStringLiteral("Video Capture");
    case TGstFilterKind::AudioSource:
        return QStringLiteral("Audio Capture");
    case TGstFilterKind::Tee:
        return QStringLiteral("Tee");
    case TGstFilterKind::SampleGrabber:
        return QStringLiteral("Sample Grabber");
    case TGstFilterKind::VideoRenderer:
        return QStringLiteral("Video Renderer");
    case TGstFilterKind::AudioRenderer:
        return QStringLiteral("Audio Renderer");
    case TGstFilterKind::VideoEncoder:
        return QStringLiteral("Video Compressor");
    case TGstFilterKind::AudioEncoder:
        return QStringLiteral("Audio Compressor");
    case TGstFilterKind::AviMux:
        return QStringLiteral("AVI Mux");
    case TGstFilterKind::DVSplitter:
        return QStringLiteral("DV Splitter");
    case TGstFilterKind::DVDecoder:
        return QStringLiteral("DV Video Decoder");
    }
    return {};
}

} // namespace

struct TGstFilterGraph::Impl
{
    TGstFilterGraph* self;
    std::vector<std::shared_ptr<TGstFilter>> filters;
    std::shared_ptr<TGstVideoWindow> window = std::make_shared<TGstVideoWindow>();
    TGstObjectPtr<GstElement> pipeline;
    TGstObjectPtr<GstDeviceMonitor> monitor;
    std::vector<GstElement*> sources; // owned by the pipeline
    std::vector<TGstObjectPtr<GstDevice>> devices;
    bool starting = false; // errors while starting fail Run instead of becoming events

    std::mutex eventLock;
    std::condition_variable eventReady;
    std::deque<TEvent> events;
    std::function<void()> notify; // UI thread only
    QObject context;              // queued notifications die with the graph

    static GstBusSyncReply OnPipelineMessage(GstBus*, GstMessage* message, gpointer data);
    static GstBusSyncReply OnMonitorMessage(GstBus*, GstMessage* message, gpointer data);
    void StopMonitor();
    void StartMonitor();
};

GstBusSyncReply TGstFilterGraph::Impl::OnPipelineMessage(GstBus*, GstMessage* message,
                                                         gpointer data)
{
    auto* d = static_cast<Impl*>(data);
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
        return GST_BUS_DROP;
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    qCWarning(lcCapture) << "capture pipeline error:" << (error ? error->message : "")
                         << (debug ? debug : "");
    const TGraphEvent event = GraphEventForError(GST_MESSAGE_SRC(message), error, d->sources);
    if (!d->starting)
        d->self->PostEvent(event.code, event.param1, 0);
    g_clear_error(&error);
    g_free(debug);
    return GST_BUS_DROP;
}

GstBusSyncReply TGstFilterGraph::Impl::OnMonitorMessage(GstBus*, GstMessage* message, gpointer data)
{
    auto* d = static_cast<Impl*>(data);
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_DEVICE_REMOVED)
        return GST_BUS_DROP;
    GstDevice* removed = nullptr;
    gst_message_parse_device_removed(message, &removed);
    TGstObjectPtr<GstDevice> guard(removed);
    for (const auto& device : d->devices) {
        bool same = device.get() == removed;
        if (!same && removed) {
            gchar* a = gst_device_get_display_name(device.get());
            gchar* b = gst_device_get_display_name(removed);
            GstStructure* pa = gst_device_get_properties(device.get());
            GstStructure* pb = gst_device_get_properties(removed);
            same = g_strcmp0(a, b) == 0 && pa && pb && gst_structure_is_equal(pa, pb);
            g_free(a);
            g_free(b);
            if (pa)
                gst_structure_free(pa);
            if (pb)
                gst_structure_free(pb);
        }
        if (same) {
            d->self->PostEvent(GraphEvent::EC_DEVICE_LOST, 0, 0);
            break;
        }
    }
    return GST_BUS_DROP;
}

void TGstFilterGraph::Impl::StartMonitor()
{
    if (devices.empty())
        return;
    monitor.reset(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor.get()));
    gst_bus_set_sync_handler(bus.get(), OnMonitorMessage, this, nullptr);
    if (!gst_device_monitor_start(monitor.get())) {
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        monitor.reset();
    }
}

void TGstFilterGraph::Impl::StopMonitor()
{
    if (!monitor)
        return;
    gst_device_monitor_stop(monitor.get());
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    monitor.reset();
}

TGstFilterGraph::TGstFilterGraph() : d(std::make_unique<Impl>())
{
    d->self = this;
    gst_init(nullptr, nullptr);
}

TGstFilterGraph::~TGstFilterGraph()
{
    Stop();
    // Filters the owner keeps (the capture devices) leave with clean pins.
    for (const auto& filter : d->filters) {
        filter->SetRunning(false);
        for (const auto& pin : filter->Pins())
            std::static_pointer_cast<TGstPin>(pin)->Unlink();
    }
}

std::shared_ptr<TGstFilter> TGstFilterGraph::Member(const FilterPtr& filter) const
{
    auto ours = std::dynamic_pointer_cast<TGstFilter>(filter);
    if (!ours || std::find(d->filters.begin(), d->filters.end(), ours) == d->filters.end())
        return nullptr;
    return ours;
}

bool TGstFilterGraph::Running() const
{
    return d->pipeline != nullptr;
}

std::shared_ptr<TGstVideoWindow> TGstFilterGraph::VideoWindow() const
{
    return d->window;
}

HRESULT TGstFilterGraph::AddFilter(const FilterPtr& filter, const QString& name)
{
    auto ours = std::dynamic_pointer_cast<TGstFilter>(filter);
    if (!ours)
        return Hr::E_INVALIDARG;
    if (Member(filter))
        return Hr::E_INVALIDARG;
    // Names stay unique, as lookups by name expect.
    const QString base = name.isEmpty() ? DefaultName(ours->Kind()) : name;
    QString unique = base;
    FilterPtr existing;
    for (int n = 1; Hr::Succeeded(FindFilterByName(unique, existing)); ++n)
        unique = base + QStringLiteral(" %1").arg(n, 4, 10, QLatin1Char('0'));
    ours->SetName(unique);
    ours->SetRunning(false);
    d->filters.push_back(ours);
    return Hr::S_OK;
}

HRESULT TGstFilterGraph::FindFilterByName(const QString& name, FilterPtr& filter)
{
    for (const auto& f : d->filters)
        if (f->Name() == name) {
            filter = f;
            return Hr::S_OK;
        }
    filter.reset();
    return Hr::VFW_E_NOT_FOUND;
}

HRESULT TGstFilterGraph::RemoveFilter(const FilterPtr& filter)
{
    const auto ours = Member(filter);
    if (!ours)
        return Hr::E_INVALIDARG;
    if (Running())
        return GstHr::VFW_E_NOT_STOPPED;
    for (const auto& pin : ours->Pins()) {
        auto p = std::static_pointer_cast<TGstPin>(pin);
        if (const auto peer = p->Peer(); peer && peer->Peer() == p)
            peer->Unlink();
        p->Unlink();
    }
    d->filters.erase(std::find(d->filters.begin(), d->filters.end(), ours));
    return Hr::S_OK;
}

HRESULT TGstFilterGraph::Run()
{
    if (Running())
        return Hr::S_OK;
    d->pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("capture-graph"))));
    TGstObjectPtr<GstBus> bus(gst_element_get_bus(d->pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), Impl::OnPipelineMessage, d.get(), nullptr);
    for (const auto& f : d->filters)
        f->SetRunning(true);
    TGstPipelineBuilder builder(d->pipeline.get(), d->window.get());
    HRESULT hr = builder.Build(d->filters);
    d->sources = builder.Sources();
    d->devices.clear();
    for (const auto& f : d->filters)
        if (f->Device())
            d->devices.push_back(GstRefObject(f->Device()));
    if (Hr::Succeeded(hr)) {
        d->starting = true;
        GstStateChangeReturn ret = gst_element_set_state(d->pipeline.get(), GST_STATE_PLAYING);
        if (ret == GST_STATE_CHANGE_ASYNC)
            ret = gst_element_get_state(d->pipeline.get(), nullptr, nullptr, kStartTimeout);
        d->starting = false;
        if (ret == GST_STATE_CHANGE_FAILURE)
            hr = Hr::E_FAIL;
    }
    if (Hr::Failed(hr)) {
        Stop();
        return hr;
    }
    d->StartMonitor();
    return Hr::S_OK;
}

HRESULT TGstFilterGraph::Stop()
{
    d->StopMonitor();
    if (d->pipeline) {
        // Joins the streaming threads: no callback runs after this.
        gst_element_set_state(d->pipeline.get(), GST_STATE_NULL);
        TGstObjectPtr<GstBus> bus(gst_element_get_bus(d->pipeline.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        d->pipeline.reset();
    }
    d->sources.clear();
    d->devices.clear();
    for (const auto& f : d->filters)
        f->SetRunning(false);
    return Hr::S_OK;
}

void TGstFilterGraph::PostEvent(qint32 code, qint64 param1, qint64 param2)
{
    {
        std::lock_guard<std::mutex> lock(d->eventLock);
        d->events.push_back({code, param1, param2});
    }
    d->eventReady.notify_all();
    Impl* impl = d.get();
    QMetaObject::invokeMethod(
        &d->context,
        [impl] {
            if (impl->notify)
                impl->notify();
        },
        Qt::QueuedConnection);
}

HRESULT TGstFilterGraph::GetEvent(qint32& code, qint64& param1, qint64& param2, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(d->eventLock);
    if (!d->eventReady.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                [this] { return !d->events.empty(); }))
        return E_ABORT;
    const TEvent e = d->events.front();
    d->events.pop_front();
    code = e.code;
    param1 = e.param1;
    param2 = e.param2;
    return Hr::S_OK;
}

HRESULT TGstFilterGraph::FreeEventParams(qint32, qint64, qint64)
{
    return Hr::S_OK; // parameters are plain values here
}

HRESULT TGstFilterGraph::SetNotify(std::function<void()> notify)
{
    d->notify = std::move(notify);
    return Hr::S_OK;
}

HRESULT TGstFilterGraph::QueryVideoWindow(std::shared_ptr<IVideoWindow>& window)
{
    const bool hasRenderer = std::any_of(d->filters.begin(), d->filters.end(), [](const auto& f) {
        return f->Kind() == TGstFilterKind::VideoRenderer;
    });
    if (!hasRenderer) {
        window.reset();
        return Hr::E_NOINTERFACE;
    }
    window = d->window;
    return Hr::S_OK;
}
