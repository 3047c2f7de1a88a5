#pragma once

#include "platform/voice/IVoiceLink.h"

#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace voicelink {

// The link's handler for a pipeline whose sound device failed: which direction, which run of
// it, and why. Set and called on the UI thread only.
using DeviceFailure = std::function<void(TVoiceDevice device, int run, const QString& detail)>;
using DeviceFailureSlot = std::shared_ptr<DeviceFailure>;

// Watches one voice pipeline's bus on the streaming threads: logs errors and warnings, has the
// UI thread work out the pipeline's latency again when an element's changes (the jitter buffer
// adapting), drops every message (nobody runs a main loop for these buses), and tells the UI
// thread once when the pipeline fails (its sound device, or anything that ends its streaming).
class DeviceWatch
{
public:
    DeviceWatch(TVoiceDevice device, int run, const char* name, const DeviceFailureSlot& slot);
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Starts watching; the watch must outlive the pipeline's last state change.
    void attach(GstElement* pipeline);
    static void detach(GstElement* pipeline);
    // Why the device failed, once it has (a failure while starting is seen at once).
    QString failure() const;
    // The device failed while streaming (any thread): the UI thread hears of it once.
    void report(const QString& detail);
    // Why a device would not open, for whoever started it; nobody else is told.
    void noteFailure(const QString& detail);

private:
    static GstBusSyncReply onMessage(GstBus* bus, GstMessage* message, gpointer self);
    void recalculateLatency();

    TVoiceDevice device_;
    int run_;
    const char* name_;
    std::weak_ptr<DeviceFailure> slot_;
    GstElement* pipeline_ = nullptr; // not owned: the watch lives beside it
    std::atomic<bool> reported_{false};
    mutable std::mutex failureLock_;
    QString failure_;
};

} // namespace voicelink
