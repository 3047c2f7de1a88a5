#pragma once

// Watches devices of the given classes ("Video/Source", "Audio/Sink") come and go: a device
// monitor that keeps running, its add and remove messages turned into one call on the UI thread
// per burst.

#include "platform/elements/gst/GstRef.h"

#include <QObject>

#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QTimer;

class TGstDeviceWatch
{
public:
    // Make it on the UI thread: the calls come on the thread it was made on.
    explicit TGstDeviceWatch(const QStringList& classes);
    ~TGstDeviceWatch();
    TGstDeviceWatch(const TGstDeviceWatch&) = delete;
    TGstDeviceWatch& operator=(const TGstDeviceWatch&) = delete;

    void SetHandler(std::function<void()> changed) { changed_ = std::move(changed); }
    // Keeps PipeWire's device provider out of every device monitor of the process. Its
    // 0.3.65 frees twice now and then when a monitor stops, and it lists nothing this program
    // opens: sound devices are the PulseAudio provider's (their names are what the voice's
    // streams open, on PipeWire too), cameras V4L2's.
    static void LeaveOutPipeWire();
    // False when no device provider could start; then nothing is ever called.
    bool Running() const { return running_; }
    // The devices the monitor sees now (new references); empty when it is not running.
    std::vector<TGstObjectPtr<GstDevice>> Devices() const;
    // The bus the monitor's messages come on (a new reference), for tests to post on.
    TGstObjectPtr<GstBus> Bus() const;

    struct TShared;

private:
    void Settled();

    std::function<void()> changed_;
    // Lives on the UI thread; the monitor's threads queue their notices to it.
    std::unique_ptr<QObject> context_;
    QTimer* settle_ = nullptr; // a child of context_
    std::shared_ptr<TShared> shared_;
    TGstObjectPtr<GstDeviceMonitor> monitor_;
    bool running_ = false;
};
