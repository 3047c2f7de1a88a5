#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;

// Stream control of one pin; records "StartNow:<owner>" / "StopNow:<owner>:<extra>".
class TFakeStreamControl : public IAMStreamControl
{
public:
    TFakeStreamControl(TFakeJournal& journal, QString owner);

    HRESULT StartNow() override;
    HRESULT StopNow(bool sendExtraSample) override;

    bool Started = true;

private:
    TFakeJournal& journal_;
    QString owner_;
};
