#pragma once

#include "platform/camera/TCameraMode.h"
#include "platform/ui/IPropertyPage.h"

#include <QString>

#include <vector>

// One camera of the fake system, as a test sets it up.
struct TFakeCameraDevice
{
    QString Name;
    std::vector<TCameraMode> Modes;
    std::vector<PropertyPagePtr> Controls;
    std::vector<PropertyPagePtr> Tuner;
    bool Unopenable = false;   // Open answers null
    QString StartError;        // not empty: Start fails with this reason
    bool PrepareWaits = false; // Prepare() waits until the test answers (FinishPrepare)
};
