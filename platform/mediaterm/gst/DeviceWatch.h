#pragma once

#include "voice/CCNSMTLib_TLB.h"

#include <gst/gst.h>

#include <atomic>
#include <memory>

namespace mediaterm {

// The UI thread's handler for device failures; set and called on the UI thread only.
using DeviceErrorSlot = std::shared_ptr<ICCNMediaTerm::DeviceErrorHandler>;

// Watches one voice pipeline's bus on the streaming threads: logs errors and warnings, drops
// every message (nobody runs a main loop for these buses), and tells the UI thread once when
// the sound device element, or anything inside it, fails.
class DeviceWatch
{
public:
    DeviceWatch(TVoiceDevice device, const char* name, const DeviceErrorSlot& slot);
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Starts watching; the watch must outlive the pipeline's last state change.
    void attach(GstElement* pipeline, GstElement* deviceElement);
    static void detach(GstElement* pipeline);

private:
    static GstBusSyncReply onMessage(GstBus* bus, GstMessage* message, gpointer self);
    void report(const QString& detail);

    TVoiceDevice device_;
    const char* name_;
    std::weak_ptr<ICCNMediaTerm::DeviceErrorHandler> slot_;
    GstElement* element_ = nullptr; // owned by the pipeline
    std::atomic<bool> reported_{false};
};

} // namespace mediaterm
