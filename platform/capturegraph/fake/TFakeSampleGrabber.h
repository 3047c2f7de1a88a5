#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <QByteArray>
#include <atomic>
#include <optional>

class TFakeJournal;

// The frame grabber. Tests play the streaming thread with Deliver.
class TFakeSampleGrabber : public ISampleGrabber
{
public:
    explicit TFakeSampleGrabber(TFakeJournal& journal) : journal_(journal) {}

    HRESULT SetMediaType(const TMediaType& type) override;
    HRESULT SetBufferSamples(bool buffer) override;
    HRESULT SetOneShot(bool oneShot) override;
    HRESULT SetCallback(ISampleGrabberCB* callback, int which) override;
    HRESULT GetConnectedMediaType(TMediaType& type) override;

    // Hands a sample to the callback as the streaming thread would (safe from any thread).
    HRESULT Deliver(const QByteArray& sample, double sampleTime = 0);

    std::optional<TMediaType> Requested; // what SetMediaType asked for
    TMediaType Connected;                // set when the grabber is connected
    bool BufferSamples = true;
    bool OneShot = true;
    int Which = -1;

private:
    TFakeJournal& journal_;
    std::atomic<ISampleGrabberCB*> callback_{nullptr};
};
