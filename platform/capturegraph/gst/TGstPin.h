#pragma once

// One pin of a filter in the graph model. Pins that feed a tee branch or a multiplexer input
// also start and stop their stream: a valve in the running pipeline.

#include "platform/capturegraph/CaptureInterfaces.h"

#include <gst/gst.h>

#include <atomic>

class TGstFilter;

class TGstPin : public IPin, public IAMStreamControl, public std::enable_shared_from_this<TGstPin>
{
public:
    TGstPin(const std::shared_ptr<TGstFilter>& filter, TPinDirection direction, bool streamControl);

    TPinDirection Direction() override { return direction_; }
    HRESULT ConnectedTo(PinPtr& peer) override;
    HRESULT Disconnect() override;
    FilterPtr Filter() override;
    std::shared_ptr<IAMStreamControl> StreamControl() override;

    HRESULT StartNow() override;
    HRESULT StopNow(bool sendExtraSample) override;

    std::shared_ptr<TGstFilter> Owner() const { return filter_.lock(); }
    std::shared_ptr<TGstPin> Peer() const { return peer_.lock(); }
    bool IsConnected() const { return !peer_.expired(); }
    // Links both ends; the major type is what flows through the connection.
    static void Connect(const std::shared_ptr<TGstPin>& out, const std::shared_ptr<TGstPin>& in,
                        const TGuid& major);
    void Unlink() { peer_.reset(); }
    const TGuid& Major() const { return major_; }

    bool StreamOpen() const { return open_; }
    // The valve of the running pipeline (owned by it); nullptr when stopped.
    void AttachValve(GstElement* valve) { valve_ = valve; }

private:
    std::weak_ptr<TGstFilter> filter_;
    std::weak_ptr<TGstPin> peer_;
    TPinDirection direction_;
    bool streamControl_;
    TGuid major_;
    std::atomic<bool> open_{true};
    GstElement* valve_ = nullptr;
};
