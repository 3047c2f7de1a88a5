#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <QString>

// One listed device: its name as the system reports it, the name made unique within its list,
// and the system's handle (device identity is the identity of this handle).
struct TCapDeviceInfo
{
    QString FriendlyName;
    QString DisplayName;
    MonikerPtr Moniker;
};
