#pragma once

// The formats one capture pin can deliver and the one selected for the next run.

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/gst/GstCapsFormats.h"

#include <atomic>

class TGstStreamConfig : public IAMStreamConfig
{
public:
    explicit TGstStreamConfig(std::vector<GstCapsFormats::TGstMode> modes);

    HRESULT GetFormat(TMediaType& type) override;
    HRESULT SetFormat(const TMediaType& type) override;
    HRESULT GetNumberOfCapabilities(int& count) override;
    HRESULT GetStreamCaps(int index, TMediaType& type, TVideoStreamConfigCaps& caps) override;

    // The graph refuses format changes while it streams.
    void SetRunning(bool running) { running_ = running; }
    // The caps of the selected mode; empty when there are no modes.
    QByteArray SelectedCaps() const;
    // A frame rate other than the mode's own (numerator, denominator); {0, 1} when none.
    std::pair<int, int> RateOverride() const { return rateOverride_; }

private:
    std::vector<GstCapsFormats::TGstMode> modes_;
    int selected_ = 0;
    std::pair<int, int> rateOverride_{0, 1};
    qint64 overrideInterval_ = 0;
    std::atomic<bool> running_{false};
};
