#pragma once

#include "platform/capturegraph/TMediaType.h"

// One format a fake device can deliver, as its stream configuration lists it.
struct TFakeMode
{
    TMediaType Type;
    TVideoStreamConfigCaps Caps;
};
