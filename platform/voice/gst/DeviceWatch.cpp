#include "platform/voice/gst/DeviceWatch.h"

#include "platform/voice/gst/GstHelpers.h"
#include "platform/voice/rt/RealtimeThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace voicelink {

DeviceWatch::DeviceWatch(TVoiceDevice device, int run, const char* name,
                         const DeviceFailureSlot& slot)
    : device_(device), run_(run), name_(name), slot_(slot)
{}

void DeviceWatch::attach(GstElement* pipeline)
{
    pipeline_ = pipeline;
    BusPtr bus(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), onMessage, this, nullptr);
}

void DeviceWatch::detach(GstElement* pipeline)
{
    BusPtr bus(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

GstBusSyncReply DeviceWatch::onMessage(GstBus* bus, GstMessage* message, gpointer self)
{
    auto* watch = static_cast<DeviceWatch*>(self);
    logBusMessage(bus, message, const_cast<char*>(watch->name_));
    // Posted by each streaming thread of the pipeline as it starts, from that thread.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_STREAM_STATUS) {
        GstStreamStatusType type{};
        gst_message_parse_stream_status(message, &type, nullptr);
        if (type == GST_STREAM_STATUS_TYPE_ENTER)
            RaiseThisThread(watch->name_);
        return GST_BUS_DROP;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_LATENCY) {
        watch->recalculateLatency();
        return GST_BUS_DROP;
    }
    // Any error ends the direction's streaming, wherever it was posted: a device that cannot
    // take the voice's format shows up as a source that could not negotiate.
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR)
        return GST_BUS_DROP;
    GError* raw = nullptr;
    gst_message_parse_error(message, &raw, nullptr);
    ErrorPtr error(raw);
    watch->report(QString::fromUtf8(error ? error->message : "unknown error"));
    return GST_BUS_DROP;
}

void DeviceWatch::recalculateLatency()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !pipeline_)
        return;
    // Not on the streaming thread that posted it: working it out queries that very thread's
    // elements. The reference keeps the pipeline for the UI thread even if the link lets go.
    ElementPtr pipeline(GST_ELEMENT(gst_object_ref(pipeline_)));
    QMetaObject::invokeMethod(
        app,
        [held = std::shared_ptr<GstElement>(pipeline.release(), GstObjectUnref())] {
            gst_bin_recalculate_latency(GST_BIN(held.get()));
        },
        Qt::QueuedConnection);
}

QString DeviceWatch::failure() const
{
    std::lock_guard lock(failureLock_);
    return failure_;
}

void DeviceWatch::noteFailure(const QString& detail)
{
    std::lock_guard lock(failureLock_);
    failure_ = detail;
}

void DeviceWatch::report(const QString& detail)
{
    if (reported_.exchange(true))
        return;
    {
        std::lock_guard lock(failureLock_);
        failure_ = detail;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // The slot may be gone by the time the UI thread gets to it: the link has ended.
    QMetaObject::invokeMethod(
        app,
        [slot = slot_, device = device_, run = run_, detail] {
            if (const DeviceFailureSlot handler = slot.lock(); handler && *handler)
                (*handler)(device, run, detail);
        },
        Qt::QueuedConnection);
}

} // namespace voicelink
