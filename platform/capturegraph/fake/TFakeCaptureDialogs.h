#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeDevice;

// The VfW capture driver's dialogs: those listed by the device are there.
class TFakeCaptureDialogs : public IAMVfwCaptureDialogs
{
public:
    explicit TFakeCaptureDialogs(std::shared_ptr<TFakeDevice> device) : device_(std::move(device))
    {}
    HRESULT HasDialog(int dialog) override;

private:
    std::shared_ptr<TFakeDevice> device_;
};
