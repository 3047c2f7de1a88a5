#pragma once

#include "platform/voice/TSoundDevice.h"

#include <QList>

#include <functional>

// The sound server's microphones and speakers, and word when they change (on the UI thread, a
// burst of changes as one call).
class ISoundDevices
{
public:
    virtual ~ISoundDevices() = default;

    virtual QList<TSoundDevice> Microphones() const = 0;
    virtual QList<TSoundDevice> Speakers() const = 0;
    virtual void SetChanged(std::function<void()> changed) = 0;
};
