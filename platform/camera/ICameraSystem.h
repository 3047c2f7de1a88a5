#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class ICamera;

// The video devices of the machine.
class ICameraSystem
{
public:
    virtual ~ICameraSystem() = default;

    // The devices' display names as they are now (two alike are listed twice). False when the
    // system cannot list devices at all.
    virtual bool Devices(QStringList& names) = 0;
    // Opens the index-th device of the last Devices() answer; null when it is gone or unusable.
    virtual std::unique_ptr<ICamera> Open(int index) = 0;
    // Called on the UI thread when devices came or went (a burst as one call); an empty
    // function stops the calls. Systems that cannot tell never call.
    virtual void SetDevicesChanged(std::function<void()> changed) = 0;
};
