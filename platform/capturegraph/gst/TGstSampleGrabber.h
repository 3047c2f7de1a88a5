#pragma once

// The frame grabber: hands every frame passing it to the armed callback, laid out as a
// device-independent bitmap for RGB subtypes (bottom-up rows padded to 4 bytes).

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/gst/GstRef.h"

#include <gst/gst.h>

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <optional>

class TGstSampleGrabber : public ISampleGrabber
{
public:
    HRESULT SetMediaType(const TMediaType& type) override;
    HRESULT SetBufferSamples(bool buffer) override;
    HRESULT SetOneShot(bool oneShot) override;
    HRESULT SetCallback(ISampleGrabberCB* callback, int which) override;
    HRESULT GetConnectedMediaType(TMediaType& type) override;

    // The raw format it delivers ("BGR", ...); empty to take what upstream offers. Empty
    // optional when the requested subtype cannot be produced.
    std::optional<QByteArray> OutputFormat() const;
    // Streaming thread: one frame in the negotiated caps.
    void OnBuffer(GstPad* pad, GstBuffer* buffer);
    // Before a run: the type expected until the first frame says otherwise.
    void SetConnected(const std::optional<TMediaType>& type);
    void ResetRun() { delivered_ = false; }

private:
    bool UpdateCaps(GstPad* pad);

    TMediaType requested_;
    std::atomic<ISampleGrabberCB*> callback_{nullptr};
    std::atomic<bool> oneShot_{false};
    std::atomic<bool> delivered_{false};
    bool bufferSamples_ = false;

    mutable std::mutex typeLock_;
    std::optional<TMediaType> connected_;

    // Streaming thread only.
    TGstCapsPtr lastCaps_;
    int width_ = 0;
    int height_ = 0;
    int srcStride_ = 0;
    int dibStride_ = 0;
    bool bottomUp_ = false;
    QByteArray flipped_;
};
