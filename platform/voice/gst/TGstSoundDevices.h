#pragma once

#include "platform/voice/ISoundDevices.h"

#include <memory>

class TGstDeviceWatch;

// The sound server's microphones and speakers from GStreamer's device monitor. Only devices
// the link can open by name are listed (the sound server's own); monitors of speakers are not
// microphones. Make it on the UI thread.
class TGstSoundDevices : public ISoundDevices
{
public:
    TGstSoundDevices();
    ~TGstSoundDevices() override;

    QList<TSoundDevice> Microphones() const override;
    QList<TSoundDevice> Speakers() const override;
    void SetChanged(std::function<void()> changed) override;

private:
    QList<TSoundDevice> List(bool sources) const;

    std::unique_ptr<TGstDeviceWatch> watch_;
};
