#include "platform/elements/gst/TGstDeviceWatch.h"

#include "platform/elements/gst/GstRef.h"
#include "platform/logging/Logging.h"

#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <mutex>

namespace {
// A camera often shows up as several devices in a row (its picture, its microphone), and a
// hub as many: the list is read once they have all arrived.
constexpr int SettleMs = 250;
} // namespace

// What the monitor's threads see. It outlives the watch for as long as the bus holds its
// handler, and `context` says whether there is still anyone to tell.
struct TGstDeviceWatch::TShared
{
    std::mutex lock;
    QObject* context = nullptr;
    QTimer* settle = nullptr;
    // Set once the monitor has started: what it lists at start is no change.
    std::atomic<bool> started{false};
    // A notice is on its way to the UI thread: further ones ride along with it.
    std::atomic<bool> pending{false};
};

namespace {

using TSharedPtr = std::shared_ptr<TGstDeviceWatch::TShared>;

GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data)
{
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type != GST_MESSAGE_DEVICE_ADDED && type != GST_MESSAGE_DEVICE_REMOVED)
        return GST_BUS_DROP;
    const TSharedPtr& shared = *static_cast<TSharedPtr*>(data);
    if (!shared->started.load() || shared->pending.exchange(true))
        return GST_BUS_DROP;
    std::lock_guard lock(shared->lock);
    if (shared->context) {
        QTimer* settle = shared->settle;
        QMetaObject::invokeMethod(
            shared->context,
            [shared, settle] {
                shared->pending.store(false);
                settle->start();
            },
            Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

void ReleaseShared(gpointer data)
{
    std::unique_ptr<TSharedPtr> owned(static_cast<TSharedPtr*>(data));
}

} // namespace

void TGstDeviceWatch::LeaveOutPipeWire()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A monitor starts only the providers ranked marginal or better.
        if (GstDeviceProviderFactory* pipeWire =
                gst_device_provider_factory_find("pipewiredeviceprovider")) {
            gst_plugin_feature_set_rank(GST_PLUGIN_FEATURE(pipeWire), GST_RANK_NONE);
            gst_object_unref(pipeWire);
        }
    });
}

TGstDeviceWatch::TGstDeviceWatch(const QStringList& classes)
    : context_(std::make_unique<QObject>()), shared_(std::make_shared<TShared>())
{
    LeaveOutPipeWire();
    settle_ = new QTimer(context_.get());
    settle_->setSingleShot(true);
    settle_->setInterval(SettleMs);
    QObject::connect(settle_, &QTimer::timeout, context_.get(), [this] { Settled(); });
    shared_->context = context_.get();
    shared_->settle = settle_;

    monitor_.reset(gst_device_monitor_new());
    for (const QString& deviceClass : classes)
        gst_device_monitor_add_filter(monitor_.get(), deviceClass.toUtf8().constData(), nullptr);
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor_.get()));
    // A sync handler sees the messages on the monitor's own threads, whichever event
    // dispatcher Qt runs; nothing is left queued on the bus.
    gst_bus_set_sync_handler(bus.get(), OnBusMessage,
                             std::make_unique<TSharedPtr>(shared_).release(), ReleaseShared);
    running_ = gst_device_monitor_start(monitor_.get());
    if (running_)
        shared_->started.store(true);
    else
        qCWarning(lcDevices) << "no device monitor for" << classes
                             << "- changes show after a restart";
}

TGstDeviceWatch::~TGstDeviceWatch()
{
    {
        std::lock_guard lock(shared_->lock);
        shared_->context = nullptr;
    }
    if (running_)
        gst_device_monitor_stop(monitor_.get());
    TGstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(monitor_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    bus.reset();
    monitor_.reset();
    // Notices already queued to the context go with it.
    context_.reset();
}

std::vector<TGstObjectPtr<GstDevice>> TGstDeviceWatch::Devices() const
{
    std::vector<TGstObjectPtr<GstDevice>> devices;
    if (!running_)
        return devices;
    GList* list = gst_device_monitor_get_devices(monitor_.get());
    for (GList* at = list; at; at = at->next)
        devices.emplace_back(static_cast<GstDevice*>(at->data)); // the list's reference
    g_list_free(list);
    return devices;
}

TGstObjectPtr<GstBus> TGstDeviceWatch::Bus() const
{
    return TGstObjectPtr<GstBus>(gst_device_monitor_get_bus(monitor_.get()));
}

void TGstDeviceWatch::Settled()
{
    qCInfo(lcDevices) << "device list changed";
    if (const auto changed = changed_)
        changed();
}
