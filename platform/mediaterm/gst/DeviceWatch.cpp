#include "platform/mediaterm/gst/DeviceWatch.h"

#include "platform/mediaterm/gst/GstHelpers.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace mediaterm {

DeviceWatch::DeviceWatch(TVoiceDevice device, const char* name, const DeviceErrorSlot& slot)
    : device_(device), name_(name), slot_(slot)
{}

void DeviceWatch::attach(GstElement* pipeline, GstElement* deviceElement)
{
    element_ = deviceElement;
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
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR || !watch->element_)
        return GST_BUS_DROP;
    GstObject* from = GST_MESSAGE_SRC(message);
    if (from != GST_OBJECT(watch->element_) &&
        !gst_object_has_as_ancestor(from, GST_OBJECT(watch->element_)))
        return GST_BUS_DROP;
    GError* raw = nullptr;
    gst_message_parse_error(message, &raw, nullptr);
    ErrorPtr error(raw);
    watch->report(QString::fromUtf8(error ? error->message : "unknown error"));
    return GST_BUS_DROP;
}

void DeviceWatch::report(const QString& detail)
{
    if (reported_.exchange(true))
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // The slot may be gone by the time the UI thread gets to it: the terminal has ended.
    QMetaObject::invokeMethod(
        app,
        [slot = slot_, device = device_, detail] {
            if (const DeviceErrorSlot handler = slot.lock(); handler && *handler)
                (*handler)(device, detail);
        },
        Qt::QueuedConnection);
}

} // namespace mediaterm
