#pragma once

// The AVI multiplexer's settings and its file writer: avimux + filesink in the pipeline.

#include "platform/capturegraph/CaptureInterfaces.h"

class TGstMuxControl : public IConfigAviMux, public IFileSinkFilter
{
public:
    HRESULT SetOutputCompatibilityIndex(bool compatible) override;
    HRESULT SetMasterStream(int stream) override;
    HRESULT SetFileName(const QString& fileName) override;
    bool SetOverwriteMode() override { return true; } // filesink always truncates

    QString FileName() const { return fileName_; }
    int MasterStream() const { return masterStream_; }

private:
    QString fileName_;
    int masterStream_ = -1;
    bool compatible_ = false;
};
