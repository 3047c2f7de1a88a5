#pragma once

#include "platform/voice/TVoiceKeys.h"
#include "platform/voice/TVoiceStats.h"

#include <QString>

#include <functional>
#include <memory>

// The sound devices a call uses.
enum class TVoiceDevice
{
    Microphone,
    Speaker
};

// Where a call's voice goes and where it comes in.
struct TVoiceEndpoint
{
    TVoiceEndpoint() = default;
    TVoiceEndpoint(QString host_, int remotePort_, int localPort_,
                   std::shared_ptr<const TVoiceKeys> keys_ = {})
        : host(std::move(host_)), remotePort(remotePort_), localPort(localPort_),
          keys(std::move(keys_))
    {}

    QString host; // a dotted address or a host name
    int remotePort = 0;
    int localPort = 0;
    // An encrypted call's: the voice goes as SRTP, at a constant rate, and only what verifies
    // is played. None: plain RTP.
    std::shared_ptr<const TVoiceKeys> keys;
};

// What is done to the microphone before it is sent.
struct TVoiceProcessing
{
    bool echoCancellation = true;
    bool noiseSuppression = true;
};

// What happened to a sound device during a call, told on the UI thread.
struct TVoiceDeviceNotice
{
    TVoiceDevice device = TVoiceDevice::Microphone;
    // True: the chosen device went away and the system default took its place; the voice goes
    // on. False: no device could be opened in this direction; the other direction goes on.
    bool fellBack = false;
    QString detail;
};

// The voice of a call: the microphone to the peer and the peer to the speaker, both directions
// at once. One link serves every call of the program, one call at a time; it lives on the UI
// thread.
class IVoiceLink
{
public:
    virtual ~IVoiceLink() = default;

    // Starts both directions towards the endpoint (a running call is stopped first). False when
    // the endpoint is unusable or neither direction could start; a direction whose device fails
    // is told through the notice handler while the other goes on.
    virtual bool Start(const TVoiceEndpoint& endpoint, const TVoiceProcessing& processing) = 0;
    // Afterwards nothing is sent or played.
    virtual void Stop() = 0;
    virtual bool Running() const = 0;

    // 0..100; 0 silences. They hold for the running call and the next ones.
    virtual void SetMicLevel(int level) = 0;
    virtual void SetSpeakerLevel(int level) = 0;

    // The sound server's names of the devices to use; empty means the system default. Applied
    // at once, during a call too, without ending it.
    virtual void SetDevices(const QString& microphone, const QString& speaker) = 0;

    virtual TVoiceStats Stats() const = 0;

    using DeviceNoticeHandler = std::function<void(const TVoiceDeviceNotice& notice)>;
    virtual void SetDeviceNoticeHandler(DeviceNoticeHandler handler) = 0;
};
