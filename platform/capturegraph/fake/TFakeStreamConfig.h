#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeDevice;

// The format of a device's pin; it reads and writes the device's current format.
class TFakeStreamConfig : public IAMStreamConfig
{
public:
    TFakeStreamConfig(TFakeJournal& journal, std::shared_ptr<TFakeDevice> device);

    HRESULT GetFormat(TMediaType& type) override;
    HRESULT SetFormat(const TMediaType& type) override;
    HRESULT GetNumberOfCapabilities(int& count) override;
    HRESULT GetStreamCaps(int index, TMediaType& type, TVideoStreamConfigCaps& caps) override;

private:
    QStringList Keys() const;

    TFakeJournal& journal_;
    std::shared_ptr<TFakeDevice> device_;
};
