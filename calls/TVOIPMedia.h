#pragma once

#include "platform/voice/IVoiceLink.h"

#include <QString>

// One call's voice on the program's voice link: where it goes, starting it with both levels
// at 80, stopping it, and the microphone level. Made when a call is answered or accepted,
// freed when it ends.
class TVOIPMedia
{
public:
    // Throws EAssertionFailed when there is no link.
    TVOIPMedia(IVoiceLink* link, const TVoiceProcessing& processing);
    // Stops the voice.
    ~TVOIPMedia();
    TVOIPMedia(const TVOIPMedia&) = delete;
    TVOIPMedia& operator=(const TVOIPMedia&) = delete;

    void SetRemotePort(qint32 port) { RemotePort = port; }
    void SetLocalPort(qint32 port) { LocalPort = port; }
    void SetRemoteAddress(const QString& address) { RemoteAddress = address; }
    void SetKeys(std::shared_ptr<const TVoiceKeys> keys) { keys_ = std::move(keys); }

    void StartVoice();
    void StopVoice();
    void SetMicLevel(qint32 level);
    TVoiceStats Stats() const;

    qint32 RemotePort = 0;
    qint32 LocalPort = 0;
    QString RemoteAddress;

private:
    IVoiceLink* link_;
    TVoiceProcessing processing_;
    std::shared_ptr<const TVoiceKeys> keys_;
};
