#pragma once

#include "platform/voice/IVoiceLink.h"

#include <QStringList>

#include <functional>

// A voice link that keeps what it was asked to do; tests read it and raise device notices.
class TFakeVoiceLink : public IVoiceLink
{
public:
    // Told "voice to <host>:<port>", "voice started" and "voice stopped" as they happen.
    std::function<void(const QString& event)> onEvent;

    bool running = false;
    int starts = 0;
    TVoiceEndpoint endpoint;
    TVoiceProcessing processing;
    int micLevel = -1;
    QList<int> micLevels; // every level set, in order
    int speakerLevel = -1;
    QString microphone;
    QString speaker;
    TVoiceStats stats;
    DeviceNoticeHandler noticeHandler;

    bool Start(const TVoiceEndpoint& to, const TVoiceProcessing& wanted) override
    {
        endpoint = to;
        processing = wanted;
        running = true;
        ++starts;
        Note(QStringLiteral("voice to %1:%2").arg(to.host).arg(to.remotePort));
        Note(QStringLiteral("voice started"));
        return true;
    }
    void Stop() override
    {
        if (running)
            Note(QStringLiteral("voice stopped"));
        running = false;
    }
    bool Running() const override { return running; }
    void SetMicLevel(int level) override
    {
        micLevel = level;
        micLevels << level;
    }
    void SetSpeakerLevel(int level) override { speakerLevel = level; }
    void SetDevices(const QString& mic, const QString& spk) override
    {
        microphone = mic;
        speaker = spk;
    }
    TVoiceStats Stats() const override { return stats; }
    void SetDeviceNoticeHandler(DeviceNoticeHandler handler) override
    {
        noticeHandler = std::move(handler);
    }

private:
    void Note(const QString& event)
    {
        if (onEvent)
            onEvent(event);
    }
};
