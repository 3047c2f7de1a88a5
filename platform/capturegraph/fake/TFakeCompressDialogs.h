#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeDevice;

// A video compressor's configuration block, kept on the device.
class TFakeCompressDialogs : public IAMVfwCompressDialogs
{
public:
    TFakeCompressDialogs(TFakeJournal& journal, std::shared_ptr<TFakeDevice> device)
        : journal_(journal), device_(std::move(device))
    {}
    HRESULT GetState(QByteArray& state) override;
    HRESULT SetState(const QByteArray& state) override;

private:
    TFakeJournal& journal_;
    std::shared_ptr<TFakeDevice> device_;
};
