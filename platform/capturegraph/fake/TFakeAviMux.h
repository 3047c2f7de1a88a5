#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;

// The multiplexer's configuration.
class TFakeAviMux : public IConfigAviMux
{
public:
    explicit TFakeAviMux(TFakeJournal& journal) : journal_(journal) {}

    HRESULT SetOutputCompatibilityIndex(bool compatible) override;
    HRESULT SetMasterStream(int stream) override;

    bool Compatible = false;
    int MasterStream = -1;

private:
    TFakeJournal& journal_;
};
